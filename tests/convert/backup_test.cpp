// The backup exportar makes before it rebuilds the working tables: what it copies and where,
// the ten copies it keeps, and what stops it before any table is touched.
#include "convert/backup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "tests/convert/convert_test_support.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/temp_folder.h"

namespace orvida::convert {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

using orvida::testing::FixedClock;
using orvida::testing::LocalTimePoint;
using orvida::testing::ReadBytes;
using orvida::testing::WriteBytes;

// The files of a folder (not below it) with their bytes.
std::map<std::string, std::string> FilesOf(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadBytes(entry.path());
  }
  return files;
}

std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Tables as exportar leaves them, one under a lower-case name, and the host's SOLUC.
    const formats::WorkingFolder working = folder_.working();
    for (const std::string name : {"ASIGNOMT", "PROFT", "GRUPOST", "DIASHORAST2"}) {
      working.CreateTable(formats::SpecOf(name));
    }
    dbase::Table proft = working.OpenWindow("PROFT");
    proft.Append();
    proft.SetText("ABREV", "GLA");
    proft.Post();
    proft.Close();
    WriteBytes(folder_.path() / "asigt.dbf", "una tabla dañada");
    WriteBytes(folder_.path() / "SOLUC.DBF", "la tabla del programa de horarios");
    WriteBytes(folder_.path() / "notas.txt", "otra cosa");
  }

  formats::WorkingFolder Working() const {
    return formats::WorkingFolder(folder_.path(), "C:\\KTEMP");
  }
  fs::path Copias() const { return folder_.path() / "copias"; }

  ScratchFolder folder_;
};

TEST_F(BackupTest, CopiesEveryCatalogueTableThatExistsByteForByte) {
  const auto before = FilesOf(folder_.path());
  const BackupResult result = BackupWorkingTables(Working(), FixedClock(2025, 9, 15, 8, 30, 5));
  EXPECT_EQ(result.folder, Copias() / "20250915-083005");
  EXPECT_EQ(result.shown_folder, "C:\\KTEMP\\copias\\20250915-083005");
  EXPECT_EQ(result.tables, 5);
  EXPECT_TRUE(result.warnings.empty());

  std::map<std::string, std::string> expected = before;
  expected.erase("SOLUC.DBF");
  expected.erase("notas.txt");
  ASSERT_EQ(expected.size(), 6u);  // four tables, DIASHORAST2.MDX and asigt.dbf
  EXPECT_TRUE(FilesOf(result.folder) == expected);
  EXPECT_TRUE(FilesOf(folder_.path()) == before);
}

TEST_F(BackupTest, ASecondBackupInTheSameSecondGetsASuffix) {
  const os::Clock clock = FixedClock(2025, 9, 15, 8, 30, 0);
  EXPECT_EQ(BackupWorkingTables(Working(), clock).folder.filename(), "20250915-083000");
  EXPECT_EQ(BackupWorkingTables(Working(), clock).folder.filename(), "20250915-083000-2");
  EXPECT_EQ(BackupWorkingTables(Working(), clock).folder.filename(), "20250915-083000-3");
}

TEST_F(BackupTest, KeepsTheTenNewestAndNothingElseGoes) {
  fs::create_directories(Copias());
  const std::vector<std::string> old = {
      "20240101-080000",   "20240915-083000",    "20250101-000000", "20250301-101010",
      "20250301-101010-2", "20250301-101010-10", "20250601-120000", "20250701-120000",
      "20250801-120000",   "20250901-120000",    "20250902-120000", "20250903-120000"};
  for (const std::string& name : old) fs::create_directory(Copias() / name);
  // Not backups: they stay whatever their age.
  const std::vector<std::string> others = {"20200101-000000-viejo", "mias", "2019"};
  for (const std::string& name : others) fs::create_directory(Copias() / name);
  WriteBytes(Copias() / "20190101-000000", "un archivo, no una copia");

  const BackupResult result = BackupWorkingTables(Working(), FixedClock(2025, 9, 15, 8, 30, 0));
  std::set<std::string> expected = {"20250915-083000", "20250903-120000",    "20250902-120000",
                                    "20250901-120000", "20250801-120000",    "20250701-120000",
                                    "20250601-120000", "20250301-101010-10", "20250301-101010-2",
                                    "20250301-101010"};
  expected.insert(others.begin(), others.end());
  expected.insert("20190101-000000");
  EXPECT_EQ(NamesIn(Copias()), expected);

  // A clock set back does not make the new copy the first to go.
  const BackupResult early = BackupWorkingTables(Working(), FixedClock(2020, 1, 1, 0, 0, 0));
  EXPECT_TRUE(fs::exists(early.folder));
  EXPECT_FALSE(fs::exists(Copias() / "20250301-101010"));
  EXPECT_TRUE(fs::exists(Copias() / "20250301-101010-2"));
}

TEST_F(BackupTest, WithoutTablesNothingIsMade) {
  ScratchFolder empty;
  const BackupResult result = BackupWorkingTables(formats::WorkingFolder(empty.path(), "C:\\KTEMP"),
                                                  FixedClock(2025, 9, 15, 8, 0, 0));
  EXPECT_TRUE(result.folder.empty());
  EXPECT_EQ(result.tables, 0);
  EXPECT_TRUE(fs::is_empty(empty.path()));
  EXPECT_TRUE(BackupWorkingTables(formats::WorkingFolder(empty.path() / "no-esta", "C:\\KTEMP"),
                                  FixedClock(2025, 9, 15, 8, 0, 0))
                  .folder.empty());
}

TEST_F(BackupTest, AFailureStopsItAndLeavesNothingBehind) {
  const auto before = FilesOf(folder_.path());
  {
    // A table another program holds exclusive may be half written: no copy is made of it.
    dbase::Table held = Working().OpenWindow("GRUPOST");
    try {
      BackupWorkingTables(Working(), FixedClock(2025, 9, 15, 8, 0, 0));
      ADD_FAILURE() << "no error";
    } catch (const InUseError& error) {
      EXPECT_STREQ(error.what(),
                   "No se puede hacer la copia de seguridad de las tablas de trabajo: la tabla "
                   "C:\\KTEMP\\GRUPOST.DBF está abierta en otro programa. No se ha borrado "
                   "ninguna tabla.");
    }
  }
  EXPECT_FALSE(fs::exists(Copias()));

  // The place of the backups is taken by a file.
  WriteBytes(Copias(), "no soy una carpeta");
  try {
    BackupWorkingTables(Working(), FixedClock(2025, 9, 15, 8, 0, 0));
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(),
                 "No se puede hacer la copia de seguridad de las tablas de trabajo: ya existe un "
                 "archivo C:\\KTEMP\\copias que no es una carpeta. No se ha borrado ninguna "
                 "tabla.");
  }
  fs::remove(Copias());
  EXPECT_TRUE(FilesOf(folder_.path()) == before);
}

TEST(BackupNames, StampAndPattern) {
  EXPECT_EQ(BackupFolderName(LocalTimePoint(2025, 1, 2, 3, 4, 5)), "20250102-030405");
  for (const std::string name : {"20250102-030405", "20250102-030405-2", "20250102-030405-123"}) {
    EXPECT_TRUE(IsBackupFolderName(name)) << name;
  }
  for (const std::string name :
       {"", "copias", "2025010-030405", "20250102_030405", "20250102-030405-", "20250102-030405-x",
        "20250102-030405-2b", "20250102-03040a", "20250102-030405-1234567890"}) {
    EXPECT_FALSE(IsBackupFolderName(name)) << name;
  }
}

}  // namespace
}  // namespace orvida::convert
