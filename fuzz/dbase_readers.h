#pragma once

// What the dBase fuzz targets do with an input, shared with the tests that replay the corpus and
// the inputs that once broke a reader. Each function returns when the reader accepted the input
// or refused it with orvida::Error; a crash, a sanitizer report or an exception of another type
// escapes, and a broken cursor invariant aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/dbase/decimal.h"
#include "platform/dbase/mdx.h"
#include "platform/dbase/table.h"
#include "platform/os/error.h"

namespace orvida::fuzz {
namespace dbase_detail {

using orvida::dbase::Table;

// The most tags of one index the target walks, so that one input stays fast.
inline constexpr std::size_t kMaxTags = 4;

// Walks the current view to its end, reading every field of every row as text. With
// `convert`, each field is also read as integer and float, once per distinct text: the
// conversions depend only on the stored bytes, which the text stands for, and a refused
// conversion throws, which costs the sanitizers dearly; repeated codes and blanks would spend
// most of a run there.
inline void ReadEveryRow(Table& table, bool convert) {
  const std::vector<orvida::dbase::FieldInfo>& fields = table.Fields();
  std::vector<std::unordered_set<std::string>> converted(fields.size());
  const int count = table.RecordCount();
  int seen = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    Require(++seen <= count, "the cursor reaches the end of the rows it counts");
    for (std::size_t f = 0; f < fields.size(); ++f) {
      const std::string& name = fields[f].name;
      std::string text = table.GetText(name);
      Consume(text);
      if (!convert || !converted[f].insert(std::move(text)).second) continue;
      try {
        Consume(static_cast<double>(table.GetInteger(name)));
      } catch (const orvida::Error& error) {
        Consume(error.what());
      }
      try {
        Consume(table.GetFloat(name));
      } catch (const orvida::Error& error) {
        Consume(error.what());
      }
    }
  }
  // At the end the fields still read the last row (or nothing on an empty view).
  for (const orvida::dbase::FieldInfo& field : fields) Consume(table.GetText(field.name));
}

// FIELD= 'literal' with the quotes of the literal doubled.
inline std::string FilterOn(const std::string& field, const std::string& literal) {
  std::string expression = field + "= '";
  for (char c : literal) {
    expression += c;
    if (c == '\'') expression += '\'';
  }
  return expression + "'";
}

// The names of the tags the index declares, as the table engine would look them up.
inline std::vector<std::string> TagNames(std::string_view mdx) {
  std::vector<std::string> names;
  try {
    for (const auto& tag : orvida::dbase::internal::ParseMdx(mdx, "FUZZ.MDX").tags) {
      if (names.size() == kMaxTags) break;
      names.push_back(tag.name);
    }
  } catch (const orvida::Error& error) {
    Consume(error.what());
  }
  return names;
}

}  // namespace dbase_detail

// A table input:
//
//   bytes 0-1  length n of the .DBF part (little-endian; cut to what the input holds)
//   next n     FUZZ.DBF
//   the rest   FUZZ.MDX (no index file when empty)
//
// written to the scratch folder and opened by path, as the engine opens tables. The table is
// scanned in natural order, through a filter on its first character field (the literal is the
// value of that field in the first row), and in the order of every tag the index declares, with
// and without the filter. Every scan reads every field of every row as text; the natural scan
// reads them as integer and float too.
inline void ReadTableInput(std::string_view input) {
  using namespace dbase_detail;

  std::string_view dbf = input;
  std::string_view mdx;
  if (input.size() >= 2) {
    const std::size_t declared = static_cast<unsigned char>(input[0]) |
                                 static_cast<std::size_t>(static_cast<unsigned char>(input[1]))
                                     << 8;
    dbf = input.substr(2, std::min(declared, input.size() - 2));
    mdx = input.substr(2 + dbf.size());
  }
  const std::filesystem::path& folder = ScratchFolder();
  const std::filesystem::path dbf_path = folder / "FUZZ.DBF";
  const std::filesystem::path mdx_path = folder / "FUZZ.MDX";
  WriteScratchFile(dbf_path, dbf);
  if (mdx.empty()) {
    RemoveScratchFile(mdx_path);
  } else {
    WriteScratchFile(mdx_path, mdx);
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
      Require(table.RecordCount() == 0 || !table.Eof(), "a filter with matches starts on one");
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
        Consume(error.what());
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
    Consume(error.what());
  }
}

// An .MDX input: the header and tag table parsed, every tag's tree walked, every key read (and a
// numeric key decoded as the engine compares it).
inline void ReadMdxInput(std::string_view bytes) {
  namespace internal = orvida::dbase::internal;
  const std::string shown_name = "C:\\KTEMP\\FUZZ.MDX";
  internal::MdxFile file;
  try {
    file = internal::ParseMdx(bytes, shown_name);
  } catch (const orvida::Error& error) {
    Consume(error.what());
    return;
  }
  for (const internal::MdxTag& tag : file.tags) {
    Consume(tag.name);
    Consume(tag.expression);
    try {
      for (const auto& [key, record] : internal::ReadTagEntries(bytes, file, tag, shown_name)) {
        Require(key.size() == static_cast<std::size_t>(tag.key_length),
                "every key has the tag's key length");
        Consume(key);
        Consume(static_cast<double>(record));
        if (tag.key_type == 'N' && key.size() == 12) {
          internal::NumericKey packed{};
          std::copy(key.begin(), key.end(), packed.begin());
          if (const auto value = internal::DecodeNumericKey(packed)) Consume(value->ToText());
        }
      }
    } catch (const orvida::Error& error) {
      Consume(error.what());
    }
  }
}

}  // namespace orvida::fuzz
