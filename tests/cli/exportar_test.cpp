// transorvida exportar, run in-process: the report, the refusal of documents that are not
// exchange documents, errors inside the run, and the dry run.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "tests/convert/convert_test_support.h"

namespace orvida::cli {
namespace {

using convert::testing::ExchangeXml;
using convert::testing::ReadTable;
using convert::testing::ScratchFolder;
using convert::testing::SectionLiteral;
using convert::testing::Snapshot;

struct Outcome {
  int exit_code;
  std::string out;
  std::string err;
};

Outcome Exportar(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  Invocation call{args, out, err, {}};
  const int code = RunExportar(call);
  return {code, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The step lines of a report ("  1/7 ExportarMaterias ...").
std::vector<std::string> StepLines(const std::string& report) {
  std::vector<std::string> steps;
  for (const std::string& line : Lines(report)) {
    if (line.find("/7 Exportar") != std::string::npos) steps.push_back(line);
  }
  return steps;
}

const std::vector<SectionLiteral> kSchool = {
    {"MATERIAS",
     {{"2064", "S1", "Lengua Castellana"},
      {"2064", "S2", "Lengua Extranjera"},
      {"2064", "S3"},
      {"2065", "S4", "Matemáticas"}}},
    {"ACTIVIDADES", {{"A", "GUARDIA", "Guardia"}}},
    {"EMPLEADOS", {{"E1", "", "", "García", "López", "Ana"}}},
    {"DEPENDENCIAS", {{"A1", "Aula 1"}}},
    {"CURSOS_DEL_CENTRO", {{"2064", "1 Bach"}, {"9", "Otro"}}},
    {"UNIDADES", {{"U1", "1BA", "2064"}, {"U2", "1BB", "2064"}}},
    {"TRAMOS_HORARIOS", {{"T1", "1", "480", "535"}, {"T2", "2", "420", "475"}}}};

class ExportarCommand : public ::testing::Test {
 protected:
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = files_.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::string Working() const { return working_.path().string(); }

  ScratchFolder files_;
  ScratchFolder working_;
};

TEST_F(ExportarCommand, ReportsEveryTableAndTheNotices) {
  const std::string document = WriteFile("centro.xml", ExchangeXml(kSchool));
  const Outcome outcome = Exportar({"--carpeta", Working(), document});
  ASSERT_EQ(outcome.exit_code, kExitOk) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  const std::vector<std::string> steps = StepLines(outcome.out);
  ASSERT_EQ(steps.size(), 9u) << outcome.out;
  EXPECT_NE(steps[0].find("1/7 ExportarMaterias"), std::string::npos);
  EXPECT_NE(steps[0].find("ASIGNOMT"), std::string::npos);
  EXPECT_NE(steps[0].find(" 3 filas"), std::string::npos);
  EXPECT_NE(steps[1].find("1 fila añadida (4 en total)"), std::string::npos);
  EXPECT_NE(steps[6].find("ASIGT"), std::string::npos);
  EXPECT_NE(steps[6].find(" 4 filas"), std::string::npos);
  EXPECT_NE(steps[8].find("DIASHORAST "), std::string::npos);
  EXPECT_NE(steps[8].find("14 filas"), std::string::npos);
  EXPECT_NE(outcome.out.find("  registro omitido: 1\n"), std::string::npos);
  EXPECT_NE(outcome.out.find("  código cambiado: 1\n"), std::string::npos);
  EXPECT_NE(outcome.out.find("  curso sin nivel: 1\n"), std::string::npos);
  EXPECT_NE(outcome.out.find("  materia sin unidades: 1\n"), std::string::npos);
  EXPECT_EQ(Lines(outcome.out).back(), "Proceso finalizado");
  EXPECT_EQ(ReadTable(working_.path(), "ASIGT").size(), 4u);

  // --detalle lists every notice as well.
  const Outcome detailed = Exportar({"--detalle", "--carpeta=" + Working(), document});
  ASSERT_EQ(detailed.exit_code, kExitOk);
  EXPECT_NE(detailed.out.find("MATERIAS, registro 3"), std::string::npos) << detailed.out;
  EXPECT_NE(detailed.out.find("'Len1'"), std::string::npos) << detailed.out;
}

TEST_F(ExportarCommand, RefusesWhatIsNotAnExchangeDocument) {
  const std::string good = WriteFile("centro.xml", ExchangeXml(kSchool));
  ASSERT_EQ(Exportar({"--carpeta", Working(), good}).exit_code, kExitOk);
  const auto before = Snapshot(working_.path());
  ASSERT_EQ(before.size(), 9u);  // eight tables and the index of DIASHORAST2

  struct Case {
    std::string file;
    std::string bytes;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"texto.xml", "esto no es XML\n", "no es un documento XML válido"},
      {"roto.xml", "<SERVICIO><BLOQUE_DATOS></SERVICIO>", "línea 1"},
      {"otro.xml", "<OTRO><BLOQUE_DATOS/></OTRO>",
       "El documento no es un documento de intercambio: su elemento raíz es OTRO, no SERVICIO"},
      {"vacio.xml", "", ""},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Exportar({"--carpeta", Working(), WriteFile(c.file, c.bytes)});
    EXPECT_EQ(outcome.exit_code, kExitError) << c.file;
    EXPECT_EQ(outcome.err.rfind("error: ", 0), 0u) << outcome.err;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out.find("Proceso finalizado"), std::string::npos);
    EXPECT_TRUE(Snapshot(working_.path()) == before) << c.file;
  }
}

TEST_F(ExportarCommand, AnErrorInsideTheRunStopsIt) {
  std::vector<SectionLiteral> sections = kSchool;
  sections[4].records = {{"2064", "1 Bach"}, {"ABC", "x"}};
  const Outcome outcome =
      Exportar({"--carpeta", Working(), WriteFile("abc.xml", ExchangeXml(sections))});
  EXPECT_EQ(outcome.exit_code, kExitError);
  EXPECT_EQ(outcome.err,
            "error: 'ABC' no es un valor entero válido (CURSOS_DEL_CENTRO, registro 2)\n");
  EXPECT_EQ(outcome.out.find("Proceso finalizado"), std::string::npos);
  EXPECT_EQ(StepLines(outcome.out).size(), 4u);  // up to AULAT
  EXPECT_EQ(ReadTable(working_.path(), "CURSOST").size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(working_.path() / "ASIGT.DBF"));
}

TEST_F(ExportarCommand, SimulationLeavesTheFolderUntouched) {
  const std::string document = WriteFile("centro.xml", ExchangeXml(kSchool));
  const Outcome simulated = Exportar({"--simular", "--carpeta", Working(), document});
  ASSERT_EQ(simulated.exit_code, kExitOk) << simulated.err;
  EXPECT_TRUE(std::filesystem::is_empty(working_.path()));

  const Outcome real = Exportar({"--carpeta", Working(), document});
  ASSERT_EQ(real.exit_code, kExitOk);
  EXPECT_EQ(StepLines(simulated.out), StepLines(real.out));
  EXPECT_EQ(Lines(simulated.out).back(), "Proceso finalizado");

  // Against a folder that holds last term's tables.
  const auto before = Snapshot(working_.path());
  std::vector<SectionLiteral> other = kSchool;
  other[2].records.push_back({"E2", "", "", "Gómez", "Lara", "Alberto"});
  const Outcome again =
      Exportar({"--simular", "--carpeta", Working(), WriteFile("otro.xml", ExchangeXml(other))});
  ASSERT_EQ(again.exit_code, kExitOk);
  EXPECT_NE(StepLines(again.out)[2].find(" 2 filas"), std::string::npos) << again.out;
  EXPECT_TRUE(Snapshot(working_.path()) == before);
}

TEST_F(ExportarCommand, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string text;
  };
  const std::string missing = (files_.path() / "no-esta.xml").string();
  const std::vector<Case> cases = {
      {{"--help"}, kExitOk, "Uso: transorvida exportar"},
      {{}, kExitUsage, "falta el documento"},
      {{"--rapido", "x.xml"}, kExitUsage, "opción desconocida: '--rapido'"},
      {{"a.xml", "b.xml"}, kExitUsage, "sobra 'b.xml'"},
      {{"x.xml", "--carpeta"}, kExitUsage, "falta la carpeta"},
      {{"--carpeta", Working(), missing}, kExitError, "No existe archivo: " + missing},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Exportar(c.args);
    EXPECT_EQ(outcome.exit_code, c.exit_code) << c.text;
    EXPECT_NE((outcome.out + outcome.err).find(c.text), std::string::npos)
        << outcome.out << outcome.err;
  }
}

}  // namespace
}  // namespace orvida::cli
