#include "formats/working_tables.h"

#include <algorithm>
#include <system_error>

#include "platform/os/error.h"
#include "platform/os/file_lock.h"
#include "platform/os/paths.h"

namespace orvida::formats {
namespace {

using dbase::FieldDef;
using dbase::FieldType;

FieldDef Text(const char* name, int size) { return FieldDef{name, FieldType::kText, size}; }
FieldDef Integer(const char* name) { return FieldDef{name, FieldType::kInteger, 0}; }
FieldDef Float(const char* name) { return FieldDef{name, FieldType::kFloat, 0}; }
FieldDef Logical(const char* name) { return FieldDef{name, FieldType::kLogical, 0}; }

std::vector<FieldDef> DayAndPeriodFields() {
  return {Text("DIHO", 10),     Text("CODDIHO", 10),  Text("DIA", 20),
          Text("TEXTODIA", 20), Text("HORA", 8),      Text("TEXTOHOR", 8),
          Text("HORADESDE", 8), Text("HORAHASTA", 8), Text("MINUTOS", 8)};
}

std::vector<TableSpec> BuildCatalogue() {
  std::vector<TableSpec> catalogue;
  catalogue.push_back({"ASIGNOMT",
                       {Text("COD", 4), Text("CODLARGO", 8), Text("NOMBRE", 40), Text("MATERIA", 8),
                        Text("CODTAREA", 12), Logical("ESTAREA")},
                       {}});
  catalogue.push_back({"PROFT",
                       {Text("ABREV", 4), Text("NOMBRE", 40), Text("DEPART", 40), Integer("DNI"),
                        Text("X_EMPLEADO", 10), Text("F_TOMAPOS", 10)},
                       {}});
  catalogue.push_back({"AULAT",
                       {Text("ABREV", 4), Text("NOMBRE", 40), Text("EDIFICIO", 1),
                        Integer("MAXALUM"), Text("DEPCENTRO", 10)},
                       {}});
  catalogue.push_back(
      {"CURSOST",
       {Text("ABREV", 3), Text("TURNO", 1), Text("NIVEL", 5), Text("CURSO", 3), Text("CLAVE", 10)},
       {}});
  catalogue.push_back({"GRUPOST",
                       {Text("ABREV", 4), Text("TURNO", 1), Text("NIVEL", 5), Text("CURSO", 3),
                        Text("GRUPO", 2), Text("CLAVE", 10), Text("CLAVECURSO", 10)},
                       {}});
  catalogue.push_back(
      {"ASIGT",
       {Text("CASIG", 4), Text("CPROF", 4), Text("CGRUP", 4), Text("CAULA", 4), Text("TURNO", 1),
        Text("NIVEL", 5), Text("CURSO", 3), Text("GRUPO", 2), Float("HORAS"), Text("SESIONES", 20),
        Text("CLAVE", 10), Text("CLAVECURSO", 10), Text("CTAREA", 4)},
       {}});
  catalogue.push_back({"DIASHORAST", DayAndPeriodFields(), {}});
  std::vector<FieldDef> scratch = DayAndPeriodFields();
  scratch.push_back(Integer("ORDEN"));
  catalogue.push_back({"DIASHORAST2", scratch, {dbase::IndexDef{"ORDEN", "ORDEN"}}});
  return catalogue;
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace

const std::vector<TableSpec>& TableCatalogue() {
  static const std::vector<TableSpec> catalogue = BuildCatalogue();
  return catalogue;
}

const TableSpec& SpecOf(std::string_view table_name) {
  for (const TableSpec& spec : TableCatalogue()) {
    if (spec.name == table_name) return spec;
  }
  throw Error("No hay ninguna tabla de trabajo llamada " + std::string(table_name));
}

const std::vector<WindowTableInfo>& WindowTables() {
  static const std::vector<WindowTableInfo> tables = {
      {"wwTableNomAsg", "ASIGNOMT"}, {"wwTableProfesor", "PROFT"}, {"wwTableTramos", "DIASHORAST"},
      {"wwTableAulas", "AULAT"},     {"wwTableGrupos", "GRUPOST"}, {"wwTableAsig", "ASIGT"},
      {"wwTableSoluc", "SOLUC"},     {"wwTableCursos", "CURSOST"},
  };
  return tables;
}

WorkingFolder::WorkingFolder(std::filesystem::path folder, std::string shown_folder)
    : folder_(std::move(folder)), shown_folder_(std::move(shown_folder)) {}

std::string WorkingFolder::ShownName(std::string_view table_name) const {
  return ShownPath(Upper(table_name) + ".DBF");
}

std::string WorkingFolder::ShownPath(std::string_view relative) const {
  // C:\KTEMP names its files the Windows way; a folder given as a Linux path, the Linux way.
  const bool windows = shown_folder_.find('\\') != std::string::npos ||
                       (shown_folder_.size() >= 2 && shown_folder_[1] == ':');
  std::string shown = shown_folder_ + (windows ? "\\" : "/") + std::string(relative);
  if (windows) {
    std::replace(shown.begin() + static_cast<std::ptrdiff_t>(shown_folder_.size()), shown.end(),
                 '/', '\\');
  }
  return shown;
}

std::filesystem::path WorkingFolder::DbfPath(std::string_view table_name) const {
  const std::string file = Upper(table_name) + ".DBF";
  if (auto found = os::FindEntryIgnoreCase(folder_, file)) return *found;
  return folder_ / file;
}

void WorkingFolder::CreateTable(const TableSpec& spec) const {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder_, ec)) {
    throw Error("La carpeta de trabajo " + shown_folder_ + " no existe");
  }
  const std::string shown = ShownName(spec.name);

  // Hold every existing spelling of the table exclusively before touching anything: a table
  // another program has open stops the step here, with nothing deleted.
  std::vector<os::LockedFile> held;
  for (const auto& dbf : os::FindAllEntriesIgnoreCase(folder_, spec.name + ".DBF")) {
    held.emplace_back(dbf, os::LockKind::kExclusive, shown,
                      "La tabla " + shown + " está abierta en otro programa");
  }

  // On Linux unlinking never fails because a file is open, so a deletion that fails is a real
  // fault (a folder without write permission) and must not be passed over.
  for (const std::string& file : {spec.name + ".DBF", spec.name + ".MDX"}) {
    for (const auto& path : os::FindAllEntriesIgnoreCase(folder_, file)) {
      std::filesystem::remove(path, ec);
      if (ec) {
        std::string shown_file = ShownName(spec.name);
        shown_file.replace(shown_file.size() - file.size(), file.size(), path.filename().string());
        throw Error("No se puede borrar " + shown_file + ": " + DescribeSystemError(ec.value()));
      }
    }
  }
  dbase::CreateTable(folder_ / (spec.name + ".DBF"), spec.fields, spec.indexes, shown);
}

dbase::Table WorkingFolder::OpenRunTime(std::string_view table_name) const {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder_, ec)) {
    throw Error("La carpeta de trabajo " + shown_folder_ + " no existe");
  }
  return dbase::Table::Open(DbfPath(table_name), dbase::OpenMode::kShared, ShownName(table_name));
}

dbase::Table WorkingFolder::OpenWindow(std::string_view table_name) const {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder_, ec)) {
    throw Error("La carpeta de trabajo " + shown_folder_ + " no existe");
  }
  return dbase::Table::Open(DbfPath(table_name), dbase::OpenMode::kExclusive,
                            ShownName(table_name));
}

}  // namespace orvida::formats
