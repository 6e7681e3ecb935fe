#include "platform/os/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os/error.h"
#include "tests/platform/os/temp_folder.h"

namespace orvida::os {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

TEST(OsPaths, DriveCFolderPrefersExplicitThenWineThenHome) {
  EXPECT_EQ(DriveCFolder({"/srv/c", "/w", "/home/u"}), "/srv/c");
  EXPECT_EQ(DriveCFolder({"", "/w", "/home/u"}), "/w/drive_c");
  EXPECT_EQ(DriveCFolder({std::nullopt, "/w", "/home/u"}), "/w/drive_c");
  EXPECT_EQ(DriveCFolder({std::nullopt, "", "/home/u"}), "/home/u/.wine/drive_c");
  EXPECT_EQ(DriveCFolder({std::nullopt, std::nullopt, "/home/u"}), "/home/u/.wine/drive_c");
  EXPECT_THROW(DriveCFolder({std::nullopt, std::nullopt, std::nullopt}), Error);
}

TEST(OsPaths, MapWindowsPathFindsExistingEntriesIgnoringCase) {
  TempFolder drive;
  const auto c = drive.path();
  std::filesystem::create_directories(c / "ktemp" / "Sauce");
  std::filesystem::create_directories(c / "VLMRM8");
  WriteBytes(c / "ktemp" / "SOLUC.dbf", "");
  WriteBytes(c / "VLMRM8" / "aldrena.CHM", "");

  struct Case {
    std::string windows;
    std::filesystem::path expected;
  };
  const std::vector<Case> cases = {
      {"C:\\KTEMP", c / "ktemp"},
      {"c:\\ktemp\\sauce", c / "ktemp" / "Sauce"},
      {"C:\\KTEMP\\SOLUC.DBF", c / "ktemp" / "SOLUC.dbf"},
      {"\\VLMRM8\\ALDRENA.chm", c / "VLMRM8" / "aldrena.CHM"},
      {"C:/KTemp/soluc.DBF", c / "ktemp" / "SOLUC.dbf"},
      // Names that do not exist keep the caller's spelling, also below them.
      {"C:\\KTEMP\\ASIGNOMT.DBF", c / "ktemp" / "ASIGNOMT.DBF"},
      {"C:\\Nueva\\Sub\\x.xml", c / "Nueva" / "Sub" / "x.xml"},
      {"C:\\KTEMP\\\\.\\PROFT.DBF", c / "ktemp" / "PROFT.DBF"},
      {"C:\\KTEMP\\..\\..\\..\\vlmrm8", c / "VLMRM8"},
      {"C:\\", c},
      // Already a path of this system.
      {"/tmp/x", "/tmp/x"},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(MapWindowsPath(k.windows, c), k.expected) << k.windows;
  }
}

TEST(OsPaths, ExactSpellingWinsAmongCaseVariants) {
  TempFolder drive;
  const auto c = drive.path();
  std::filesystem::create_directories(c / "KTEMP");
  WriteBytes(c / "KTEMP" / "Proft.dbf", "");
  WriteBytes(c / "KTEMP" / "PROFT.DBF", "");
  WriteBytes(c / "KTEMP" / "proft.dbf", "");
  WriteBytes(c / "KTEMP" / "PROFT.MDX", "");

  EXPECT_EQ(MapWindowsPath("C:\\KTEMP\\proft.dbf", c), c / "KTEMP" / "proft.dbf");
  EXPECT_EQ(FindEntryIgnoreCase(c / "KTEMP", "PROFT.DBF"), c / "KTEMP" / "PROFT.DBF");
  // Without an exact match the choice is still repeatable.
  EXPECT_EQ(FindEntryIgnoreCase(c / "KTEMP", "pROFT.dbf"), c / "KTEMP" / "PROFT.DBF");
  EXPECT_EQ(FindEntryIgnoreCase(c / "KTEMP", "AULAT.DBF"), std::nullopt);
  EXPECT_EQ(FindEntryIgnoreCase(c / "missing", "x"), std::nullopt);

  auto all = FindAllEntriesIgnoreCase(c / "KTEMP", "Proft.Dbf");
  std::vector<std::filesystem::path> expected = {
      c / "KTEMP" / "PROFT.DBF", c / "KTEMP" / "Proft.dbf", c / "KTEMP" / "proft.dbf"};
  EXPECT_EQ(all, expected);
  EXPECT_TRUE(FindAllEntriesIgnoreCase(c / "missing", "x").empty());
}

TEST(OsPaths, OtherDrivesAreRefused) {
  for (std::string path : {"D:\\datos\\x.xml", "d:\\x", "\\\\servidor\\compartido\\x.xml"}) {
    EXPECT_THROW(MapWindowsPath(path, "/c"), Error) << path;
  }
  try {
    MapWindowsPath("e:\\x", "/c");
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "La unidad E: no está disponible en este equipo");
  }
}

}  // namespace
}  // namespace orvida::os
