#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace orvida::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const std::string kData = std::string(ORVIDA_TEST_DATA) + "/xml/";

struct Result {
  int code;
  std::string out;
  std::string err;
};

Result RunCommand(std::vector<std::string> args) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = RunSecciones(Invocation{std::move(args), out, err, {}});
  return {code, out.str(), err.str()};
}

TEST(Secciones, CountsEverySectionAndListsTheSkippedRecords) {
  const Result result = RunCommand({kData + "two_unidades_sections.xml"});
  ASSERT_EQ(result.code, kExitOk) << result.err;
  EXPECT_THAT(result.err, IsEmpty());
  EXPECT_EQ(result.out,
            "Secciones del documento " + kData +
                "two_unidades_sections.xml:\n"
                "  MATERIAS           encontrados      1  usados      1  omitidos      0\n"
                "  ACTIVIDADES        encontrados      0  usados      0  omitidos      0\n"
                "  EMPLEADOS          encontrados      0  usados      0  omitidos      0\n"
                "  DEPENDENCIAS       encontrados      0  usados      0  omitidos      0\n"
                "  CURSOS_DEL_CENTRO  encontrados      0  usados      0  omitidos      0\n"
                "  UNIDADES           encontrados      3  usados      3  omitidos      0\n"
                "  TRAMOS_HORARIOS    encontrados      0  usados      0  omitidos      0\n"
                "  ANNO_ACADEMICO     encontrados      0  usados      0  omitidos      0\n"
                "  Total              encontrados      4  usados      4  omitidos      0\n");
}

TEST(Secciones, ShowsEachNoticeUnderItsSectionInUtf8) {
  const Result result = RunCommand({kData + "latin1_accents.xml"});
  ASSERT_EQ(result.code, kExitOk) << result.err;
  EXPECT_THAT(
      result.out,
      HasSubstr("  EMPLEADOS          encontrados      1  usados      1  omitidos      0\n"));

  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("orvida_secciones_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string skipped = (folder / "omitidos.xml").string();
  {
    std::ofstream(skipped) << "<?xml version='1.0' encoding='ISO-8859-1'?><SERVICIO><BLOQUE_DATOS>"
                              "<grupo_datos seq='EMPLEADOS'><grupo_datos><dato> \xD1u\xF1"
                              "ez "
                              "</dato><dato>x</dato></grupo_datos></grupo_datos>"
                              "</BLOQUE_DATOS></SERVICIO>";
  }
  const Result with_notice = RunCommand({skipped});
  ASSERT_EQ(with_notice.code, kExitOk) << with_notice.err;
  EXPECT_THAT(with_notice.out,
              HasSubstr("  EMPLEADOS          encontrados      1  usados      0  omitidos      1\n"
                        "      EMPLEADOS, registro 1 (\xC3\x91u\xC3\xB1"
                        "ez): el registro tiene 2 "
                        "campos y se necesitan 6; se omite.\n"
                        "  DEPENDENCIAS"));
  EXPECT_THAT(with_notice.out, HasSubstr("  Total              encontrados      1  usados      0  "
                                         "omitidos      1\n"));
  std::filesystem::remove_all(folder);
}

TEST(Secciones, ReportsFailuresAndWrongCommandLines) {
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err_start;
  };
  const std::vector<Case> cases = {
      {{kData + "not_xml.xml"},
       kExitError,
       "error: El archivo " + kData + "not_xml.xml no es un documento XML válido (línea 1, "},
      {{kData + "no_esta.xml"},
       kExitError,
       "error: No se puede leer el archivo " + kData + "no_esta.xml: no existe\n"},
      {{kData + "entity_bomb.xml"}, kExitError, "error: El archivo " + kData + "entity_bomb.xml"},
      {{kData + "external_entity.xml"},
       kExitError,
       "error: El archivo " + kData + "external_entity.xml declara la entidad externa"},
      {{}, kExitUsage, "error: falta el documento"},
      {{"a.xml", "b.xml"}, kExitUsage, "error: 'secciones' lee un solo documento; sobra 'b.xml'"},
      {{"--carpeta", "a.xml"}, kExitUsage, "error: opción desconocida: '--carpeta'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const Result result = RunCommand(c.args);
    EXPECT_EQ(result.code, c.code);
    EXPECT_THAT(result.err, StartsWith(c.err_start));
    EXPECT_THAT(result.out, IsEmpty());
  }
  const Result help = RunCommand({"--help"});
  EXPECT_EQ(help.code, kExitOk);
  EXPECT_THAT(help.out, StartsWith("Uso: transorvida secciones DOCUMENTO.xml\n"));
}

}  // namespace
}  // namespace orvida::cli
