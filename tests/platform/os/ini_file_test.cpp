#include "platform/os/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/os/error.h"
#include "tests/platform/os/temp_folder.h"

namespace orvida::os {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// A host configuration file as found in the wild: CRLF, comments of both kinds, blanks around
// '=', an inline comment, Latin-1 bytes, an empty section and a last line without end of line.
const std::string kHostIni =
    "; Configuraci\xF3n de Velmora\r\n"
    "[General]\r\n"
    "Ruta = C:\\Datos\\DBF\r\n"
    "Usuario=Jos\xE9\r\n"
    "\r\n"
    "[Transformadores]\r\n"
    "# c\xF3"
    "digo del \xFAltimo proceso\r\n"
    "transformado = 0 ; sin ejecutar\r\n"
    "Otro=x\r\n"
    "\r\n"
    "[Vacia]\r\n"
    "[Final]\r\n"
    "Alfa=1";

TEST(OsIniFile, UpdatesOnlyTheValue) {
  struct Case {
    std::string name;
    std::string original;
    std::string section;
    std::string key;
    std::string value;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"existing key: only its value changes, inline comment included", kHostIni, "TRANSFORMADORES",
       "Transformado", "1",
       "; Configuraci\xF3n de Velmora\r\n[General]\r\nRuta = C:\\Datos\\DBF\r\nUsuario=Jos\xE9\r\n"
       "\r\n[Transformadores]\r\n# c\xF3"
       "digo del \xFAltimo proceso\r\ntransformado = 1\r\n"
       "Otro=x\r\n\r\n[Vacia]\r\n[Final]\r\nAlfa=1"},
      {"new key after the section's last non-blank line", kHostIni, "transformadores", "Nuevo",
       "-1",
       "; Configuraci\xF3n de Velmora\r\n[General]\r\nRuta = C:\\Datos\\DBF\r\nUsuario=Jos\xE9\r\n"
       "\r\n[Transformadores]\r\n# c\xF3"
       "digo del \xFAltimo proceso\r\ntransformado = 0 ; sin "
       "ejecutar\r\nOtro=x\r\nNuevo=-1\r\n\r\n[Vacia]\r\n[Final]\r\nAlfa=1"},
      {"new key in an empty section", kHostIni, "Vacia", "K", "v",
       "; Configuraci\xF3n de Velmora\r\n[General]\r\nRuta = C:\\Datos\\DBF\r\nUsuario=Jos\xE9\r\n"
       "\r\n[Transformadores]\r\n# c\xF3"
       "digo del \xFAltimo proceso\r\ntransformado = 0 ; sin "
       "ejecutar\r\nOtro=x\r\n\r\n[Vacia]\r\nK=v\r\n[Final]\r\nAlfa=1"},
      {"new key after a last line without end of line", kHostIni, "Final", "Beta", "2",
       kHostIni + "\r\nBeta=2\r\n"},
      {"existing key on a last line without end of line", kHostIni, "final", "ALFA", "9",
       kHostIni.substr(0, kHostIni.size() - 1) + "9"},
      {"missing section appended", kHostIni, "Nueva", "Clave", "C:\\x y",
       kHostIni + "\r\n[Nueva]\r\nClave=C:\\x y\r\n"},
      {"LF file keeps LF; a line's own CRLF is kept", "[A]\nk=1\r\nj=2\n[B]\n", "a", "NEW", "3",
       "[A]\nk=1\r\nj=2\nNEW=3\n[B]\n"},
      {"the first of two keys of that name in the first matching section",
       "[S]\r\nk=1\r\nk=2\r\n[s]\r\nk=3\r\n", "S", "K", "x", "[S]\r\nk=x\r\nk=2\r\n[s]\r\nk=3\r\n"},
      {"a key only commented out is not the key", "[S]\r\n;Transformado=5\r\n", "S", "Transformado",
       "1", "[S]\r\n;Transformado=5\r\nTransformado=1\r\n"},
      {"indented header, blanks inside brackets, tab before '='",
       "  [ Transformadores ]\r\nTransformado\t=\t0\r\n", "Transformadores", "Transformado", "1",
       "  [ Transformadores ]\r\nTransformado\t=\t1\r\n"},
      {"empty value on the line", "[S]\r\nk=\r\n", "S", "k", "1", "[S]\r\nk=1\r\n"},
      {"empty file", "", "S", "k", "1", "[S]\r\nk=1\r\n"},
  };
  for (const auto& c : cases) {
    TempFolder dir;
    const auto file = dir / "Velmora.ini";
    WriteBytes(file, c.original);
    WriteIniString(file, c.section, c.key, c.value);
    EXPECT_EQ(ReadBytes(file), c.expected) << c.name;
    EXPECT_EQ(ReadIniString(file, c.section, c.key), c.value) << c.name;
  }
}

TEST(OsIniFile, CreatesAMissingFileWindowsStyle) {
  TempFolder dir;
  const auto file = dir / "Velmora.ini";
  WriteIniString(file, "Transformadores", "Transformado", "1");
  EXPECT_EQ(ReadBytes(file), "[Transformadores]\r\nTransformado=1\r\n");
  WriteIniString(file, "Transformadores", "Transformado", "-1");
  EXPECT_EQ(ReadBytes(file), "[Transformadores]\r\nTransformado=-1\r\n");
  // No temporary file is left beside it.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(OsIniFile, KeepsPermissionBits) {
  TempFolder dir;
  const auto file = dir / "Velmora.ini";
  WriteBytes(file, "[S]\r\nk=0\r\n");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  WriteIniString(file, "S", "k", "1");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadBytes(file), "[S]\r\nk=1\r\n");
}

TEST(OsIniFile, FollowsALinkToTheFile) {
  TempFolder dir;
  WriteBytes(dir / "real.ini", "[S]\nk=0\n");
  std::filesystem::create_symlink("real.ini", dir / "Velmora.ini");
  WriteIniString(dir / "Velmora.ini", "S", "k", "1");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "Velmora.ini"));
  EXPECT_EQ(ReadBytes(dir / "real.ini"), "[S]\nk=1\n");
}

TEST(OsIniFile, UnwritableFileGivesTheMessage) {
  TempFolder dir;
  std::filesystem::create_directory(dir / "carpeta.ini");
  WriteBytes(dir / "solo_lectura.ini", "[S]\r\nk=0\r\n");
  ASSERT_EQ(::chmod((dir / "solo_lectura.ini").c_str(), 0444), 0);
  const std::vector<std::filesystem::path> paths = {
      dir / "no_existe" / "Velmora.ini",  // the folder is missing
      dir / "carpeta.ini",                // a folder, not a file
      dir / "solo_lectura.ini",           // read-only, even for a privileged user
  };
  for (const auto& p : paths) {
    try {
      WriteIniString(p, "Transformadores", "Transformado", "1");
      ADD_FAILURE() << "wrote " << p;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + p.string());
    }
  }
  EXPECT_EQ(ReadBytes(dir / "solo_lectura.ini"), "[S]\r\nk=0\r\n");
}

TEST(OsIniFile, RefusesTextThatWouldBreakTheFile) {
  TempFolder dir;
  const auto file = dir / "x.ini";
  EXPECT_THROW(WriteIniString(file, "S", "k", "a\r\nb=c"), Error);
  EXPECT_THROW(WriteIniString(file, "S]", "k", "1"), Error);
  EXPECT_THROW(WriteIniString(file, "S", "k=j", "1"), Error);
  EXPECT_THROW(WriteIniString(file, "S", " ", "1"), Error);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(OsIniFile, ReadsValuesTrimmed) {
  TempFolder dir;
  const auto file = dir / "x.ini";
  WriteBytes(file, kHostIni);
  EXPECT_EQ(ReadIniString(file, "general", "RUTA"), "C:\\Datos\\DBF");
  EXPECT_EQ(ReadIniString(file, "Transformadores", "Transformado"), "0 ; sin ejecutar");
  EXPECT_EQ(ReadIniString(file, "Final", "Alfa"), "1");
  EXPECT_EQ(ReadIniString(file, "Vacia", "Alfa", "no"), "no");
  EXPECT_EQ(ReadIniString(file, "Otra", "Alfa", "no"), "no");
  EXPECT_EQ(ReadIniString(dir / "falta.ini", "S", "k", "def"), "def");
}

}  // namespace
}  // namespace orvida::os
