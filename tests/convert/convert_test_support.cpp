#include "tests/convert/convert_test_support.h"

#include <fstream>
#include <sstream>

#include "platform/dbase/table.h"
#include "platform/os/text.h"
#include "platform/xml/xml_document.h"

namespace orvida::convert::testing {
namespace {

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string ExchangeXml(const std::vector<SectionLiteral>& sections) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO><BLOQUE_DATOS>\n";
  for (const SectionLiteral& section : sections) {
    xml += "<grupo_datos seq=\"" + Escape(section.seq) + "\">\n";
    for (const auto& record : section.records) {
      xml += "<grupo_datos>";
      for (const std::string& value : record) xml += "<dato>" + Escape(value) + "</dato>";
      xml += "</grupo_datos>\n";
    }
    xml += "</grupo_datos>\n";
  }
  xml += "</BLOQUE_DATOS></SERVICIO>\n";
  return xml;
}

formats::ExchangeDocument MakeDocument(const std::vector<SectionLiteral>& sections) {
  return formats::ExchangeDocument::FromXml(
      xml::Document::Parse(ExchangeXml(sections), "prueba.xml"), "prueba.xml");
}

std::vector<Row> ReadTable(const std::filesystem::path& folder, const std::string& table) {
  dbase::Table handle =
      dbase::Table::Open(folder / (table + ".DBF"), dbase::OpenMode::kShared, table);
  std::vector<Row> rows;
  for (handle.First(); !handle.Eof(); handle.Next()) {
    Row row;
    for (const dbase::FieldInfo& field : handle.Fields()) {
      row[field.name] = os::AnsiToUtf8(handle.GetText(field.name));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::string> Column(const std::filesystem::path& folder, const std::string& table,
                                const std::string& field) {
  std::vector<std::string> values;
  for (const Row& row : ReadTable(folder, table)) values.push_back(row.at(field));
  return values;
}

int CountKind(const formats::NoticeList& notices, const std::string& kind) {
  int count = 0;
  for (const formats::Notice& notice : notices.notices()) count += notice.kind == kind;
  return count;
}

std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[entry.path().filename().string()] = bytes.str();
  }
  return files;
}

}  // namespace orvida::convert::testing
