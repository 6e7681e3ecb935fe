// libFuzzer target: the dBase table reader, through the same calls the runs make. The engine
// opens tables by path, so the input becomes files in the process's scratch folder:
//
//   bytes 0-1  length n of the .DBF part (little-endian; cut to what the input holds)
//   next n     FUZZ.DBF
//   the rest   FUZZ.MDX (no index file when empty)
//
// The table is scanned in natural order, through a filter on its first character field (the
// literal is the value of that field in the first row), and in the order of every tag the index
// declares, with and without the filter. Every scan reads every field of every row as text;
// the natural scan reads them as integer and float too. A refusal (orvida::Error) is a valid
// outcome; anything else is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/dbase/mdx.h"
#include "platform/dbase/table.h"
#include "platform/os/error.h"

namespace {

using orvida::dbase::Table;

// The most tags of one index the target walks, so that one input stays fast.
constexpr std::size_t kMaxTags = 4;

// Walks the current view to its end, reading every field of every row as text. With
// `convert`, each field is also read as integer and float, once per distinct text: the
// conversions depend only on the stored bytes, which the text stands for, and a refused
// conversion throws, which costs the sanitizers dearly; repeated codes and blanks would spend
// most of a run there.
void ReadEveryRow(Table& table, bool convert) {
  const std::vector<orvida::dbase::FieldInfo>& fields = table.Fields();
  std::vector<std::unordered_set<std::string>> converted(fields.size());
  const int count = table.RecordCount();
  int seen = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    if (++seen > count) __builtin_trap();  // the cursor must reach the end of what it counts
    for (std::size_t f = 0; f < fields.size(); ++f) {
      const std::string& name = fields[f].name;
      std::string text = table.GetText(name);
      orvida::fuzz::Consume(text);
      if (!convert || !converted[f].insert(std::move(text)).second) continue;
      try {
        orvida::fuzz::Consume(static_cast<double>(table.GetInteger(name)));
      } catch (const orvida::Error& error) {
        orvida::fuzz::Consume(error.what());
      }
      try {
        orvida::fuzz::Consume(table.GetFloat(name));
      } catch (const orvida::Error& error) {
        orvida::fuzz::Consume(error.what());
      }
    }
  }
  // At the end the fields still read the last row (or nothing on an empty view).
  for (const orvida::dbase::FieldInfo& field : fields)
    orvida::fuzz::Consume(table.GetText(field.name));
}

// FIELD= 'literal' with the quotes of the literal doubled.
std::string FilterOn(const std::string& field, const std::string& literal) {
  std::string expression = field + "= '";
  for (char c : literal) {
    expression += c;
    if (c == '\'') expression += '\'';
  }
  return expression + "'";
}

// The names of the tags the index declares, as the table engine would look them up.
std::vector<std::string> TagNames(std::string_view mdx) {
  std::vector<std::string> names;
  try {
    for (const auto& tag : orvida::dbase::internal::ParseMdx(mdx, "FUZZ.MDX").tags) {
      if (names.size() == kMaxTags) break;
      names.push_back(tag.name);
    }
  } catch (const orvida::Error& error) {
    orvida::fuzz::Consume(error.what());
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view dbf = input;
  std::string_view mdx;
  if (input.size() >= 2) {
    const std::size_t declared = data[0] | static_cast<std::size_t>(data[1]) << 8;
    dbf = input.substr(2, std::min(declared, input.size() - 2));
    mdx = input.substr(2 + dbf.size());
  }
  const std::filesystem::path& folder = orvida::fuzz::ScratchFolder();
  const std::filesystem::path dbf_path = folder / "FUZZ.DBF";
  const std::filesystem::path mdx_path = folder / "FUZZ.MDX";
  orvida::fuzz::WriteScratchFile(dbf_path, dbf);
  if (mdx.empty()) {
    orvida::fuzz::RemoveScratchFile(mdx_path);
  } else {
    orvida::fuzz::WriteScratchFile(mdx_path, mdx);
  }

  try {
    Table table = Table::Open(dbf_path, orvida::dbase::OpenMode::kShared, "C:\\KTEMP\\FUZZ.DBF");
    ReadEveryRow(table, true);

    // The filter: on the first character field, for the value its first row holds.
    std::string filter;
    for (const orvida::dbase::FieldInfo& field : table.Fields()) {
      if (field.type == 'C') {
        table.First();
        filter = FilterOn(field.name, table.GetText(field.name));
        break;
      }
    }
    if (!filter.empty()) {
      table.SetFilter(filter);
      table.SetFiltered(true);
      if (table.RecordCount() > 0 && table.Eof()) __builtin_trap();
      ReadEveryRow(table, false);
      table.SetFiltered(false);
    }

    // Every tag's order, alone and under the filter; then a tag the index does not have.
    std::vector<std::string> tags = TagNames(mdx);
    tags.push_back("NOEXISTE");
    for (const std::string& tag : tags) {
      try {
        table.SetIndexOrder(tag);
      } catch (const orvida::Error& error) {
        orvida::fuzz::Consume(error.what());
        continue;
      }
      ReadEveryRow(table, false);
      if (!filter.empty()) {
        table.SetFiltered(true);
        ReadEveryRow(table, false);
        table.SetFiltered(false);
      }
    }
    table.Close();
  } catch (const orvida::Error& error) {
    orvida::fuzz::Consume(error.what());
  }
  return 0;
}
