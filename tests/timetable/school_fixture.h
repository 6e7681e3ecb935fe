#pragma once

// Working folders for the timetable tests: the working tables and SOLUC written row by row,
// snapshots of a folder's files, and a readable outline of a timetable document.

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/working_tables.h"
#include "platform/dbase/table.h"
#include "platform/os/local_time.h"
#include "platform/os/text.h"
#include "platform/xml/xml_document.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/temp_folder.h"

namespace orvida::timetable::testing {

using orvida::testing::ReadBytes;
using orvida::testing::TempFolder;
using orvida::testing::WriteBytes;

// Every file of a folder (names and bytes), to prove a run changed nothing.
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadBytes(entry.path());
  }
  return files;
}

// A row given as field name → value; numbers are written as decimal text. Text values are
// Windows-1252 (write "\xC9" for É).
using Row = std::vector<std::pair<std::string, std::string>>;

inline void AppendRows(dbase::Table& table, const std::vector<Row>& rows) {
  std::map<std::string, char> types;
  for (const auto& field : table.Fields()) types[field.name] = field.type;
  for (const Row& row : rows) {
    table.Append();
    for (const auto& [field, value] : row) {
      const char type = types.count(field) ? types[field] : 'C';
      if (type == 'C') {
        table.SetText(field, value);
      } else if (type == 'L') {
        table.SetLogical(field, value == "T");
      } else if (value.find('.') != std::string::npos) {
        table.SetFloat(field, std::stod(value));
      } else if (!value.empty()) {
        table.SetInteger(field, std::stoi(value));
      }
    }
    table.Post();
  }
}

// Creates a working table of the catalogue with its rows.
inline void WriteTable(const formats::WorkingFolder& folder, const std::string& name,
                       const std::vector<Row>& rows) {
  folder.CreateTable(formats::SpecOf(name));
  dbase::Table table = folder.OpenRunTime(name);
  AppendRows(table, rows);
}

// One SOLUC row as the host writes it.
struct SolucLine {
  std::string prof;
  int dia = 0;
  int hora = 0;
  std::string asig;
  std::string codgrupo;
  std::string tarea;
  std::string aula;
};

// SOLUC as our own engine writes it: the fields the run reads, DIA and HORA numeric.
inline void WriteSoluc(const formats::WorkingFolder& folder, const std::vector<SolucLine>& lines) {
  const std::filesystem::path dbf = folder.folder() / "SOLUC.DBF";
  dbase::CreateTable(dbf,
                     {{"PROF", dbase::FieldType::kText, 4},
                      {"DIA", dbase::FieldType::kInteger, 0},
                      {"HORA", dbase::FieldType::kInteger, 0},
                      {"ASIG", dbase::FieldType::kText, 4},
                      {"CODGRUPO", dbase::FieldType::kText, 4},
                      {"TAREA", dbase::FieldType::kText, 12},
                      {"AULA", dbase::FieldType::kText, 4}},
                     {}, "C:\\KTEMP\\SOLUC.DBF");
  dbase::Table table = dbase::Table::Open(dbf, dbase::OpenMode::kShared, "C:\\KTEMP\\SOLUC.DBF");
  std::vector<Row> rows;
  for (const SolucLine& line : lines) {
    rows.push_back({{"PROF", line.prof},
                    {"DIA", std::to_string(line.dia)},
                    {"HORA", std::to_string(line.hora)},
                    {"ASIG", line.asig},
                    {"CODGRUPO", line.codgrupo},
                    {"TAREA", line.tarea},
                    {"AULA", line.aula}});
  }
  AppendRows(table, rows);
}

// The names of the eight window tables.
inline const std::vector<std::string>& EightTables() {
  static const std::vector<std::string> names = {"SOLUC", "GRUPOST",  "CURSOST",    "PROFT",
                                                 "AULAT", "ASIGNOMT", "DIASHORAST", "ASIGT"};
  return names;
}

using orvida::testing::FixedClock;

// The element tree below `node`, one element per line, indented by depth: the name, the
// attributes seq, registros and nombre_dato when present, and the text of every dato.
inline void OutlineInto(const xml::Document& document, xml::Node node, int depth,
                        std::string& out) {
  out.append(static_cast<std::size_t>(depth) * 2, ' ');
  out += node.Name();
  for (const char* attribute : {"seq", "registros", "nombre_dato"}) {
    const std::string value = node.Attribute(attribute);
    if (!value.empty()) out += std::string(" ") + attribute + "=" + value;
  }
  if (node.Name() == "dato") out += " [" + node.Text() + "]";
  out += '\n';
  for (xml::Node child : document.SelectNodes(node, "*")) {
    OutlineInto(document, child, depth + 1, out);
  }
}

inline std::string Outline(const xml::Document& document) {
  std::string out;
  if (xml::Node root = document.DocumentElement()) OutlineInto(document, root, 0, out);
  return out;
}

}  // namespace orvida::timetable::testing
