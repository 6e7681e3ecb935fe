// Filters, and the locks that keep two programs from sharing a table the wrong way.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "tests/platform/dbase/dbase_test_support.h"

namespace orvida::dbase {
namespace {

using testing::TempFolder;

std::filesystem::path MakeSoluc(const TempFolder& folder) {
  const auto dbf = folder / "SOLUC.DBF";
  CreateTable(dbf, {{"PROF", FieldType::kText, 6}, {"DIA", FieldType::kInteger, 0}}, {},
              "SOLUC.DBF");
  Table table = Table::Open(dbf, OpenMode::kShared, "SOLUC.DBF");
  const char* profs[] = {"P1", "P1  ", "p1", "O'Neil", "P2", " P1", "P1"};
  int dia = 1;
  for (const char* prof : profs) {
    table.Append();
    table.SetText("PROF", prof);
    table.SetInteger("DIA", dia++);
    table.Post();
  }
  return dbf;
}

std::vector<int> Days(Table& table) {
  std::vector<int> days;
  for (; !table.Eof(); table.Next()) days.push_back(table.GetInteger("DIA"));
  return days;
}

TEST(FilterTest, ExactCaseSensitiveMatchOfTheStoredText) {
  TempFolder folder;
  Table table = Table::Open(MakeSoluc(folder), OpenMode::kShared, "SOLUC.DBF");
  struct Case {
    std::string expression;
    std::vector<int> days;
  };
  const Case cases[] = {
      {"PROF= 'P1'", {1, 2, 7}},  // "P1  " is stored as "P1"
      {"PROF='p1'", {3}},
      {"prof  =  'O''Neil'  ", {4}},
      {"PROF= ' P1'", {6}},
      {"PROF= 'P1 '", {}},  // the literal keeps its blank; the stored text has none
      {"PROF= 'P3'", {}},
      {"DIA= '5'", {5}},  // numbers compare as their shortest text
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    table.SetFilter(c.expression);
    table.SetFiltered(true);
    EXPECT_EQ(table.RecordCount(), static_cast<int>(c.days.size()));
    EXPECT_EQ(table.Eof(), c.days.empty());
    EXPECT_EQ(Days(table), c.days);
    table.SetFiltered(false);
    EXPECT_EQ(table.RecordCount(), 7);
  }
}

TEST(FilterTest, SwitchingAndChangingTheFilter) {
  TempFolder folder;
  Table table = Table::Open(MakeSoluc(folder), OpenMode::kShared, "SOLUC.DBF");
  table.SetFilter("PROF= 'P2'");  // not on yet
  EXPECT_EQ(table.RecordCount(), 7);
  table.SetFiltered(true);
  EXPECT_EQ(Days(table), std::vector<int>{5});
  table.SetFilter("PROF= 'P1'");  // while on: applied at once, from the first row
  EXPECT_EQ(table.GetInteger("DIA"), 1);
  EXPECT_EQ(table.RecordCount(), 3);
  table.Append();  // a matching row joins the filtered rows
  table.SetText("PROF", "P1");
  table.SetInteger("DIA", 8);
  table.Post();
  table.Append();  // one that does not match stays out
  table.SetText("PROF", "P9");
  table.SetInteger("DIA", 9);
  table.Post();
  table.First();
  EXPECT_EQ(Days(table), (std::vector<int>{1, 2, 7, 8}));
  table.SetFilter("");  // no expression: every row
  EXPECT_EQ(table.RecordCount(), 9);
}

TEST(FilterTest, MalformedExpressionsAreErrors) {
  TempFolder folder;
  Table table = Table::Open(MakeSoluc(folder), OpenMode::kShared, "SOLUC.DBF");
  for (const char* expression : {"PROF", "PROF='P1", "PROF=P1", "='P1'", "PROF='P1' AND DIA='1'",
                                 "PROF=='P1'", "PROF<>'P1'"}) {
    SCOPED_TRACE(expression);
    try {
      table.SetFilter(expression);
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("no es válido"), std::string::npos) << e.what();
    }
  }
  try {
    table.SetFilter("PROFE= 'P1'");
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "La tabla SOLUC.DBF no tiene el campo PROFE");
  }
}

TEST(FilterTest, ManyFiltersOnALargeTable) {
  TempFolder folder;
  const auto dbf = folder / "BIG.DBF";
  CreateTable(dbf, {{"PROF", FieldType::kText, 4}, {"DIA", FieldType::kInteger, 0}}, {}, "BIG");
  {
    Table table = Table::Open(dbf, OpenMode::kShared, "BIG");
    for (int i = 0; i < 20000; ++i) {
      table.Append();
      table.SetText("PROF", "P" + std::to_string(i % 500));
      table.SetInteger("DIA", i);
      table.Post();
    }
  }
  Table table = Table::Open(dbf, OpenMode::kExclusive, "BIG");
  long total = 0;
  for (int p = 0; p < 500; ++p) {
    table.SetFiltered(false);
    table.SetFilter("PROF= 'P" + std::to_string(p) + "'");
    table.SetFiltered(true);
    ASSERT_EQ(table.RecordCount(), 40);
    for (; !table.Eof(); table.Next()) {
      EXPECT_EQ(table.GetInteger("DIA") % 500, p);
      ++total;
    }
  }
  EXPECT_EQ(total, 20000);
}

const std::string kInUse = "La tabla C:\\KTEMP\\SOLUC.DBF está abierta en otro programa";

// Opens the table in `mode` and reports whether it was refused as in use.
bool Refused(const std::filesystem::path& dbf, OpenMode mode) {
  try {
    Table::Open(dbf, mode, "C:\\KTEMP\\SOLUC.DBF");
    return false;
  } catch (const InUseError& e) {
    EXPECT_EQ(e.what(), kInUse);
    return true;
  }
}

TEST(LockTest, ExclusiveExcludesEveryOtherHandle) {
  TempFolder folder;
  const auto dbf = MakeSoluc(folder);
  {
    Table shared = Table::Open(dbf, OpenMode::kShared, "S");
    EXPECT_FALSE(Refused(dbf, OpenMode::kShared));
    EXPECT_TRUE(Refused(dbf, OpenMode::kExclusive));
  }
  {
    Table exclusive = Table::Open(dbf, OpenMode::kExclusive, "S");
    EXPECT_TRUE(Refused(dbf, OpenMode::kShared));
    EXPECT_TRUE(Refused(dbf, OpenMode::kExclusive));
    Table moved = std::move(exclusive);  // the lock goes with the handle
    EXPECT_TRUE(Refused(dbf, OpenMode::kExclusive));
    moved.Close();
    EXPECT_FALSE(Refused(dbf, OpenMode::kExclusive));
  }
  EXPECT_FALSE(Refused(dbf, OpenMode::kExclusive));
}

TEST(LockTest, AnotherProcessHoldingTheTable) {
  TempFolder folder;
  const auto dbf = MakeSoluc(folder);
  for (OpenMode child_mode : {OpenMode::kExclusive, OpenMode::kShared}) {
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        Table table = Table::Open(dbf, child_mode, "S");
        char byte = 'r';
        if (write(ready[1], &byte, 1) != 1) status = 2;
        if (read(release[0], &byte, 1) != 1) status = 3;
      } catch (...) {
        status = 1;
      }
      _exit(status);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_TRUE(Refused(dbf, OpenMode::kExclusive));
    EXPECT_EQ(Refused(dbf, OpenMode::kShared), child_mode == OpenMode::kExclusive);
    ASSERT_EQ(write(release[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
    EXPECT_FALSE(Refused(dbf, OpenMode::kExclusive));  // released when the process ended
  }
}

}  // namespace
}  // namespace orvida::dbase
