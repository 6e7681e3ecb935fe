// Writes every working table through the engine, empty and with awkward rows, for the readers
// that check them independently (check_readers.py), and a JSON file with the values as they
// were given, before any conversion or cutting, so that the readers judge what the engine did.
//
//   dbase_reader_samples FOLDER
//     FOLDER/vacias/   every catalogue table, empty
//     FOLDER/filas/    every catalogue table with rows
//     FOLDER/grande/   DIASHORAST2 with 5000 rows (an index tree of three levels)
//     FOLDER/esperado.json
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "formats/working_tables.h"
#include "platform/os/error.h"
#include "platform/os/text.h"

namespace {

using orvida::dbase::FieldType;
using orvida::formats::TableSpec;

// A value a test row sets, in the caller's terms (text in UTF-8); monostate leaves it unset.
using Value = std::variant<std::monostate, std::string, std::int32_t, double, bool>;

const std::vector<Value> kTexts = {
    std::string("Matemáticas"),
    std::string("Ñandú €uro ‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ"),
    std::string("Educación para la ciudadanía y los derechos humanos, segundo curso"),
    std::string("  blancos delante y detrás  "),
    std::string("coma, \"comillas\" y 'apóstrofo'"),
    std::string(""),
    std::monostate{},
};
const std::vector<Value> kIntegers = {
    std::int32_t{0},   std::int32_t{-1},  std::int32_t{2147483647}, std::int32_t{-2147483648},
    std::int32_t{480}, std::int32_t{480}, std::monostate{}};
const std::vector<Value> kFloats = {
    0.0, -0.5, 12345678.875, 1.23456, 4.0, -99999999999.9999, std::monostate{}};
const std::vector<Value> kLogicals = {true, false, std::monostate{}};

const std::vector<Value>& Pool(FieldType type) {
  switch (type) {
    case FieldType::kText:
      return kTexts;
    case FieldType::kInteger:
      return kIntegers;
    case FieldType::kFloat:
      return kFloats;
    case FieldType::kLogical:
      break;
  }
  return kLogicals;
}

std::string JsonString(const std::string& utf8) {
  std::string json = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      json += escape;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

std::string JsonValue(const Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return JsonString(*text);
  if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
  if (const auto* real = std::get_if<double>(&value)) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", *real);
    return text;
  }
  return std::get<bool>(value) ? "true" : "false";
}

const char* TypeName(FieldType type) {
  switch (type) {
    case FieldType::kText:
      return "text";
    case FieldType::kInteger:
      return "integer";
    case FieldType::kFloat:
      return "float";
    case FieldType::kLogical:
      break;
  }
  return "logical";
}

// Writes `rows` rows into the table and returns its JSON description.
std::string WriteTable(const orvida::formats::WorkingFolder& folder, const TableSpec& spec,
                       int rows, bool ordered_keys) {
  folder.CreateTable(spec);
  std::ostringstream json;
  json << "{\"fields\": [";
  for (std::size_t i = 0; i < spec.fields.size(); ++i) {
    const auto& f = spec.fields[i];
    json << (i ? ", " : "") << "[" << JsonString(f.name) << ", \"" << TypeName(f.type) << "\", "
         << f.size << "]";
  }
  json << "], \"indexes\": [";
  for (std::size_t i = 0; i < spec.indexes.size(); ++i) {
    json << (i ? ", " : "") << "[" << JsonString(spec.indexes[i].name) << ", "
         << JsonString(spec.indexes[i].field) << "]";
  }
  json << "], \"rows\": [";
  orvida::dbase::Table table = folder.OpenRunTime(spec.name);
  for (int r = 0; r < rows; ++r) {
    table.Append();
    json << (r ? ",\n  " : "\n  ") << "{";
    bool first = true;
    for (std::size_t i = 0; i < spec.fields.size(); ++i) {
      const auto& f = spec.fields[i];
      const std::vector<Value>& pool = Pool(f.type);
      Value value = pool[(static_cast<std::size_t>(r) + i) % pool.size()];
      if (ordered_keys && f.type == FieldType::kInteger) {
        value = std::int32_t{(r * 7919) % 613 - 300};  // many equal keys, in no order
      }
      if (std::holds_alternative<std::monostate>(value)) continue;
      if (const auto* text = std::get_if<std::string>(&value)) {
        table.SetText(f.name, orvida::os::Utf8ToAnsi(*text));
      } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
        table.SetInteger(f.name, *number);
      } else if (const auto* real = std::get_if<double>(&value)) {
        table.SetFloat(f.name, *real);
      } else {
        table.SetLogical(f.name, std::get<bool>(value));
      }
      json << (first ? "" : ", ") << JsonString(f.name) << ": " << JsonValue(value);
      first = false;
    }
    json << "}";
    table.Post();
  }
  json << "]}";
  return json.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "uso: dbase_reader_samples CARPETA\n";
    return 2;
  }
  try {
    const std::filesystem::path root = argv[1];
    std::ostringstream json;
    json << "{";
    const struct {
      const char* name;
      int rows;
    } sets[] = {{"vacias", 0}, {"filas", 23}, {"grande", 5000}};
    bool first_set = true;
    for (const auto& set : sets) {
      const std::filesystem::path folder_path = root / set.name;
      std::filesystem::create_directories(folder_path);
      const orvida::formats::WorkingFolder folder(folder_path);
      json << (first_set ? "" : ",") << "\n\"" << set.name << "\": {";
      first_set = false;
      bool first_table = true;
      for (const TableSpec& spec : orvida::formats::TableCatalogue()) {
        const bool big = set.rows > 100;
        if (big && spec.indexes.empty()) continue;
        json << (first_table ? "" : ",") << "\n\"" << spec.name
             << "\": " << WriteTable(folder, spec, set.rows, !spec.indexes.empty());
        first_table = false;
      }
      json << "}";
    }
    json << "\n}\n";
    std::ofstream(root / "esperado.json") << json.str();
    return 0;
  } catch (const orvida::Error& error) {
    std::cerr << "error: " << error.what() << '\n';
    return 1;
  }
}
