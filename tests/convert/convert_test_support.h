#pragma once

// Small exchange documents written as literals, a temporary working folder per test, and
// tables read back as UTF-8 text.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "convert/conversion_run.h"
#include "formats/exchange_document.h"
#include "formats/notices.h"
#include "formats/working_tables.h"
#include "tests/support/temp_folder.h"

namespace orvida::convert::testing {

// One section of a document: its seq and its records, each a list of `dato` texts (UTF-8).
struct SectionLiteral {
  std::string seq;
  std::vector<std::vector<std::string>> records;
};

// SERVICIO/BLOQUE_DATOS with the sections in the order given.
std::string ExchangeXml(const std::vector<SectionLiteral>& sections);
formats::ExchangeDocument MakeDocument(const std::vector<SectionLiteral>& sections);

// A fresh empty folder, removed with its contents at the end of the test.
class ScratchFolder : public orvida::testing::TempFolder {
 public:
  // Readable and searchable by everyone, so that tests can hand folders inside it to a child
  // that runs as another user.
  ScratchFolder() {
    std::filesystem::permissions(
        path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                    std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                    std::filesystem::perms::others_exec);
  }
  formats::WorkingFolder working() const { return formats::WorkingFolder(path(), str()); }
};

using Row = std::map<std::string, std::string>;

// Every row of a table in natural order, each field as text (UTF-8).
std::vector<Row> ReadTable(const std::filesystem::path& folder, const std::string& table);
// One field of every row.
std::vector<std::string> Column(const std::filesystem::path& folder, const std::string& table,
                                const std::string& field);

// The kinds of the notices, in the order reported, and their count of one kind.
int CountKind(const formats::NoticeList& notices, const std::string& kind);

// Every file of the folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);

}  // namespace orvida::convert::testing
