// What the steps rely on when they fill a table through an exclusive handle with write-behind:
// every posted row reaches the disk (also when an error unwinds), the file is valid at every
// moment, and the index order sees every row.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/working_tables.h"
#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "tests/convert/convert_test_support.h"

namespace orvida::convert {
namespace {

using testing::ScratchFolder;

// The row count in the header and the rows the file holds whole.
struct OnDisk {
  std::uint32_t header_count;
  std::uint64_t whole_rows;
};

OnDisk Inspect(const std::filesystem::path& dbf) {
  std::ifstream in(dbf, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](int at) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
  };
  const std::uint32_t count = u16(4) | static_cast<std::uint32_t>(u16(6)) << 16;
  const unsigned header = u16(8);
  const unsigned record = u16(10);
  return {count, (bytes.size() - header) / record};
}

void AddSlot(dbase::Table& table, const std::string& code, std::int32_t start) {
  table.Append();
  table.SetText("CODDIHO", code);
  table.SetInteger("ORDEN", start);
  table.Post();
}

TEST(TableFilling, WriteBehindNeedsAnExclusiveHandle) {
  ScratchFolder folder;
  const formats::WorkingFolder working = folder.working();
  working.CreateTable(formats::SpecOf("AULAT"));
  dbase::Table shared = working.OpenRunTime("AULAT");
  EXPECT_THROW(shared.SetWriteBehind(10), Error);
}

TEST(TableFilling, HeldRowsAreWrittenInBatchesAndTheFileStaysValid) {
  ScratchFolder folder;
  const formats::WorkingFolder working = folder.working();
  working.CreateTable(formats::SpecOf("DIASHORAST2"));
  const std::filesystem::path dbf = working.DbfPath("DIASHORAST2");
  {
    dbase::Table table = working.OpenWindow("DIASHORAST2");
    table.SetWriteBehind(3);
    const std::vector<std::int32_t> starts = {600, 480, 540, 480, 420};
    for (std::size_t i = 0; i < starts.size(); ++i) {
      AddSlot(table, "T" + std::to_string(i + 1), starts[i]);
      const OnDisk disk = Inspect(dbf);
      EXPECT_EQ(disk.header_count, i + 1 >= 3 ? 3u : 0u) << "after row " << i + 1;
      EXPECT_GE(disk.whole_rows, disk.header_count);
    }
    EXPECT_EQ(table.RecordCount(), 5);
    table.Flush();
    EXPECT_EQ(Inspect(dbf).header_count, 5u);
    AddSlot(table, "T6", 500);

    // The index order is read from disk: the row just posted must be in it.
    table.SetIndexOrder("ORDEN");
    std::vector<std::string> order;
    for (table.First(); !table.Eof(); table.Next()) order.push_back(table.GetText("CODDIHO"));
    EXPECT_EQ(order, (std::vector<std::string>{"T5", "T2", "T4", "T6", "T3", "T1"}));
  }
  // Another handle sees every row and the index with all of them.
  dbase::Table reader = working.OpenRunTime("DIASHORAST2");
  EXPECT_EQ(reader.RecordCount(), 6);
  reader.SetIndexOrder("ORDEN");
  reader.First();
  EXPECT_EQ(reader.GetText("CODDIHO"), "T5");
}

TEST(TableFilling, RowsPostedBeforeAnErrorReachTheDisk) {
  ScratchFolder folder;
  const formats::WorkingFolder working = folder.working();
  working.CreateTable(formats::SpecOf("DIASHORAST2"));
  try {
    dbase::Table table = working.OpenWindow("DIASHORAST2");
    table.SetWriteBehind(100);
    AddSlot(table, "T1", 480);
    AddSlot(table, "T2", 420);
    table.Append();  // a row never posted
    table.SetText("CODDIHO", "T3");
    throw std::runtime_error("stop");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(Inspect(working.DbfPath("DIASHORAST2")).header_count, 2u);
  dbase::Table reader = working.OpenRunTime("DIASHORAST2");
  reader.SetIndexOrder("ORDEN");
  std::vector<std::string> order;
  for (reader.First(); !reader.Eof(); reader.Next()) order.push_back(reader.GetText("CODDIHO"));
  EXPECT_EQ(order, (std::vector<std::string>{"T2", "T1"}));
}

}  // namespace
}  // namespace orvida::convert
