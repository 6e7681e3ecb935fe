// transorvida tabla: shows a working table, or any dBase table, as aligned columns or as CSV.
#include <algorithm>
#include <cctype>
#include <exception>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "formats/working_tables.h"
#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "platform/os/text.h"

namespace orvida::cli {
namespace {

constexpr std::string_view kTablaHelp =
    "Uso: transorvida tabla [--carpeta DIR] NOMBRE|ARCHIVO.DBF [--csv]\n"
    "\n"
    "Muestra una tabla: los nombres de los campos como cabecera y una fila por línea, en\n"
    "columnas alineadas. NOMBRE es una tabla de la carpeta de trabajo (ASIGNOMT, SOLUC...,\n"
    "sin distinguir mayúsculas); un nombre que termina en .DBF se abre tal cual. La tabla se\n"
    "abre compartida y no se modifica.\n"
    "\n"
    "Los valores lógicos salen como T o F, las fechas como AAAA-MM-DD y los campos vacíos\n"
    "vacíos. El texto de la tabla (Windows-1252) se muestra en UTF-8.\n"
    "\n"
    "Opciones:\n"
    "  --carpeta DIR   Carpeta de las tablas de trabajo (por omisión C:\\KTEMP).\n"
    "  --csv           Escribe CSV: comas, comillas dobles donde hagan falta (RFC 4180),\n"
    "                  UTF-8 sin BOM.\n"
    "  --help          Muestra esta ayuda.\n"
    "\n"
    "Termina con 0 si la tabla se mostró, 1 si no se pudo leer y 2 si la orden está mal\n"
    "escrita.\n";

bool EndsWithDbf(std::string_view name) {
  if (name.size() < 4) return false;
  std::string ext(name.substr(name.size() - 4));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".dbf";
}

// Characters on screen: UTF-8 continuation bytes take no column.
std::size_t Width(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string CsvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

bool IsNumeric(char type) {
  return type == 'N' || type == 'F' || type == 'I' || type == '+' || type == 'O' || type == 'Y';
}

void PrintTable(dbase::Table& table, bool csv, std::ostream& out) {
  const std::vector<dbase::FieldInfo>& fields = table.Fields();
  if (csv) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      out << (i ? "," : "") << CsvField(os::AnsiToUtf8(fields[i].name));
    }
    out << '\n';
  }
  std::vector<std::vector<std::string>> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    std::vector<std::string> row;
    row.reserve(fields.size());
    for (const dbase::FieldInfo& field : fields) {
      row.push_back(os::AnsiToUtf8(table.GetText(field.name)));
    }
    if (csv) {
      for (std::size_t i = 0; i < row.size(); ++i) out << (i ? "," : "") << CsvField(row[i]);
      out << '\n';
    } else {
      rows.push_back(std::move(row));
    }
  }
  if (csv) return;

  std::vector<std::size_t> widths;
  for (const dbase::FieldInfo& field : fields) widths.push_back(Width(os::AnsiToUtf8(field.name)));
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));
  }
  auto print_line = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) line += "  ";
      const std::string padding(widths[i] - Width(cells[i]), ' ');
      // Numbers line up on the right, everything else on the left.
      line += IsNumeric(fields[i].type) ? padding + cells[i] : cells[i] + padding;
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  };
  std::vector<std::string> names;
  for (const dbase::FieldInfo& field : fields) names.push_back(os::AnsiToUtf8(field.name));
  print_line(names);
  for (const auto& row : rows) print_line(row);
}

}  // namespace

int RunTabla(const Invocation& call) {
  std::string carpeta;
  std::string name;
  bool csv = false;
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    const std::string& arg = call.args[i];
    if (arg == "--help" || arg == "-h") {
      call.out << kTablaHelp;
      return kExitOk;
    }
    if (arg == "--carpeta") {
      if (i + 1 >= call.args.size()) return ReportUsage(call, "falta la carpeta tras --carpeta");
      carpeta = call.args[++i];
      if (carpeta.empty()) return ReportUsage(call, "la carpeta de --carpeta está vacía");
    } else if (arg == "--csv") {
      csv = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return ReportUsage(call, "opción desconocida para 'tabla': '" + arg + "'");
    } else if (!name.empty()) {
      return ReportUsage(call, "'tabla' lleva una sola tabla; sobra '" + arg + "'");
    } else if (arg.empty()) {
      return ReportUsage(call, "el nombre de la tabla está vacío");
    } else {
      name = arg;
    }
  }
  if (name.empty()) return ReportUsage(call, "falta la tabla (NOMBRE o ARCHIVO.DBF)");

  try {
    dbase::Table table = [&] {
      if (EndsWithDbf(name)) return dbase::Table::Open(name, dbase::OpenMode::kShared, name);
      const formats::WorkingFolder folder(WorkingFolderPath(carpeta, call.env),
                                          carpeta.empty() ? std::string("C:\\KTEMP") : carpeta);
      return folder.OpenRunTime(name);
    }();
    PrintTable(table, csv, call.out);
    return kExitOk;
  } catch (const Error& error) {
    return ReportError(call, error.what());
  } catch (const std::exception& error) {
    return ReportError(call, std::string("no se pudo leer la tabla: ") + error.what());
  }
}

}  // namespace orvida::cli
