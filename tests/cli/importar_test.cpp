#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "tests/timetable/school_fixture.h"

namespace orvida::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using timetable::testing::TempFolder;
using timetable::testing::WriteBytes;
using timetable::testing::WriteSoluc;
using timetable::testing::WriteTable;

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome Importar(std::vector<std::string> args) {
  std::ostringstream out;
  std::ostringstream err;
  // No drive C on purpose: every test names its folder with --carpeta.
  Invocation call{std::move(args), out, err, {"/nonexistent-drive-c", std::nullopt, std::nullopt}};
  const int code = RunImportar(call);
  return {code, out.str(), err.str()};
}

class ImportarCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const formats::WorkingFolder working(folder_.path(), "C:\\KTEMP");
    WriteTable(working, "PROFT", {{{"ABREV", "GAR"}, {"X_EMPLEADO", "1"}}});
    WriteTable(working, "ASIGT", {{{"CASIG", "MAT"}, {"CGRUP", "1A"}, {"CLAVE", "M"}}});
    WriteTable(working, "ASIGNOMT", {});
    WriteTable(working, "DIASHORAST", {});  // no slot: the period's slot is not found
    WriteTable(working, "GRUPOST", {{{"ABREV", "1A"}, {"CLAVE", "U"}}});
    WriteTable(working, "AULAT", {});
    WriteTable(working, "CURSOST", {});
    WriteSoluc(working, {{"GAR", 1, 1, "MAT", "1A", "", ""}});
    document_ = (folder_ / "horario.xml").string();
    WriteBytes(document_,
               "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\"><grupo_datos>"
               "<dato>2023</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>");
  }

  std::string Output() const { return (folder_ / "ResultadoOrvidahorario.xml").string(); }

  TempFolder folder_;
  std::string document_;
};

TEST_F(ImportarCommandTest, ReportsTheDocumentTheBlocksAndTheNotices) {
  const Outcome plain = Importar({"--carpeta", folder_.path().string(), document_});
  EXPECT_EQ(plain.code, kExitOk) << plain.err;
  EXPECT_EQ(plain.err, "");
  EXPECT_THAT(plain.out, HasSubstr("Documento de horario: " + Output() + "\n"));
  EXPECT_THAT(plain.out, HasSubstr("Profesores: 1\n"));
  EXPECT_THAT(plain.out, HasSubstr("Bloques de actividad: 1\n"));
  EXPECT_THAT(plain.out, HasSubstr("tramo no encontrado: 1\n"));
  EXPECT_THAT(plain.out, Not(HasSubstr("DIHO '11'")));
  EXPECT_THAT(plain.out, ::testing::EndsWith("Proceso finalizado\n"));
  EXPECT_TRUE(std::filesystem::exists(Output()));

  const Outcome detailed = Importar({"--detalle", document_, "--carpeta", folder_.path().string()});
  EXPECT_EQ(detailed.code, kExitOk) << detailed.err;
  EXPECT_THAT(detailed.out, HasSubstr("DIHO '11'"));
}

TEST_F(ImportarCommandTest, ErrorsAndWrongCommandLines) {
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err_part;
  };
  const std::string carpeta = folder_.path().string();
  const std::vector<Case> cases = {
      {{}, kExitUsage, "falta el documento"},
      {{"--carpeta"}, kExitUsage, "--carpeta"},
      {{"--rapido", document_}, kExitUsage, "'--rapido'"},
      {{document_, document_}, kExitUsage, "sobra"},
      {{"--carpeta", carpeta, (folder_ / "otro.xml").string()}, kExitError, "No existe archivo"},
      {{"--carpeta", (folder_ / "falta").string(), document_}, kExitError, "no existe"},
      {{"--carpeta", (folder_ / "vacia").string(), document_}, kExitError, "SOLUC"},
  };
  std::filesystem::create_directory(folder_ / "vacia");
  for (const Case& c : cases) {
    const Outcome outcome = Importar(c.args);
    EXPECT_EQ(outcome.code, c.code) << outcome.err;
    EXPECT_THAT(outcome.err, ::testing::StartsWith("error: "));
    EXPECT_THAT(outcome.err, HasSubstr(c.err_part));
    EXPECT_THAT(outcome.out, Not(HasSubstr("Proceso finalizado")));
  }
  EXPECT_FALSE(std::filesystem::exists(Output()));

  const Outcome help = Importar({"--help"});
  EXPECT_EQ(help.code, kExitOk);
  EXPECT_THAT(help.out, HasSubstr("Uso: transorvida importar [--carpeta DIR] [--detalle]"));
}

}  // namespace
}  // namespace orvida::cli
