// The conversion run step by step, on small documents written as literals: every table read
// back field by field.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/assignments.h"
#include "convert/conversion_run.h"
#include "convert/courses_groups.h"
#include "convert/rooms.h"
#include "convert/subjects.h"
#include "convert/teachers.h"
#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "tests/convert/convert_test_support.h"

namespace orvida::convert {
namespace {

using testing::Column;
using testing::CountKind;
using testing::MakeDocument;
using testing::ReadTable;
using testing::Row;
using testing::ScratchFolder;
using testing::SectionLiteral;
using testing::Snapshot;
using Strings = std::vector<std::string>;

const std::vector<std::string> kAllTables = {"ASIGNOMT", "PROFT", "AULAT",      "CURSOST",
                                             "GRUPOST",  "ASIGT", "DIASHORAST", "DIASHORAST2"};

class ConversionTest : public ::testing::Test {
 protected:
  void Run(const std::vector<SectionLiteral>& sections) {
    const formats::ExchangeDocument document = MakeDocument(sections);
    RunConversion(document, folder_.working(), notices_,
                  [this](const StepResult& result) { steps_.push_back(result); });
  }
  std::vector<Row> Table(const std::string& name) { return ReadTable(folder_.path(), name); }
  Strings Col(const std::string& table, const std::string& field) {
    return Column(folder_.path(), table, field);
  }
  std::string NoticeText(const std::string& kind) {
    std::string text;
    for (const formats::Notice& n : notices_.notices()) {
      if (n.kind == kind) text += formats::FormatNotice(n) + "\n";
    }
    return text;
  }

  ScratchFolder folder_;
  formats::NoticeList notices_;
  std::vector<StepResult> steps_;
};

TEST_F(ConversionTest, SubjectsThenActivitiesInAsignomt) {
  Run({{"MATERIAS",
        {{"1", "M1", "Lengua Castellana"},
         {"1", "M2", "  Lengua Extranjera\t"},
         {"1", "M3", "Lenguaje Musical"},
         {"1", "M4", "Matemáticas I"},
         {"1", "M5", "Matemáticas II"},
         {"2", "M1", "Lengua Castellana"},
         {"1"},
         {"1", "M6", "Fís"},
         {"1", "M7", "Historia del mundo contemporáneo y sus regiones"},
         {"1", "M8", "MATEMÁTICAS aplicadas"}}},
       {"ACTIVIDADES",
        {{"A", "GUARDIA1", "Guardia de recreo"},
         {"A"},
         {"A", "GUARDIA1", "Guardia de biblioteca"},
         {"A", "Leng", "Refuerzo de lengua"}}}});

  EXPECT_EQ(Col("ASIGNOMT", "COD"),
            (Strings{"Leng", "Len1", "Len2", "Mate", "Fís", "Hist", "GUAR", "GUAR", "Leng"}));
  EXPECT_EQ(Col("ASIGNOMT", "CODLARGO"),
            (Strings{"Lengua C", "Lengua E", "Lenguaje", "Matemáti", "Fís", "Historia", "Guardia",
                     "Guardia", "Refuerzo"}));
  EXPECT_EQ(Col("ASIGNOMT", "NOMBRE"),
            (Strings{"Lengua Castellana", "Lengua Extranjera", "Lenguaje Musical", "Matemáticas I",
                     "Fís", "Historia del mundo contemporáneo y sus r", "Guardia de recreo",
                     "Guardia de biblioteca", "Refuerzo de lengua"}));
  EXPECT_EQ(Col("ASIGNOMT", "CODTAREA"),
            (Strings{"", "", "", "", "", "", "GUARDIA1", "GUARDIA1", "Leng"}));
  EXPECT_EQ(Col("ASIGNOMT", "ESTAREA"), (Strings{"F", "F", "F", "F", "F", "F", "T", "T", "T"}));
  EXPECT_EQ(Col("ASIGNOMT", "MATERIA"), Strings(9, ""));

  // Merged subjects name the one that kept the long code; the repeated 'Lengua Castellana' is
  // the same subject and is not reported.
  EXPECT_EQ(CountKind(notices_, "materia descartada"), 2);
  EXPECT_NE(NoticeText("materia descartada").find("'Matemáticas II'"), std::string::npos);
  EXPECT_NE(NoticeText("materia descartada").find("'Matemáticas I',"), std::string::npos);
  EXPECT_EQ(CountKind(notices_, "código cambiado"), 2);
  EXPECT_NE(NoticeText("código cambiado").find("'Len2'"), std::string::npos);
  EXPECT_EQ(CountKind(notices_, "registro omitido"), 2);  // once per section, not per step

  ASSERT_GE(steps_.size(), 2u);
  EXPECT_EQ(steps_[0].table, "ASIGNOMT");
  EXPECT_EQ(steps_[0].written, 6);
  EXPECT_EQ(steps_[1].step, "ExportarActividades");
  EXPECT_EQ(steps_[1].written, 3);
  EXPECT_EQ(steps_[1].rows, 9);
}

TEST_F(ConversionTest, TeachersFromTheirNameParts) {
  Run({{"EMPLEADOS",
        {{"E1", "01/09/2020", "x", "García", "López", "Ana"},
         {"E2", "", "", "Gómez", "Lara", "Alberto"},
         {"E3", "", "", "Gil", "Luna", "Andrés"},
         {"E4", "", "", "de la Fuente", "Ruiz", "Pedro"},
         {"E5", "", "", "García", "", "Ana"},
         {"E8", "1"},
         {"E6", "", "", "", "", ""},
         {"E7", "", "", "", "", ""},
         {" E1 ", "02/09/2021", "", "Pérez", "Martínez y Fernández de Córdoba", "Juan José"}}}});

  EXPECT_EQ(Col("PROFT", "ABREV"), (Strings{"GLA", "GLA1", "GLA2", "dRP", "GA", "", "1", "PMJ"}));
  EXPECT_EQ(Col("PROFT", "NOMBRE"),
            (Strings{"García López, Ana", "Gómez Lara, Alberto", "Gil Luna, Andrés",
                     "de la Fuente Ruiz, Pedro", "García , Ana", " ,", " ,",
                     "Pérez Martínez y Fernández de Córdoba, J"}));
  EXPECT_EQ(Col("PROFT", "X_EMPLEADO"), (Strings{"E1", "E2", "E3", "E4", "E5", "E6", "E7", "E1"}));
  EXPECT_EQ(Col("PROFT", "F_TOMAPOS"),
            (Strings{"01/09/2020", "", "", "", "", "", "", "02/09/2021"}));
  EXPECT_EQ(Col("PROFT", "DEPART"), Strings(8, ""));
  EXPECT_EQ(CountKind(notices_, "registro omitido"), 1);
  EXPECT_EQ(CountKind(notices_, "código cambiado"), 3);
}

TEST(Rooms, ShortCodesFromCodeOrName) {
  struct Case {
    std::string what;
    std::vector<std::vector<std::string>> records;
    Strings abrev;
    int changed;
  };
  const std::vector<Case> cases = {
      {"own code", {{"A12", "Aula de música"}}, {"A12"}, 0},
      {"named rooms",
       {{"", "Gimnasio"}, {"", "Gimnasio 2"}, {"", "Gimnasio 3"}},
       {"Gimn", "Gi1", "Gi2"},
       2},
      {"laboratories", {{"", "Laboratorio"}, {"", "Laboratorio 2"}}, {"Labo", "La1"}, 1},
      {"the same code three times",
       {{"A1", "a"}, {"A1", "b"}, {"A1", "c"}, {"A11", "d"}},
       {"A1", "A11", "A12", "A13"},
       3},
      {"letter case", {{"AULA", "x"}, {"aula", "y"}}, {"AULA", "au1"}, 1},
      {"nothing to go by", {{"", ""}, {"", ""}, {"", ""}}, {"", "1", "2"}, 2},
      {"codes too long for the table", {{"AULA101", "x"}, {"AULA102", "y"}}, {"AULA", "AU1"}, 2},
      {"a record with one field", {{"Z1"}, {"Z2", "Zona"}}, {"Z2"}, 0},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    formats::NoticeList notices;
    const formats::ExchangeDocument document = MakeDocument({{"DEPENDENCIAS", c.records}});
    RunConversion(document, folder.working(), notices);
    EXPECT_EQ(Column(folder.path(), "AULAT", "ABREV"), c.abrev) << c.what;
    EXPECT_EQ(CountKind(notices, "código cambiado"), c.changed) << c.what;
  }
}

TEST_F(ConversionTest, RoomRowsKeepTheNameAndNothingElse) {
  const std::string long_name = "Aula de informática del edificio principal, planta 2";
  Run({{"DEPENDENCIAS", {{" A12 ", long_name}, {"B1", "Biblioteca", "ignored", "3"}}}});
  const std::vector<Row> rows = Table("AULAT");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].at("ABREV"), "A12");
  EXPECT_EQ(rows[0].at("NOMBRE"), "Aula de informática del edificio princip");
  EXPECT_EQ(rows[1].at("NOMBRE"), "Biblioteca");
  EXPECT_EQ(rows[1].at("EDIFICIO"), "");
  EXPECT_EQ(rows[1].at("DEPCENTRO"), "");
}

TEST_F(ConversionTest, CoursesGetLevelsAndUnitsFindTheirCourse) {
  Run({{"CURSOS_DEL_CENTRO",
        {{"2063", "1 ESO"},
         {"02064", "Bachillerato 1"},
         {"111440", "Nivel I"},
         {"100318", "3º Primaria"},
         {"5887", "CF"},
         {"5886", "CF"},
         {"113001", "x"},
         {"113006", ""},
         {"7"},
         {"  2065 ", "Bach 2"},
         {"2065", "Duplicado"},
         {"000000002066", "Largo"}}},
       {"UNIDADES",
        {{"U1", "1A", "2063"},
         {"U2", "1A", "2063"},
         {"U3", "1A", "2063"},
         {"U5", "1ESO A", "2064"},
         {"U6", "1ESO B", "02064"},
         {"U7", "", "2065"},
         {"U8", "", "2065"},
         {"U9", "Grupo largo", "000000002066"},
         {"U10", "2b", "111440"},
         {"U11", "2B", "111440"},
         {"U12", "1B  x", "5887"},
         {"U13", "3C"}}}});

  EXPECT_EQ(Col("CURSOST", "NIVEL"), (Strings{"NIV", "BAC", "ESPA", "PRI", "CFGM", "FPGM", "FPGS",
                                              "NIV", "BAC", "BAC", "BAC"}));
  EXPECT_EQ(Col("CURSOST", "CURSO"),
            (Strings{"1", "B", "PA1", "3", "C", "C", "x", "", "B", "D", "L"}));
  EXPECT_EQ(Col("CURSOST", "CLAVE"), (Strings{"2063", "02064", "111440", "100318", "5887", "5886",
                                              "113001", "113006", "2065", "2065", "0000000020"}));
  EXPECT_EQ(Col("CURSOST", "ABREV"), Strings(11, ""));
  EXPECT_EQ(Col("CURSOST", "TURNO"), Strings(11, ""));
  EXPECT_EQ(CountKind(notices_, "curso sin nivel"), 2);

  EXPECT_EQ(Col("GRUPOST", "ABREV"),
            (Strings{"1A", "1A1", "1A2", "1ESO", "1ES1", "", "1", "Grup", "2b", "2B1", "1B"}));
  EXPECT_EQ(Col("GRUPOST", "GRUPO"),
            (Strings{"A", "A", "A", "A", "B", "", "", "o", "b", "B", "x"}));
  EXPECT_EQ(Col("GRUPOST", "NIVEL"),
            (Strings{"NIV", "NIV", "NIV", "", "BAC", "BAC", "BAC", "", "ESPA", "ESPA", "CFGM"}));
  EXPECT_EQ(Col("GRUPOST", "CURSO"),
            (Strings{"1", "1", "1", "", "B", "B", "B", "", "PA1", "PA1", "C"}));
  EXPECT_EQ(Col("GRUPOST", "CLAVE"),
            (Strings{"U1", "U2", "U3", "U5", "U6", "U7", "U8", "U9", "U10", "U11", "U12"}));
  EXPECT_EQ(Col("GRUPOST", "CLAVECURSO"),
            (Strings{"2063", "2063", "2063", "2064", "02064", "2065", "2065", "0000000020",
                     "111440", "111440", "5887"}));
  EXPECT_EQ(Col("GRUPOST", "TURNO"), Strings(11, ""));
  EXPECT_EQ(CountKind(notices_, "unidad sin curso"), 2);
  EXPECT_EQ(CountKind(notices_, "registro omitido"), 2);
}

TEST_F(ConversionTest, AssignmentsJoinSubjectsWithTheUnitsOfTheirCourse) {
  const std::string blank_at_40 = "Ciencias para el mundo contemporáneo en la actualidad";
  Run({{"MATERIAS",
        {{"2064", "S1", "Lengua Castellana"},
         {"2064", "S2", "Matemáticas I"},
         {"2064", "S3", "Física"},
         {"2064", "S4", "Química"},
         {"2064", "S5", "Dibujo"},
         {"2065", "S6", "Lengua Castellana"},
         {"2065", "S7", "Matemáticas II"},
         {"2065", "S8", "Lengua Castellana y Literatura"},
         {"2066", "S9", "Física"},
         {"9999", "S10", "Química"},
         {"2065", "S11", "Historia del mundo contemporáneo y sus regiones"},
         {"2065", "S12", "Historia del mundo contemporáneo y sus rutas"},
         {"2065", "S13", blank_at_40},
         {"20650", "S14", "Física"}}},
       {"ACTIVIDADES", {{"A", "MAT2X", "Matemáticas II"}}},
       {"CURSOS_DEL_CENTRO", {{"2064", "1 Bach"}, {"2065", "2 Bach"}, {"2066", "x"}}},
       {"UNIDADES",
        {{"U1", "1BA", "2064"},
         {"U4", "2BA", "2065"},
         {"U2", "1BB", "2064"},
         {"U5", "9ZZ", "9999"},
         {"U3", "1BC", "2064"}}}});

  const std::vector<Row> rows = Table("ASIGT");
  ASSERT_EQ(rows.size(), 15u + 1 + 1 + 1 + 2);
  const Strings casig = Col("ASIGT", "CASIG");
  const Strings cgrup = Col("ASIGT", "CGRUP");
  EXPECT_EQ(Strings(casig.begin(), casig.begin() + 15),
            (Strings{"Leng", "Leng", "Leng", "Mate", "Mate", "Mate", "Físi", "Físi", "Físi", "Quím",
                     "Quím", "Quím", "Dibu", "Dibu", "Dibu"}));
  EXPECT_EQ(Strings(cgrup.begin(), cgrup.begin() + 6),
            (Strings{"1BA", "1BB", "1BC", "1BA", "1BB", "1BC"}));
  // The later records: the same name in another course, a name only an activity carries, a
  // unit of an unknown course, and two long names alike in their first 40 characters.
  EXPECT_EQ(Strings(casig.begin() + 15, casig.end()),
            (Strings{"Leng", "MAT2", "Quím", "Hist", "Hist"}));
  EXPECT_EQ(Strings(cgrup.begin() + 15, cgrup.end()), (Strings{"2BA", "2BA", "9ZZ", "2BA", "2BA"}));
  EXPECT_EQ(Col("ASIGT", "CLAVE")[15], "S6");
  EXPECT_EQ(Col("ASIGT", "CLAVECURSO")[15], "2065");
  EXPECT_EQ(rows[17].at("NIVEL"), "");
  EXPECT_EQ(rows[17].at("CURSO"), "");
  EXPECT_EQ(rows[17].at("CLAVECURSO"), "9999");

  for (const Row& row : rows) {
    EXPECT_EQ(row.at("HORAS"), "4");
    EXPECT_EQ(row.at("SESIONES"), "1111");
    EXPECT_EQ(row.at("CTAREA"), "1");
    EXPECT_EQ(row.at("CPROF"), "");
    EXPECT_EQ(row.at("CAULA"), "");
    EXPECT_EQ(row.at("TURNO"), "");
  }
  EXPECT_EQ(rows[4].at("NIVEL"), "BAC");
  EXPECT_EQ(rows[4].at("CURSO"), "1");
  EXPECT_EQ(rows[4].at("GRUPO"), "B");
  EXPECT_EQ(rows[4].at("CLAVE"), "S2");

  // S8 (merged into 'Lengua Castellana') and S13 (its 40th character is a blank) find no code;
  // S9's course and S14's have no class units.
  EXPECT_EQ(CountKind(notices_, "materia sin código"), 2);
  EXPECT_EQ(CountKind(notices_, "materia sin unidades"), 2);
}

TEST_F(ConversionTest, TimeSlotsGridInStartOrder) {
  Run({{"TRAMOS_HORARIOS",
        {{"T1", "Primera hora", "480", "535"},
         {"X"},
         {"T2", "0", "420", "475"},
         {"T3", "2a", "480", "500"}}}});

  const std::vector<Row> scratch = Table("DIASHORAST2");
  ASSERT_EQ(scratch.size(), 21u);
  for (int slot = 0; slot < 3; ++slot) {
    for (int day = 1; day <= 7; ++day) {
      const Row& row = scratch[slot * 7 + day - 1];
      EXPECT_EQ(row.at("DIHO"), std::to_string(day) + std::to_string(slot + 1));
      EXPECT_EQ(row.at("DIA"), std::to_string(day));
      EXPECT_EQ(row.at("HORA"), std::to_string(slot + 1));
      EXPECT_EQ(row.at("ORDEN"), slot == 1 ? "420" : "480");
      EXPECT_EQ(row.at("TEXTODIA"), "");
    }
  }
  EXPECT_EQ(scratch[0].at("TEXTOHOR"), "Primera");  // "Primera " cut to 8, read back
  EXPECT_EQ(scratch[0].at("CODDIHO"), "T1");

  const std::vector<Row> grid = Table("DIASHORAST");
  ASSERT_EQ(grid.size(), 21u);
  struct Expected {
    std::string code, period, from, to, minutes;
  };
  const Expected expected[3] = {{"T2", "1", "07:00", "07:55", "55"},
                                {"T1", "2", "08:00", "08:55", "55"},
                                {"T3", "2", "08:00", "08:20", "20"}};
  for (int block = 0; block < 3; ++block) {
    for (int day = 1; day <= 7; ++day) {
      const Row& row = grid[block * 7 + day - 1];
      const Expected& e = expected[block];
      EXPECT_EQ(row.at("DIHO"), std::to_string(day) + e.period) << block << "/" << day;
      EXPECT_EQ(row.at("DIA"), std::to_string(day));
      EXPECT_EQ(row.at("HORA"), e.period);
      EXPECT_EQ(row.at("CODDIHO"), e.code);
      EXPECT_EQ(row.at("HORADESDE"), e.from);
      EXPECT_EQ(row.at("HORAHASTA"), e.to);
      EXPECT_EQ(row.at("MINUTOS"), e.minutes);
      EXPECT_EQ(row.at("TEXTODIA"), "");
    }
  }
  EXPECT_EQ(grid[0].at("TEXTOHOR"), "0");
  EXPECT_EQ(grid[14].at("TEXTOHOR"), "2a");
  EXPECT_EQ(grid[0].count("ORDEN"), 0u);
}

TEST_F(ConversionTest, TimeSlotsWithManyPeriodsAndOddMinutes) {
  std::vector<std::vector<std::string>> slots;
  for (int i = 9; i >= 0; --i) {
    slots.push_back({"S" + std::to_string(i), "", std::to_string(480 + 60 * i),
                     std::to_string(480 + 60 * i + 50)});
  }
  slots.push_back({"LATE", "", "1500", "1530"});
  slots.push_back({"NEG", "", "-30", "-60"});
  Run({{"TRAMOS_HORARIOS", slots}});

  const std::vector<Row> grid = Table("DIASHORAST");
  ASSERT_EQ(grid.size(), 12u * 7);
  // -30 is period 1, 480 period 2 ... 1020 (S9) period 11, 1500 period 12.
  EXPECT_EQ(grid[0].at("CODDIHO"), "NEG");
  EXPECT_EQ(grid[0].at("HORADESDE"), "-1:-30");
  EXPECT_EQ(grid[0].at("HORAHASTA"), "-1:00");
  EXPECT_EQ(grid[0].at("MINUTOS"), "-30");
  const Row& day3_period10 = grid[9 * 7 + 2];
  EXPECT_EQ(day3_period10.at("CODDIHO"), "S8");
  EXPECT_EQ(day3_period10.at("DIHO"), "310");
  EXPECT_EQ(day3_period10.at("HORA"), "10");
  EXPECT_EQ(grid[11 * 7].at("HORADESDE"), "25:00");
  EXPECT_EQ(grid[11 * 7].at("HORA"), "12");
}

TEST_F(ConversionTest, BadSlotMinuteStopsTheRun) {
  try {
    Run({{"TRAMOS_HORARIOS", {{"T1", "", "480", "535"}, {"T2", "", "8:00", "x"}}}});
    FAIL() << "no error";
  } catch (const ConversionError& error) {
    EXPECT_STREQ(error.what(), "'8:00' no es un valor entero válido (TRAMOS_HORARIOS, registro 2)");
  }
  EXPECT_EQ(Table("DIASHORAST2").size(), 7u);
  EXPECT_EQ(Table("DIASHORAST").size(), 0u);
  EXPECT_EQ(Table("ASIGT").size(), 0u);
}

TEST_F(ConversionTest, CourseKeyThatIsNotANumberStopsTheRun) {
  const std::vector<SectionLiteral> good = {
      {"MATERIAS", {{"2064", "S1", "Lengua"}}},
      {"EMPLEADOS", {{"E1", "", "", "A", "B", "C"}}},
      {"CURSOS_DEL_CENTRO", {{"2064", "1 Bach"}, {"2065", "2 Bach"}}},
      {"UNIDADES", {{"U1", "1A", "2064"}}},
      {"TRAMOS_HORARIOS", {{"T1", "", "480", "535"}}}};
  Run(good);
  const auto before = Snapshot(folder_.path());

  std::vector<SectionLiteral> bad = good;
  bad[2].records = {{"2064", "1 Bach"}, {"ABC", "x"}, {"2065", "2 Bach"}};
  steps_.clear();
  try {
    Run(bad);
    FAIL() << "no error";
  } catch (const ConversionError& error) {
    EXPECT_STREQ(error.what(),
                 "'ABC' no es un valor entero válido (CURSOS_DEL_CENTRO, registro 2)");
  }
  // CURSOST keeps the row before the bad key, GRUPOST is created empty, and the later steps
  // leave their tables as they were.
  EXPECT_EQ(Col("CURSOST", "CLAVE"), Strings{"2064"});
  EXPECT_EQ(Table("GRUPOST").size(), 0u);
  const auto after = Snapshot(folder_.path());
  for (const char* name : {"ASIGT.DBF", "DIASHORAST.DBF", "DIASHORAST2.DBF", "DIASHORAST2.MDX"}) {
    EXPECT_EQ(after.at(name), before.at(name)) << name;
  }
  ASSERT_EQ(steps_.size(), 4u);
  EXPECT_EQ(steps_.back().table, "AULAT");

  // Nothing stays open: the next run rebuilds every table.
  Run(good);
  EXPECT_EQ(Table("CURSOST").size(), 2u);
  EXPECT_EQ(Table("ASIGT").size(), 1u);
}

TEST_F(ConversionTest, EmptyDocumentGivesEmptyTables) {
  Run({});
  for (const std::string& table : kAllTables) EXPECT_EQ(Table(table).size(), 0u) << table;
  ASSERT_EQ(steps_.size(), 9u);
  const Strings order = {"ASIGNOMT", "ASIGNOMT", "PROFT",       "AULAT",     "CURSOST",
                         "GRUPOST",  "ASIGT",    "DIASHORAST2", "DIASHORAST"};
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(steps_[i].table, order[i]);
  EXPECT_TRUE(notices_.notices().empty());
}

TEST_F(ConversionTest, TwoRunsGiveTheSameTables) {
  const std::vector<SectionLiteral> document = {
      {"MATERIAS", {{"1", "S1", "Lengua"}, {"1", "S2", "Lengua B"}, {"1", "S3", "Lengüeta"}}},
      {"EMPLEADOS", {{"E1", "", "", "A", "B", "C"}, {"E2", "", "", "A", "B", "C"}}},
      {"DEPENDENCIAS", {{"A1", "x"}, {"A1", "y"}}},
      {"CURSOS_DEL_CENTRO", {{"1", "1"}}},
      {"UNIDADES", {{"U1", "1A", "1"}, {"U2", "1A", "1"}}},
      {"TRAMOS_HORARIOS", {{"T1", "", "480", "535"}}}};
  Run(document);
  std::vector<std::vector<Row>> first;
  for (const std::string& table : kAllTables) first.push_back(Table(table));
  Run(document);
  for (std::size_t i = 0; i < kAllTables.size(); ++i) {
    EXPECT_EQ(Table(kAllTables[i]), first[i]) << kAllTables[i];
  }
  EXPECT_EQ(Col("ASIGNOMT", "COD"), (Strings{"Leng", "Len1", "Len2"}));
}

TEST_F(ConversionTest, AssignmentsNeedExclusiveAccessToTheirTables) {
  const formats::ExchangeDocument document =
      MakeDocument({{"MATERIAS", {{"1", "S1", "Lengua"}}}, {"UNIDADES", {{"U1", "1A", "1"}}}});
  const formats::WorkingFolder folder = folder_.working();
  const StepContext context{document, folder, notices_, {}};
  SubjectRegistries registries;
  ExportarMaterias(context, registries);
  ExportarActividades(context);
  ExportarCursosGrupos(context);

  {
    // Another program reading GRUPOST.
    dbase::Table holder =
        dbase::Table::Open(folder.DbfPath("GRUPOST"), dbase::OpenMode::kShared, "GRUPOST");
    EXPECT_THROW(ExportarAsignaciones(context), InUseError);
  }
  ExportarAsignaciones(context);
  EXPECT_EQ(Col("ASIGT", "CGRUP"), Strings{"1A"});
}

}  // namespace
}  // namespace orvida::convert
