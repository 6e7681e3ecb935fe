// transorvida tabla, run in-process.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "formats/working_tables.h"
#include "tests/support/temp_folder.h"

namespace orvida::cli {
namespace {

using orvida::testing::TempFolder;

struct Result {
  int code;
  std::string out;
  std::string err;
};

Result RunTablaWith(std::vector<std::string> args) {
  std::ostringstream out;
  std::ostringstream err;
  // The drive C folder points nowhere: every test names its folder or file.
  Invocation call{std::move(args), out, err, {"/nonexistent-drive-c", std::nullopt, std::nullopt}};
  const int code = RunTabla(call);
  return {code, out.str(), err.str()};
}

void FillProft(const TempFolder& temp) {
  const formats::WorkingFolder folder(temp.path());
  folder.CreateTable(formats::SpecOf("PROFT"));
  dbase::Table table = folder.OpenRunTime("PROFT");
  table.Append();
  table.SetText("ABREV", "MU\xD1O");
  table.SetText("NOMBRE", "Mu\xF1oz, Ana \"la \x80\"");
  table.SetInteger("DNI", 12345678);
  table.Post();
  table.Append();
  table.SetText("ABREV", "PE");
  table.SetText("NOMBRE", "P\xE9rez");
  table.SetText("DEPART", "Lengua");
  table.SetInteger("DNI", -5);
  table.SetText("X_EMPLEADO", "E1");
  table.Post();
}

TEST(TablaTest, AlignedColumns) {
  TempFolder temp;
  FillProft(temp);
  const Result r = RunTablaWith({"--carpeta", temp.str(), "proft"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "ABREV  NOMBRE             DEPART       DNI  X_EMPLEADO  F_TOMAPOS\n"
            "MUÑO   Muñoz, Ana \"la €\"          12345678\n"
            "PE     Pérez              Lengua        -5  E1\n");
  EXPECT_EQ(r.err, "");
}

TEST(TablaTest, CsvQuotesWhereNeededInUtf8) {
  TempFolder temp;
  FillProft(temp);
  const Result r = RunTablaWith({"PROFT", "--csv", "--carpeta", temp.str()});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "ABREV,NOMBRE,DEPART,DNI,X_EMPLEADO,F_TOMAPOS\n"
            "MUÑO,\"Muñoz, Ana \"\"la €\"\"\",,12345678,,\n"
            "PE,Pérez,Lengua,-5,E1,\n");
}

TEST(TablaTest, AnyDbfFileWithDatesLogicalsAndDecimals) {
  TempFolder temp;
  // A dBase III table built byte by byte: C 3, D 8, L 1, N 6.2; one live row, one deleted.
  std::string bytes(32, '\0');
  bytes[0] = 0x03;
  bytes[4] = 2;
  bytes[8] = static_cast<char>(32 + 4 * 32 + 1);
  bytes[10] = 1 + 3 + 8 + 1 + 6;
  bytes[29] = 0x58;
  const struct {
    const char* name;
    char type;
    int length;
    int decimals;
  } fields[] = {{"COD", 'C', 3, 0}, {"FECHA", 'D', 8, 0}, {"OK", 'L', 1, 0}, {"HORAS", 'N', 6, 2}};
  for (const auto& f : fields) {
    std::string d(32, '\0');
    d.replace(0, std::strlen(f.name), f.name);
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    bytes += d;
  }
  bytes += "\x0D";
  bytes += " A  20240307F  4.50";
  bytes += "*B  20240308T  1.00";
  bytes += "\x1A";
  std::ofstream(temp.path() / "otra.dbf", std::ios::binary) << bytes;

  const Result r = RunTablaWith({(temp.path() / "otra.dbf").string(), "--csv"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "COD,FECHA,OK,HORAS\nA,2024-03-07,F,4.5\n");
}

TEST(TablaTest, FailuresAndWrongCommandLines) {
  TempFolder temp;
  Result r = RunTablaWith({"--carpeta", temp.str(), "SOLUC"});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_EQ(r.err, "error: No existe la tabla " + temp.str() + "/SOLUC.DBF\n");
  EXPECT_EQ(r.out, "");

  std::ofstream(temp.path() / "ROTA.DBF", std::ios::binary) << std::string(40, '\x03');
  r = RunTablaWith({(temp.path() / "ROTA.DBF").string()});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("no es una tabla dBase válida"), std::string::npos) << r.err;

  r = RunTablaWith({"SOLUC"});  // C:\KTEMP under a drive C folder that does not exist
  EXPECT_EQ(r.code, kExitError);
  EXPECT_EQ(r.err, "error: La carpeta de trabajo C:\\KTEMP no existe\n");

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"--csv"}, {"A", "B"}, {"--carpeta"}, {"--bogus", "A"}}) {
    r = RunTablaWith(args);
    EXPECT_EQ(r.code, kExitUsage) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(r.err.rfind("error: ", 0), 0u);
  }

  r = RunTablaWith({"--help"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out.rfind("Uso: transorvida tabla [--carpeta DIR] NOMBRE|ARCHIVO.DBF [--csv]", 0),
            0u);
}

}  // namespace
}  // namespace orvida::cli
