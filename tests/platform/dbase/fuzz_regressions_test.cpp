// The dBase fuzz targets' inputs read again by the same routine: every seed of their corpora and
// every input that once broke a reader (tests/data/fuzz/<target>/) is read or refused with
// orvida::Error, never crashes, never trips a sanitizer and never throws anything else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/dbase_readers.h"
#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "tests/platform/dbase/dbase_test_support.h"

namespace orvida::dbase {
namespace {

namespace fs = std::filesystem;
using testing::Le;
using testing::ReadBytes;
using testing::ShortHeaderTable;
using testing::TempFolder;
using testing::WriteBytes;

// Feeds every file of the target's corpus and of its fixtures to `read`; returns how many.
int ReplayInputs(const std::string& target, const std::function<void(std::string_view)>& read) {
  int count = 0;
  for (const fs::path& folder : {fs::path(ORVIDA_SOURCE_DIR) / "fuzz" / "corpus" / target,
                                 fs::path(ORVIDA_TEST_DATA) / "fuzz" / target}) {
    if (!fs::is_directory(folder)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      SCOPED_TRACE(entry.path().string());
      const std::string bytes = ReadBytes(entry.path());
      EXPECT_NO_THROW(read(bytes));
      ++count;
    }
  }
  return count;
}

TEST(DbaseFuzzRegressionsTest, TableInputsAreReadOrRefused) {
  EXPECT_GE(ReplayInputs("fuzz_dbase_table", fuzz::ReadTableInput), 10);
}

TEST(DbaseFuzzRegressionsTest, IndexInputsAreReadOrRefused) {
  EXPECT_GE(ReplayInputs("fuzz_mdx", fuzz::ReadMdxInput), 3);
}

// A number wider than a double can hold (a FoxPro character field may be 400 wide) is refused as
// a float, not read as 0; one too small for a double is 0.
TEST(DbaseFuzzRegressionsTest, NumberBeyondTheRangeOfADoubleIsRefused) {
  TempFolder folder;
  constexpr int kWidth = 400;
  auto row = [](std::string text) {
    text.resize(kWidth, ' ');
    return " " + text;
  };
  std::string table =
      ShortHeaderTable(0xF5, {{"VALOR", 'C', kWidth & 0xFF, kWidth >> 8}},
                       {row(std::string(kWidth, '9')), row("-1" + std::string(330, '0')),
                        row("0." + std::string(350, '0') + "1"), row("1" + std::string(300, '0'))},
                       4);
  table.replace(10, 2, Le(1 + kWidth, 2));  // the record length counts the whole field
  WriteBytes(folder / "ANCHO.DBF", table);

  Table t = Table::Open(folder / "ANCHO.DBF", OpenMode::kShared, "ANCHO.DBF");
  ASSERT_EQ(t.RecordCount(), 4);
  EXPECT_THAT([&] { t.GetFloat("VALOR"); },
              ::testing::ThrowsMessage<ConversionError>(
                  ::testing::HasSubstr("no es un valor de coma flotante válido")));
  EXPECT_THROW(t.GetInteger("VALOR"), ConversionError);
  t.Next();
  EXPECT_THROW(t.GetFloat("VALOR"), ConversionError);
  t.Next();
  EXPECT_EQ(t.GetFloat("VALOR"), 0.0);
  t.Next();
  EXPECT_DOUBLE_EQ(t.GetFloat("VALOR"), 1e300);
}

}  // namespace
}  // namespace orvida::dbase
