#include "convert/assignments.h"

#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "convert/short_codes.h"
#include "convert/step_support.h"
#include "formats/working_tables.h"

namespace orvida::convert {
namespace {

// Every assignment gets the same weekly load; the document does not give one.
constexpr int kWeeklyMinutes = 240;
constexpr std::size_t kNameSize = 40;  // ASIGNOMT.NOMBRE

struct ClassUnit {
  AnsiString abrev;
  AnsiString nivel;
  AnsiString curso;
  AnsiString grupo;
};

}  // namespace

void ExportarAsignaciones(const StepContext& context) {
  context.folder.CreateTable(formats::SpecOf("ASIGT"));
  dbase::Table assignments = OpenForFilling(context.folder, "ASIGT");
  dbase::Table units = context.folder.OpenWindow("GRUPOST");
  dbase::Table subjects = context.folder.OpenWindow("ASIGNOMT");

  // Both lookups give what a forward scan from the first row would find: the first ASIGNOMT row
  // with the name (subject and activity rows alike), and every GRUPOST row of the course in
  // table order. Keys are the stored texts as read back.
  std::unordered_map<AnsiString, AnsiString> code_by_name;
  for (subjects.First(); !subjects.Eof(); subjects.Next()) {
    code_by_name.try_emplace(subjects.GetText("NOMBRE"), subjects.GetText("COD"));
  }
  std::unordered_map<AnsiString, std::vector<ClassUnit>> units_by_course;
  for (units.First(); !units.Eof(); units.Next()) {
    units_by_course[units.GetText("CLAVECURSO")].push_back(
        {units.GetText("ABREV"), units.GetText("NIVEL"), units.GetText("CURSO"),
         units.GetText("GRUPO")});
  }

  const int hours = static_cast<int>(std::ceil(kWeeklyMinutes / 60.0));
  const AnsiString sessions(static_cast<std::size_t>(hours), '1');

  int written = 0;
  const auto assign = [&](const formats::Record& record) {
    const AnsiString& course_key = record.Value(0);
    const AnsiString& subject_key = record.Value(1);
    const AnsiString& name = record.Value(2);
    auto code = code_by_name.find(Head(name, kNameSize));
    if (code == code_by_name.end() || code->second.empty()) {
      Report(context, "materia sin código", "MATERIAS", record.position(), subject_key,
             "la materia " + Quoted(name) + " del curso " + Quoted(course_key) +
                 (code == code_by_name.end() ? " no tiene fila en ASIGNOMT con ese nombre"
                                             : " tiene en ASIGNOMT una fila sin código") +
                 "; no se asigna a ninguna unidad.");
      return;
    }
    auto course = units_by_course.find(course_key);
    if (course == units_by_course.end()) {
      Report(context, "materia sin unidades", "MATERIAS", record.position(), subject_key,
             "el curso " + Quoted(course_key) + " de la materia " + Quoted(name) +
                 " no tiene unidades en GRUPOST; no se asigna a ninguna unidad.");
      return;
    }
    for (const ClassUnit& unit : course->second) {
      assignments.Append();
      assignments.SetText("CASIG", code->second);
      assignments.SetText("CGRUP", unit.abrev);
      assignments.SetText("CAULA", "");
      assignments.SetText("TURNO", "");
      assignments.SetText("NIVEL", unit.nivel);
      assignments.SetText("CURSO", unit.curso);
      assignments.SetText("GRUPO", unit.grupo);
      assignments.SetFloat("HORAS", hours);
      assignments.SetText("SESIONES", sessions);
      assignments.SetText("CLAVE", subject_key);
      assignments.SetText("CLAVECURSO", course_key);
      assignments.SetText("CTAREA", "1");
      assignments.Post();
      ++written;
    }
  };
  if (context.materias != nullptr) {
    for (const formats::Record& record : *context.materias) assign(record);
  } else {
    // The subjects step has already reported the records of MATERIAS it could not use.
    formats::NullNoticeSink already_reported;
    context.document.ReadSection(formats::Section::kMaterias, assign, already_reported);
  }
  assignments.Close();
  units.Close();
  subjects.Close();
  context.Written({"ExportarAsignaciones", "ASIGT", written, 6, written});
}

}  // namespace orvida::convert
