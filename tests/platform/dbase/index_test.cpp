// The production index: numeric keys, the tree on disk, and scans in index order.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "platform/dbase/decimal.h"
#include "platform/dbase/mdx.h"
#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "tests/platform/dbase/dbase_test_support.h"

namespace orvida::dbase {
namespace {

using testing::Hex;
using testing::ReadBytes;
using testing::TempFolder;
using testing::U16;
using testing::U32;

TEST(NumericKeyTest, BytesOfKnownValues) {
  struct Case {
    std::string value;
    std::string key;  // the first bytes; the rest are zeros
  };
  const Case cases[] = {
      {"0", "34 01"},
      {"1", "35 05 10"},
      {"-1", "35 85 10"},
      {"10", "36 09 10"},
      {"100", "37 0D 10"},
      {"-30", "36 89 30"},
      {"2.5", "35 09 25"},
      {"-123.456", "37 99 12 34 56"},
      {"2147483647", "3E 29 21 47 48 36 47"},
      {"-2147483648", "3E A9 21 47 48 36 48"},
      {"0.05", "33 05 50"},
      {"   7.2500", "35 0D 72 50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const auto decimal = internal::ParseDecimal(c.value);
    ASSERT_TRUE(decimal);
    const internal::NumericKey key = internal::EncodeNumericKey(*decimal);
    std::string expected = c.key;
    while (expected.size() < 12 * 3 - 1) expected += " 00";
    EXPECT_EQ(Hex(std::string(key.begin(), key.end())), expected);
    const auto back = internal::DecodeNumericKey(key);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->ToText(), decimal->ToText());
  }
}

TEST(NumericKeyTest, DecimalsCompareByValue) {
  const char* ordered[] = {"-2147483648", "-30", "-2.5", "-0.05", "0",         "0.05",
                           "1",           "2.5", "10",   "100",   "2147483647"};
  for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) {
    EXPECT_LT(internal::CompareDecimal(*internal::ParseDecimal(ordered[i]),
                                       *internal::ParseDecimal(ordered[i + 1])),
              0)
        << ordered[i] << " < " << ordered[i + 1];
  }
  EXPECT_EQ(
      internal::CompareDecimal(*internal::ParseDecimal("-0.000"), *internal::ParseDecimal("0")), 0);
}

const std::vector<FieldDef> kFields = {{"DIHO", FieldType::kText, 10},
                                       {"ORDEN", FieldType::kInteger, 0}};

// Creates an indexed table holding `keys` in this order (row i has DIHO = i).
std::filesystem::path MakeIndexed(const TempFolder& folder, const std::vector<int>& keys) {
  const auto dbf = folder / "D2.DBF";
  CreateTable(dbf, kFields, {{"ORDEN", "ORDEN"}}, "D2.DBF");
  Table table = Table::Open(dbf, OpenMode::kShared, "D2.DBF");
  for (std::size_t i = 0; i < keys.size(); ++i) {
    table.Append();
    table.SetText("DIHO", std::to_string(i));
    table.SetInteger("ORDEN", keys[i]);
    table.Post();
  }
  return dbf;
}

// Row numbers in the order the keys should come: ascending, equal keys in append order.
std::vector<int> ExpectedOrder(const std::vector<int>& keys) {
  std::vector<int> order(keys.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a] < keys[b]; });
  return order;
}

std::vector<int> ScanInIndexOrder(const std::filesystem::path& dbf) {
  Table table = Table::Open(dbf, OpenMode::kExclusive, "D2.DBF");
  table.SetIndexOrder("orden");
  std::vector<int> rows;
  for (; !table.Eof(); table.Next()) rows.push_back(table.GetInteger("DIHO"));
  return rows;
}

// The levels of the tag's tree, counted down the leftmost path.
int TreeLevels(const std::string& mdx) {
  const std::uint32_t tag_header_page = U32(mdx, 544);
  std::uint32_t page = U32(mdx, tag_header_page * 512);
  for (int levels = 1;; ++levels) {
    const std::size_t node = page * 512;
    const std::uint32_t count = U32(mdx, node);
    const std::uint32_t right = U32(mdx, node + 8 + count * 16);
    if (right == 0) return levels;
    page = count > 0 ? U32(mdx, node + 8) : right;
  }
}

TEST(IndexTest, EmptyIndexedTableAnnouncesAValidIndex) {
  TempFolder folder;
  const auto dbf = MakeIndexed(folder, {});
  const std::string b = ReadBytes(dbf);
  EXPECT_EQ(b[28], 0x01);
  EXPECT_EQ(b[32 + 31], 0x00);       // DIHO: no tag
  EXPECT_EQ(b[32 + 32 + 31], 0x01);  // ORDEN: the tag's field
  const std::string mdx = ReadBytes(folder / "D2.MDX");
  ASSERT_EQ(mdx.size() % 512, 0u);
  EXPECT_EQ(mdx[0], 0x02);
  EXPECT_EQ(mdx.substr(4, 16), "D2" + std::string(14, '\0'));
  EXPECT_EQ(U16(mdx, 20), 2);
  EXPECT_EQ(U16(mdx, 22), 1024);
  EXPECT_EQ(mdx[24], 0x01);
  EXPECT_EQ(U16(mdx, 28), 1);
  EXPECT_EQ(U32(mdx, 32) * 512, mdx.size());
  EXPECT_EQ(mdx.substr(548, 11), "ORDEN" + std::string(6, '\0'));
  EXPECT_EQ(mdx[564], 'N');
  const std::size_t th = U32(mdx, 544) * 512;
  EXPECT_EQ(mdx[th + 9], 'N');
  EXPECT_EQ(U16(mdx, th + 12), 12);
  EXPECT_EQ(U16(mdx, th + 14), 63);
  EXPECT_EQ(U16(mdx, th + 18), 16);
  EXPECT_EQ(mdx.substr(th + 24, 6), std::string("ORDEN\0", 6));
  EXPECT_TRUE(ScanInIndexOrder(dbf).empty());
}

TEST(IndexTest, ScansInKeyOrderWithEqualKeysInAppendOrder) {
  TempFolder folder;
  const std::vector<int> keys = {480, 420, 480, -5, 0, 420, 2147483647, -2147483648, 480};
  const auto dbf = MakeIndexed(folder, keys);
  EXPECT_EQ(ScanInIndexOrder(dbf), ExpectedOrder(keys));
  // Natural order is untouched.
  Table table = Table::Open(dbf, OpenMode::kShared, "D2.DBF");
  EXPECT_EQ(table.GetInteger("DIHO"), 0);
  EXPECT_EQ(table.GetInteger("ORDEN"), 480);
}

TEST(IndexTest, TreesOfEverySize) {
  struct Case {
    int keys;
    int levels;
  };
  // 63 keys fill one leaf; 64 need a root over two leaves; past 64 x 63 = 4032 a third level.
  const Case cases[] = {{1, 1}, {63, 1}, {64, 2}, {700, 2}, {4100, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    TempFolder folder;
    std::vector<int> keys;
    for (int i = 0; i < c.keys; ++i) keys.push_back((i * 7919) % 97 - 40);  // many duplicates
    const auto dbf = MakeIndexed(folder, keys);
    EXPECT_EQ(ScanInIndexOrder(dbf), ExpectedOrder(keys));
    const std::string mdx = ReadBytes(folder / "D2.MDX");
    EXPECT_EQ(TreeLevels(mdx), c.levels);
    EXPECT_EQ(U32(mdx, 32) * 512, mdx.size());
    // Every key is the value of the row it points to.
    const internal::MdxFile file = internal::ParseMdx(mdx, "D2.MDX");
    const auto entries = internal::ReadTagEntries(mdx, file, file.tags.at(0), "D2.MDX");
    ASSERT_EQ(entries.size(), keys.size());
    for (const auto& [key, record] : entries) {
      internal::NumericKey bytes;
      std::copy(key.begin(), key.end(), bytes.begin());
      EXPECT_EQ(internal::DecodeNumericKey(bytes)->ToText(), std::to_string(keys.at(record - 1)));
    }
  }
}

TEST(IndexTest, RowsAppendedInIndexOrderJoinTheScan) {
  TempFolder folder;
  const auto dbf = MakeIndexed(folder, {30, 10});
  Table table = Table::Open(dbf, OpenMode::kShared, "D2.DBF");
  table.SetIndexOrder("ORDEN");
  table.Append();
  table.SetText("DIHO", "2");
  table.SetInteger("ORDEN", 20);
  table.Post();
  EXPECT_EQ(table.GetInteger("ORDEN"), 20);  // the cursor stands on the new row
  std::vector<int> rows;
  for (table.First(); !table.Eof(); table.Next()) rows.push_back(table.GetInteger("DIHO"));
  EXPECT_EQ(rows, (std::vector<int>{1, 2, 0}));
}

TEST(IndexTest, MissingOrDamagedIndexIsAnError) {
  TempFolder folder;
  const auto dbf = MakeIndexed(folder, std::vector<int>(100, 1));
  {
    Table table = Table::Open(dbf, OpenMode::kShared, "D2.DBF");
    try {
      table.SetIndexOrder("OTRO");
      FAIL() << "no error";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "La tabla D2.DBF no tiene el índice OTRO");
    }
  }
  const std::string good = ReadBytes(folder / "D2.MDX");
  const std::size_t root = U32(good, U32(good, 544) * 512) * 512;
  struct Case {
    std::string name;
    std::size_t offset;
    std::string bytes;
    std::string reason;
  };
  const Case cases[] = {
      {"child page outside the file", root + 8, testing::Le(99999, 4), "fuera del archivo"},
      {"node pointing to itself", root + 8, testing::Le(root / 512, 4), "ciclo"},
      {"too many keys", root, testing::Le(500, 4), "declara 500 claves"},
      {"tag header outside the file", 544, testing::Le(99999, 4), "fuera del archivo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bad = good;
    bad.replace(c.offset, c.bytes.size(), c.bytes);
    testing::WriteBytes(folder / "D2.MDX", bad);
    Table table = Table::Open(dbf, OpenMode::kShared, "D2.DBF");
    try {
      table.SetIndexOrder("ORDEN");
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("El índice D2.MDX está dañado"), std::string::npos)
          << e.what();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
  std::filesystem::remove(folder / "D2.MDX");
  Table table = Table::Open(dbf, OpenMode::kShared, "D2.DBF");  // the rows still read
  EXPECT_EQ(table.RecordCount(), 100);
  EXPECT_THROW(table.SetIndexOrder("ORDEN"), Error);
}

TEST(IndexTest, DamagedIndexFilesAreReadOrRefusedNeverOverrun) {
  TempFolder folder;
  std::vector<int> keys;
  for (int i = 0; i < 200; ++i) keys.push_back(i % 17);
  const auto dbf = MakeIndexed(folder, keys);
  const std::string original = ReadBytes(folder / "D2.MDX");
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    std::string bytes = original;
    for (int c = 0; c < 3; ++c) {
      // The file header and tag table, the tag header, or the nodes.
      const std::size_t zones[] = {600, 2048 + 512, bytes.size()};
      bytes[random() % zones[random() % 3]] = static_cast<char>(random() % 256);
    }
    if (random() % 8 == 0) bytes.resize(random() % bytes.size());
    testing::WriteBytes(folder / "D2.MDX", bytes);
    Table table = Table::Open(dbf, OpenMode::kShared, "D2.DBF");
    try {
      table.SetIndexOrder("ORDEN");
      for (; !table.Eof(); table.Next()) table.GetInteger("ORDEN");
    } catch (const Error&) {
    }
  }
}

}  // namespace
}  // namespace orvida::dbase
