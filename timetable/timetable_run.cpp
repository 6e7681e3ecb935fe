#include "timetable/timetable_run.h"

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "formats/exchange_document.h"
#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "platform/os/text.h"
#include "platform/xml/xml_document.h"
#include "timetable/period_resolution.h"

namespace orvida::timetable {

namespace {

using os::AnsiString;

// The eight window tables, in the order the run opens (and closes) them.
constexpr std::array<std::string_view, 8> kOpenOrder = {"SOLUC", "GRUPOST",  "CURSOST",    "PROFT",
                                                        "AULAT", "ASIGNOMT", "DIASHORAST", "ASIGT"};

// The window tables of one run. Whatever stops the run, every table opened so far is closed
// when this goes out of scope.
class WindowTableSet {
 public:
  explicit WindowTableSet(const formats::WorkingFolder& folder) {
    tables_.reserve(kOpenOrder.size());
    for (std::string_view name : kOpenOrder) tables_.push_back(folder.OpenWindow(name));
  }

  dbase::Table& Get(std::string_view name) {
    for (std::size_t i = 0; i < kOpenOrder.size(); ++i) {
      if (kOpenOrder[i] == name) return tables_[i];
    }
    throw Error("Tabla de trabajo desconocida: " + std::string(name));
  }

  void CloseAll() {
    for (dbase::Table& table : tables_) table.Close();
  }

 private:
  std::vector<dbase::Table> tables_;
};

// The academic year Y: the input's ANNO_ACADEMICO (the last record with a field; its first
// field), or, when that gives no text, the academic year that contains `today` (it starts on
// 1 September).
AnsiString AcademicYear(const formats::ExchangeDocument& document, const os::LocalDate& today,
                        formats::NoticeSink& notices) {
  AnsiString year;
  document.ReadSection(
      formats::Section::kAnnoAcademico,
      [&](const formats::Record& record) { year = record.Value(0); }, notices);
  if (!year.empty()) return year;
  year = std::to_string(today.month >= 9 ? today.year : today.year - 1);
  notices.Report({"año académico supuesto", "ANNO_ACADEMICO", -1, year,
                  "El documento no indica el año académico; se toma el curso que empieza el 1 de "
                  "septiembre de " +
                      year + "."});
  return year;
}

// "PROF= 'AB'": the engine's filter on a teacher's short code, quotes inside doubled.
std::string TeacherFilter(const AnsiString& abrev) {
  std::string expression = "PROF= '";
  for (char c : abrev) {
    expression += c;
    if (c == '\'') expression += '\'';
  }
  expression += '\'';
  return expression;
}

class TimetableBuilder {
 public:
  explicit TimetableBuilder(xml::Document& document) : document_(document) {}

  xml::Node Element(std::string_view name) { return document_.CreateElement(name); }

  // A section or group: grupo_datos with its seq.
  xml::Node Group(std::string_view seq) {
    xml::Node group = Element("grupo_datos");
    document_.SetAttribute(group, "seq", seq);
    return group;
  }

  void SetAttribute(xml::Node element, std::string_view name, std::string_view value) {
    document_.SetAttribute(element, name, value);
  }

  void Append(xml::Node parent, xml::Node child) { document_.AppendChild(parent, child); }

  // One dato: its name and the table's text, converted from Windows-1252.
  void AppendDato(xml::Node parent, std::string_view nombre_dato, std::string_view ansi_text) {
    xml::Node dato = Element("dato");
    document_.SetAttribute(dato, "nombre_dato", nombre_dato);
    document_.SetText(dato, os::AnsiToUtf8(ansi_text));
    document_.AppendChild(parent, dato);
  }

 private:
  xml::Document& document_;
};

std::string Utf8(std::string_view ansi) { return os::AnsiToUtf8(ansi); }

// Notices for the lookups of one period that found no row; the output is what it is either way.
void ReportUnresolved(const AnsiString& abrev, const SolucRow& row, const ResolvedPeriod& period,
                      formats::NoticeSink& notices) {
  const std::string teacher = Utf8(abrev);
  const std::string where = "el periodo del profesor " + teacher + " (DIA " + Utf8(row.dia) +
                            ", HORA " + std::to_string(row.hora) + ", ASIG '" + Utf8(row.asig) +
                            "', CODGRUPO '" + Utf8(row.codgrupo) + "')";
  if (!period.assignment_found) {
    notices.Report({"periodo sin asignación", "SOLUC", -1, teacher,
                    "En " + where + " no hay fila de ASIGT con CASIG '" + Utf8(row.asig) +
                        "' y CGRUP '" + Utf8(row.codgrupo) +
                        "': X_MATERIAOMG y X_OFERTAMATRIG quedan vacíos."});
  }
  if (!period.slot_found) {
    notices.Report({"tramo no encontrado", "SOLUC", -1, teacher,
                    "En " + where + " no hay fila de DIASHORAST con DIHO '" +
                        Utf8(period.slot_key) +
                        "': N_DIASEMANA y X_TRAMO quedan vacíos, N_HORINI y N_HORFIN son 0."});
  }
  if (!period.unit_found) {
    notices.Report({"unidad no encontrada", "SOLUC", -1, teacher,
                    "En " + where + " no hay fila de GRUPOST con ABREV '" + Utf8(row.codgrupo) +
                        "': X_UNIDAD queda vacío."});
  }
}

// SOLUC rows that belong to no teacher block: their PROF is no PROFT.ABREV.
void ReportUnknownTeachers(dbase::Table& soluc, const std::set<AnsiString>& teachers,
                           formats::NoticeSink& notices) {
  if (!soluc.HasField("PROF")) return;  // only possible when PROFT is empty
  soluc.SetFiltered(false);
  std::map<AnsiString, int> unknown;
  for (soluc.First(); !soluc.Eof(); soluc.Next()) {
    AnsiString prof = soluc.GetText("PROF");
    if (teachers.count(prof) == 0) ++unknown[prof];
  }
  for (const auto& [prof, rows] : unknown) {
    const std::string code = Utf8(prof);
    notices.Report({"profesor desconocido", "SOLUC", -1, code,
                    std::to_string(rows) + (rows == 1 ? " fila" : " filas") +
                        " de SOLUC con PROF '" + code +
                        "', que no es el ABREV de ningún profesor de PROFT, no " +
                        (rows == 1 ? "entra" : "entran") + " en el documento de horario."});
  }
}

}  // namespace

std::filesystem::path OutputPathFor(const std::filesystem::path& document_path) {
  return document_path.parent_path() /
         std::filesystem::path("ResultadoOrvida" + document_path.filename().string());
}

std::string ShownOutputPathFor(const std::string& shown_path) {
  const std::size_t cut = shown_path.find_last_of("\\/");
  const std::size_t name_start = cut == std::string::npos ? 0 : cut + 1;
  return shown_path.substr(0, name_start) + "ResultadoOrvida" + shown_path.substr(name_start);
}

TimetableResult ImportarHorarios(const std::filesystem::path& document_path,
                                 const std::string& shown_path,
                                 const formats::WorkingFolder& folder, const os::Clock& clock,
                                 formats::NoticeSink& notices) {
  WindowTableSet tables(folder);

  formats::ExchangeDocument exchange = formats::ExchangeDocument::Load(document_path, shown_path);
  exchange.RequireEnvelope();

  const auto now = clock();
  const AnsiString year = AcademicYear(exchange, os::ToLocalDate(now), notices);
  const std::int64_t year_number = os::StrToInt(year);
  const AnsiString start_text = "01/09/" + year;
  const AnsiString end_text = "31/08/" + std::to_string(year_number + 1);

  // Only the nodes outside the root stay: the old tree goes, and the new SERVICIO becomes the
  // document's last child.
  xml::Document& document = exchange.xml();
  xml::Node old_block = document.SelectSingleNode("/SERVICIO/BLOQUE_DATOS");
  document.RemoveChild(document.DocumentElement(), old_block);
  xml::Node old_root = document.SelectSingleNode("/SERVICIO");
  document.RemoveChild(xml::Node(), old_root);

  TimetableBuilder build(document);
  xml::Node servicio = build.Element("SERVICIO");
  build.SetAttribute(servicio, "modulo", "HORARIOS");
  build.SetAttribute(servicio, "tipo", "I");
  build.SetAttribute(servicio, "autor", "HORARIOS");
  build.SetAttribute(servicio, "fecha", os::ShortDateLongTime(now));
  document.AppendToDocument(servicio);

  xml::Node bloque = build.Element("BLOQUE_DATOS");
  build.Append(servicio, bloque);

  xml::Node anno = build.Group("ANNO_ACADEMICO");
  build.AppendDato(anno, "C_ANNO", year);
  build.Append(bloque, anno);

  dbase::Table& proft = tables.Get("PROFT");
  dbase::Table& soluc = tables.Get("SOLUC");
  PeriodLookups lookups(tables.Get("ASIGT"), tables.Get("ASIGNOMT"), tables.Get("DIASHORAST"),
                        tables.Get("GRUPOST"));

  xml::Node horarios = build.Group("HORARIOS_REGULARES");
  build.Append(bloque, horarios);
  build.SetAttribute(horarios, "registros", std::to_string(proft.RecordCount()));

  TimetableResult result;
  std::set<AnsiString> teacher_codes;
  int teacher_number = 1;
  for (proft.First(); !proft.Eof(); proft.Next()) {
    const AnsiString x_empleado = proft.GetText("X_EMPLEADO");
    const AnsiString f_tomapos = proft.GetText("F_TOMAPOS");
    const AnsiString abrev = proft.GetText("ABREV");
    teacher_codes.insert(abrev);

    xml::Node teacher = build.Group("HORARIO_REGULAR_PROFESOR_" + std::to_string(teacher_number));
    soluc.SetFiltered(false);
    soluc.SetFilter(TeacherFilter(abrev));
    soluc.SetFiltered(true);
    const int rows = soluc.RecordCount();
    build.SetAttribute(teacher, "registros", std::to_string(rows));
    build.Append(horarios, teacher);
    build.AppendDato(teacher, "X_EMPLEADO", x_empleado);
    build.AppendDato(teacher, "F_TOMAPOS", f_tomapos);

    int activity_number = 1;
    for (; !soluc.Eof(); soluc.Next()) {
      if (ReadInteger(soluc, "DIA") == 0) continue;  // not placed
      xml::Node activity = build.Group("ACTIVIDAD_" + std::to_string(activity_number));
      ++activity_number;
      build.Append(teacher, activity);
      const SolucRow row = ReadSolucRow(soluc);
      const ResolvedPeriod period = ResolvePeriod(row, start_text, end_text, lookups);
      for (std::size_t i = 0; i < kActivityFields.size(); ++i) {
        build.AppendDato(activity, kActivityFields[i], period.texts[i]);
      }
      ReportUnresolved(abrev, row, period, notices);
    }
    if (activity_number == 1) {
      notices.Report({"profesor sin periodos", "PROFT", teacher_number, Utf8(abrev),
                      "El profesor " + Utf8(abrev) + " (X_EMPLEADO " + Utf8(x_empleado) +
                          ") no tiene ningún periodo colocado en SOLUC (" + std::to_string(rows) +
                          (rows == 1 ? " fila" : " filas") +
                          "); su bloque solo lleva X_EMPLEADO y F_TOMAPOS."});
    }
    result.activities += activity_number - 1;
    ++teacher_number;
  }
  result.teachers = teacher_number - 1;
  ReportUnknownTeachers(soluc, teacher_codes, notices);

  tables.CloseAll();

  result.output = OutputPathFor(document_path);
  result.shown_output = ShownOutputPathFor(shown_path);
  document.Save(result.output, result.shown_output);
  return result;
}

}  // namespace orvida::timetable
