#include "convert/subjects.h"

#include "convert/step_support.h"
#include "formats/working_tables.h"

namespace orvida::convert {
namespace {

constexpr std::size_t kLongCodeSize = 8;
constexpr int kSubjectBaseLength = 3;

}  // namespace

void ExportarMaterias(const StepContext& context, SubjectRegistries& registries) {
  context.folder.CreateTable(formats::SpecOf("ASIGNOMT"));
  dbase::Table table = OpenForFilling(context.folder, "ASIGNOMT");
  int written = 0;
  context.document.ReadSection(
      formats::Section::kMaterias,
      [&](const formats::Record& record) {
        if (context.materias != nullptr) context.materias->push_back(record);
        const AnsiString& name = record.Value(2);
        const AnsiString long_code = Head(name, kLongCodeSize);
        const int holder = registries.long_codes.Find(long_code);
        if (holder >= 0) {
          // The same subject listed for another course, or one whose first eight characters
          // agree with it: the timetabling program knows both as one subject.
          const AnsiString& kept = registries.kept_names[holder];
          if (kept != name) {
            Report(context, "materia descartada", "MATERIAS", record.position(), name,
                   "la materia " + Quoted(name) + " tiene el mismo código largo " +
                       Quoted(long_code) + " que " + Quoted(kept) +
                       ", que ya tiene fila en ASIGNOMT; no se le da fila propia.");
          }
          return;
        }
        registries.long_codes.Add(long_code);
        registries.kept_names.push_back(name);
        const AnsiString candidate = Head(name, kShortCodeSize);
        const AnsiString code = MakeShortCode(registries.codes, candidate, kSubjectBaseLength);
        ReportCodeChange(context, "MATERIAS", record.position(), "de la materia " + Quoted(name),
                         candidate, code);
        table.Append();
        table.SetText("COD", code);
        table.SetText("CODLARGO", long_code);
        table.SetText("NOMBRE", name);
        table.SetLogical("ESTAREA", false);
        table.Post();
        ++written;
      },
      context.notices);
  table.Close();
  context.Written({"ExportarMaterias", "ASIGNOMT", written, 1, written});
}

void ExportarActividades(const StepContext& context) {
  // The table made by the subjects step, opened as it stands: activities follow the subjects.
  dbase::Table table = OpenForFilling(context.folder, "ASIGNOMT");
  const int before = table.RecordCount();
  int written = 0;
  context.document.ReadSection(
      formats::Section::kActividades,
      [&](const formats::Record& record) {
        const AnsiString& name = record.Value(2);
        const AnsiString& code = record.Value(1);
        table.Append();
        table.SetText("COD", code);
        table.SetText("CODLARGO", Head(name, kLongCodeSize));
        table.SetText("NOMBRE", name);
        table.SetText("CODTAREA", code);
        table.SetLogical("ESTAREA", true);
        table.Post();
        ++written;
      },
      context.notices);
  table.Close();
  context.Written({"ExportarActividades", "ASIGNOMT", before + written, 2, written});
}

}  // namespace orvida::convert
