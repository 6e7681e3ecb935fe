#include "timetable/timetable_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/error.h"
#include "platform/xml/xml_document.h"
#include "tests/timetable/school_fixture.h"

namespace orvida::timetable {
namespace {

using testing::EightTables;
using testing::FixedClock;
using ::testing::HasSubstr;
using testing::Outline;
using testing::ReadBytes;
using testing::Row;
using testing::Snapshot;
using testing::SolucLine;
using testing::TempFolder;
using testing::WriteBytes;
using testing::WriteSoluc;
using testing::WriteTable;

constexpr char kExchange[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<SERVICIO modulo=\"EXPORTACION\">\n"
    "  <BLOQUE_DATOS>\n"
    "    <grupo_datos seq=\"ANNO_ACADEMICO\">\n"
    "      <grupo_datos><dato>1999</dato></grupo_datos>\n"
    "      <grupo_datos></grupo_datos>\n"
    "      <grupo_datos><dato>\n  2023 </dato><dato>ignored</dato></grupo_datos>\n"
    "    </grupo_datos>\n"
    "    <grupo_datos seq=\"MATERIAS\"><grupo_datos><dato>1</dato><dato>2</dato>"
    "<dato>Matemáticas</dato></grupo_datos></grupo_datos>\n"
    "  </BLOQUE_DATOS>\n"
    "</SERVICIO>\n";

// The school's solved timetable: placed and unplaced rows, an unknown teacher, a quote in a
// code, accents, a given activity, a period with no assignment and no time slot.
const std::vector<SolucLine> kSchoolSoluc = {{"GAR", 1, 1, "MAT", "1A", "", ""},
                                             {"P\xC9R", 2, 3, "LEN", "1A", "",
                                              "A\xD1"
                                              "1"},
                                             {"GAR", 0, 0, "MAT", "1A", "", ""},
                                             {"ZZZ", 1, 1, "MAT", "1A", "", ""},
                                             {"GAR", 1, 2, "MAT", "1B", "", ""},
                                             {"O'N", 3, 1, "TUT", "1A", "7", ""},
                                             {"GAR", 0, 3, "MAT", "1B", "", ""},
                                             {"P\xC9R", 5, 10, "LEN", "1B", "", ""},
                                             {"GAR", 2, 1, "XXX", "9Z", "", ""}};

// A small school whose SOLUC covers the cases of the run: a teacher with five rows, two of them
// unplaced; a teacher code with an accent and one with a quote; a teacher without rows; a row
// of a code that is no teacher; periods without an assignment, a slot or a class unit; and a
// duplicate key in every table read (the first row in table order wins).
class TimetableRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = folder_.path() / "KTEMP";
    docs_ = folder_.path() / "datos";
    std::filesystem::create_directories(work_);
    std::filesystem::create_directories(docs_);
    working_ = std::make_unique<formats::WorkingFolder>(work_, "C:\\KTEMP");
    WriteTable(*working_, "PROFT",
               {{{"ABREV", "GAR"}, {"X_EMPLEADO", "1001"}, {"F_TOMAPOS", "01/09/2020"}},
                {{"ABREV", "P\xC9R"}, {"X_EMPLEADO", "1002"}, {"F_TOMAPOS", ""}},
                {{"ABREV", "O'N"}, {"X_EMPLEADO", "1003"}, {"F_TOMAPOS", "15/10/2021"}},
                {{"ABREV", "SIN"}, {"X_EMPLEADO", "1004"}, {"F_TOMAPOS", "01/09/2019"}}});
    WriteTable(*working_, "ASIGT",
               {{{"CASIG", "MAT"}, {"CGRUP", "1A"}, {"CLAVE", "M1"}, {"CLAVECURSO", "C1"}},
                {{"CASIG", "MAT"}, {"CGRUP", "1A"}, {"CLAVE", "MDUP"}, {"CLAVECURSO", "CDUP"}},
                {{"CASIG", "MAT"}, {"CGRUP", "1B"}, {"CLAVE", "M2"}, {"CLAVECURSO", "C1"}},
                {{"CASIG", "LEN"}, {"CGRUP", "1A"}, {"CLAVE", "L1"}, {"CLAVECURSO", "C1"}},
                {{"CASIG", "TUT"}, {"CGRUP", "1A"}, {"CLAVE", "T1"}, {"CLAVECURSO", "C1"}}});
    WriteTable(*working_, "ASIGNOMT",
               {{{"COD", "MAT"}, {"CODTAREA", ""}},
                {{"COD", "LEN"}, {"CODTAREA", "5"}},
                {{"COD", "LEN"}, {"CODTAREA", "6"}}});
    WriteTable(
        *working_, "DIASHORAST",
        {Slot("11", "T1", "1", "1", "09:00", "09:55"), Slot("12", "T2", "1", "2", "10:00", "10:55"),
         Slot("11", "TDUP", "1", "1", "11:00", "11:55"),
         Slot("21", "T1", "2", "1", "09:00", "09:55"), Slot("23", "T3", "2", "3", "8:30", "9:25"),
         Slot("31", "T1", "3", "1", "09:00", "09:55")});
    WriteTable(*working_, "GRUPOST",
               {{{"ABREV", "1A"}, {"CLAVE", "U1A"}},
                {{"ABREV", "1B"}, {"CLAVE", "U1B"}},
                {{"ABREV", "1A"}, {"CLAVE", "UDUP"}}});
    WriteTable(*working_, "AULAT", {{{"ABREV", "A1"}}});
    WriteTable(*working_, "CURSOST", {{{"ABREV", "1"}, {"CLAVE", "C1"}}});
    WriteSoluc(*working_, kSchoolSoluc);
    input_ = docs_ / "horario.xml";
    WriteBytes(input_, kExchange);
  }

  static Row Slot(const std::string& diho, const std::string& coddiho, const std::string& dia,
                  const std::string& hora, const std::string& desde, const std::string& hasta) {
    return {{"DIHO", diho}, {"CODDIHO", coddiho}, {"DIA", dia},
            {"HORA", hora}, {"HORADESDE", desde}, {"HORAHASTA", hasta}};
  }

  TimetableResult Run(formats::NoticeSink& notices) {
    return ImportarHorarios(input_, "C:\\datos\\horario.xml", *working_,
                            FixedClock(2024, 3, 15, 10, 20, 30), notices);
  }

  std::filesystem::path Output() const { return docs_ / "ResultadoOrvidahorario.xml"; }

  // Every window table can be opened exclusive again: the run closed all of them.
  void ExpectAllTablesClosed() {
    for (const std::string& name : EightTables()) {
      if (!std::filesystem::exists(working_->DbfPath(name))) continue;
      EXPECT_NO_THROW(working_->OpenWindow(name).Close()) << name << " was left open";
    }
  }

  TempFolder folder_;
  std::filesystem::path work_;
  std::filesystem::path docs_;
  std::filesystem::path input_;
  std::unique_ptr<formats::WorkingFolder> working_;
};

constexpr char kExpectedOutline[] =
    "SERVICIO\n"
    "  BLOQUE_DATOS\n"
    "    grupo_datos seq=ANNO_ACADEMICO\n"
    "      dato nombre_dato=C_ANNO [2023]\n"
    "    grupo_datos seq=HORARIOS_REGULARES registros=4\n"
    "      grupo_datos seq=HORARIO_REGULAR_PROFESOR_1 registros=5\n"
    "        dato nombre_dato=X_EMPLEADO [1001]\n"
    "        dato nombre_dato=F_TOMAPOS [01/09/2020]\n"
    "        grupo_datos seq=ACTIVIDAD_1\n"
    "          dato nombre_dato=N_DIASEMANA [1]\n"
    "          dato nombre_dato=X_TRAMO [T1]\n"
    "          dato nombre_dato=X_DEPENDENCIA []\n"
    "          dato nombre_dato=X_UNIDAD [U1A]\n"
    "          dato nombre_dato=X_OFERTAMATRIG [C1]\n"
    "          dato nombre_dato=X_MATERIAOMG [M1]\n"
    "          dato nombre_dato=F_INICIO [01/09/2023]\n"
    "          dato nombre_dato=F_FIN [31/08/2024]\n"
    "          dato nombre_dato=N_HORINI [540]\n"
    "          dato nombre_dato=N_HORFIN [595]\n"
    "          dato nombre_dato=X_ACTIVIDAD [1]\n"
    "        grupo_datos seq=ACTIVIDAD_2\n"
    "          dato nombre_dato=N_DIASEMANA [1]\n"
    "          dato nombre_dato=X_TRAMO [T2]\n"
    "          dato nombre_dato=X_DEPENDENCIA []\n"
    "          dato nombre_dato=X_UNIDAD [U1B]\n"
    "          dato nombre_dato=X_OFERTAMATRIG [C1]\n"
    "          dato nombre_dato=X_MATERIAOMG [M2]\n"
    "          dato nombre_dato=F_INICIO [01/09/2023]\n"
    "          dato nombre_dato=F_FIN [31/08/2024]\n"
    "          dato nombre_dato=N_HORINI [600]\n"
    "          dato nombre_dato=N_HORFIN [655]\n"
    "          dato nombre_dato=X_ACTIVIDAD [1]\n"
    "        grupo_datos seq=ACTIVIDAD_3\n"
    "          dato nombre_dato=N_DIASEMANA [2]\n"
    "          dato nombre_dato=X_TRAMO [T1]\n"
    "          dato nombre_dato=X_DEPENDENCIA []\n"
    "          dato nombre_dato=X_UNIDAD []\n"
    "          dato nombre_dato=X_OFERTAMATRIG []\n"
    "          dato nombre_dato=X_MATERIAOMG []\n"
    "          dato nombre_dato=F_INICIO [01/09/2023]\n"
    "          dato nombre_dato=F_FIN [31/08/2024]\n"
    "          dato nombre_dato=N_HORINI [540]\n"
    "          dato nombre_dato=N_HORFIN [595]\n"
    "          dato nombre_dato=X_ACTIVIDAD [1]\n"
    "      grupo_datos seq=HORARIO_REGULAR_PROFESOR_2 registros=2\n"
    "        dato nombre_dato=X_EMPLEADO [1002]\n"
    "        dato nombre_dato=F_TOMAPOS []\n"
    "        grupo_datos seq=ACTIVIDAD_1\n"
    "          dato nombre_dato=N_DIASEMANA [2]\n"
    "          dato nombre_dato=X_TRAMO [T3]\n"
    "          dato nombre_dato=X_DEPENDENCIA [AÑ1]\n"
    "          dato nombre_dato=X_UNIDAD [U1A]\n"
    "          dato nombre_dato=X_OFERTAMATRIG [C1]\n"
    "          dato nombre_dato=X_MATERIAOMG [L1]\n"
    "          dato nombre_dato=F_INICIO [01/09/2023]\n"
    "          dato nombre_dato=F_FIN [31/08/2024]\n"
    "          dato nombre_dato=N_HORINI [510]\n"
    "          dato nombre_dato=N_HORFIN [565]\n"
    "          dato nombre_dato=X_ACTIVIDAD [5]\n"
    "        grupo_datos seq=ACTIVIDAD_2\n"
    "          dato nombre_dato=N_DIASEMANA []\n"
    "          dato nombre_dato=X_TRAMO []\n"
    "          dato nombre_dato=X_DEPENDENCIA []\n"
    "          dato nombre_dato=X_UNIDAD [U1B]\n"
    "          dato nombre_dato=X_OFERTAMATRIG []\n"
    "          dato nombre_dato=X_MATERIAOMG []\n"
    "          dato nombre_dato=F_INICIO [01/09/2023]\n"
    "          dato nombre_dato=F_FIN [31/08/2024]\n"
    "          dato nombre_dato=N_HORINI [0]\n"
    "          dato nombre_dato=N_HORFIN [0]\n"
    "          dato nombre_dato=X_ACTIVIDAD [5]\n"
    "      grupo_datos seq=HORARIO_REGULAR_PROFESOR_3 registros=1\n"
    "        dato nombre_dato=X_EMPLEADO [1003]\n"
    "        dato nombre_dato=F_TOMAPOS [15/10/2021]\n"
    "        grupo_datos seq=ACTIVIDAD_1\n"
    "          dato nombre_dato=N_DIASEMANA [3]\n"
    "          dato nombre_dato=X_TRAMO [T1]\n"
    "          dato nombre_dato=X_DEPENDENCIA []\n"
    "          dato nombre_dato=X_UNIDAD [U1A]\n"
    "          dato nombre_dato=X_OFERTAMATRIG [C1]\n"
    "          dato nombre_dato=X_MATERIAOMG [T1]\n"
    "          dato nombre_dato=F_INICIO [01/09/2023]\n"
    "          dato nombre_dato=F_FIN [31/08/2024]\n"
    "          dato nombre_dato=N_HORINI [540]\n"
    "          dato nombre_dato=N_HORFIN [595]\n"
    "          dato nombre_dato=X_ACTIVIDAD [7]\n"
    "      grupo_datos seq=HORARIO_REGULAR_PROFESOR_4 registros=0\n"
    "        dato nombre_dato=X_EMPLEADO [1004]\n"
    "        dato nombre_dato=F_TOMAPOS [01/09/2019]\n";

TEST_F(TimetableRunTest, WritesOneBlockPerTeacherAndPlacedPeriod) {
  const auto tables_before = Snapshot(work_);
  formats::NoticeList notices;
  const TimetableResult result = Run(notices);

  EXPECT_EQ(result.output, Output());
  EXPECT_EQ(result.shown_output, "C:\\datos\\ResultadoOrvidahorario.xml");
  EXPECT_EQ(result.teachers, 4);
  EXPECT_EQ(result.activities, 6);

  const xml::Document output = xml::Document::Load(Output(), "salida");
  EXPECT_EQ(Outline(output), kExpectedOutline);

  // Attributes in the order they are set, fecha from the clock, no registros on ANNO_ACADEMICO.
  const std::string text = ReadBytes(Output());
  EXPECT_THAT(text, HasSubstr("<SERVICIO modulo=\"HORARIOS\" tipo=\"I\" autor=\"HORARIOS\" "
                              "fecha=\"15/03/2024 10:20:30\">"));
  EXPECT_THAT(text, HasSubstr("<grupo_datos seq=\"HORARIOS_REGULARES\" registros=\"4\">"));
  EXPECT_THAT(text, HasSubstr("<grupo_datos seq=\"HORARIO_REGULAR_PROFESOR_1\" registros=\"5\">"));
  EXPECT_THAT(text, HasSubstr("<grupo_datos seq=\"ANNO_ACADEMICO\">"));
  EXPECT_THAT(text, HasSubstr("<dato nombre_dato=\"C_ANNO\">2023</dato>"));

  EXPECT_EQ(Snapshot(work_), tables_before) << "importar changed a working table";
  ExpectAllTablesClosed();
  // Only the output was added beside the input: no temporary file is left behind.
  EXPECT_EQ(Snapshot(docs_).size(), 2u);

  std::map<std::string, int> kinds;
  for (const auto& [kind, count] : notices.CountByKind()) kinds[kind] = count;
  EXPECT_EQ(kinds["periodo sin asignación"], 2);
  EXPECT_EQ(kinds["tramo no encontrado"], 1);
  EXPECT_EQ(kinds["unidad no encontrada"], 1);
  EXPECT_EQ(kinds["profesor sin periodos"], 1);
  EXPECT_EQ(kinds["profesor desconocido"], 1);
  for (const formats::Notice& notice : notices.notices()) {
    if (notice.kind == "profesor desconocido") {
      EXPECT_EQ(notice.key, "ZZZ");
      EXPECT_THAT(notice.message, HasSubstr("1 fila de SOLUC"));
    }
    if (notice.kind == "profesor sin periodos") {
      EXPECT_EQ(notice.key, "SIN");
    }
  }
}

// SOLUC as other programs write it: written here by Debian's python3-dbf with the same rows as
// the fixture's own SOLUC, the run must give the same document.
TEST_F(TimetableRunTest, ReadsSolucAsTheHostMayWriteIt) {
  if (std::system("/usr/bin/python3 -c 'import dbf' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "/usr/bin/python3 with the module dbf (Debian's python3-dbf) is needed";
  }
  const std::vector<SolucLine>& lines = kSchoolSoluc;
  std::string json = "[";
  for (const SolucLine& line : lines) {
    auto quoted = [](const std::string& ansi) { return "\"" + os::AnsiToUtf8(ansi) + "\""; };
    json += std::string(json.size() > 1 ? "," : "") + "[" + quoted(line.prof) + "," +
            std::to_string(line.dia) + "," + std::to_string(line.hora) + "," + quoted(line.asig) +
            "," + quoted(line.codgrupo) + "," + quoted(line.tarea) + "," + quoted(line.aula) + "]";
  }
  json += "]";
  WriteBytes(folder_ / "rows.json", json);
  WriteBytes(folder_ / "write_soluc.py", R"(import json, sys
import dbf
layout, path, rows = sys.argv[1], sys.argv[2], json.load(open(sys.argv[3], encoding='utf-8'))
if layout == 'caracter':
    # dBase III, DIA and HORA as characters, an unplaced row with an empty DIA.
    t = dbf.Table(path, 'PROF C(4); DIA C(2); HORA C(3); ASIG C(4); CODGRUPO C(4); '
                  'TAREA C(12); AULA C(4)', dbf_type='db3', codepage='cp1252')
    t.open(dbf.READ_WRITE)
    for p, d, h, a, g, ta, au in rows:
        t.append((p, '' if d == 0 else str(d), str(h), a, g, ta, au))
else:
    # Visual FoxPro, DIA and HORA as I fields, extra fields, another field order.
    t = dbf.Table(path, 'NOTA C(10); HORA I; AULA C(6); BLOQUE N(5,0); PROF C(10); DIA I; '
                  'TAREA C(12); CODGRUPO C(4); ASIG C(4)', dbf_type='vfp', codepage='cp1252')
    t.open(dbf.READ_WRITE)
    for p, d, h, a, g, ta, au in rows:
        t.append(('nota', h, au, 7, p, d, ta, g, a))
t.close()
)");
  for (const std::string layout : {"caracter", "vfp"}) {
    std::filesystem::remove(work_ / "SOLUC.DBF");
    const std::string command = "/usr/bin/python3 '" + (folder_ / "write_soluc.py").string() +
                                "' " + layout + " '" + (work_ / "SOLUC.DBF").string() + "' '" +
                                (folder_ / "rows.json").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    formats::NullNoticeSink notices;
    const TimetableResult result = Run(notices);
    EXPECT_EQ(result.activities, 6) << layout;
    EXPECT_EQ(Outline(xml::Document::Load(Output(), "salida")), kExpectedOutline) << layout;
    ExpectAllTablesClosed();
  }
}

TEST_F(TimetableRunTest, EmptyProftGivesNoTeacherBlocks) {
  WriteTable(*working_, "PROFT", {});
  formats::NoticeList notices;
  const TimetableResult result = Run(notices);
  EXPECT_EQ(result.teachers, 0);
  EXPECT_EQ(Outline(xml::Document::Load(Output(), "salida")),
            "SERVICIO\n"
            "  BLOQUE_DATOS\n"
            "    grupo_datos seq=ANNO_ACADEMICO\n"
            "      dato nombre_dato=C_ANNO [2023]\n"
            "    grupo_datos seq=HORARIOS_REGULARES registros=0\n");
}

TEST_F(TimetableRunTest, KeepsTheEncodingAndTheNodesOutsideTheRoot) {
  // ISO-8859-1 bytes: "Año" in a comment before the root and "Peñas" in one after it.
  WriteBytes(input_,
             "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
             "<!-- antes: A\xF1o -->\n"
             "<?aldrena version=\"3\"?>\n"
             "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\"><grupo_datos>"
             "<dato>2024</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>\n"
             "<!-- despu\xE9s: Pe\xF1"
             "as -->\n");
  formats::NullNoticeSink notices;
  Run(notices);
  const std::string text = ReadBytes(Output());
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u) << text;
  // Both comments and the processing instruction stay; the new root is the last child, so the
  // comment that followed the old root now stands before it.
  const auto before = text.find("<!-- antes: A\xF1o -->");
  const auto pi = text.find("<?aldrena version=\"3\"?>");
  const auto after = text.find(
      "<!-- despu\xE9s: Pe\xF1"
      "as -->");
  const auto root = text.find("<SERVICIO");
  ASSERT_NE(before, std::string::npos) << text;
  ASSERT_NE(pi, std::string::npos) << text;
  ASSERT_NE(after, std::string::npos) << text;
  ASSERT_NE(root, std::string::npos) << text;
  EXPECT_LT(before, pi);
  EXPECT_LT(pi, after);
  EXPECT_LT(after, root);
  // The room "AÑ1" is written in the document's encoding, as the byte 0xD1.
  EXPECT_THAT(text, HasSubstr("<dato nombre_dato=\"X_DEPENDENCIA\">A\xD1"
                              "1</dato>"));
  EXPECT_THAT(text, HasSubstr("<dato nombre_dato=\"C_ANNO\">2024</dato>"));
  EXPECT_THAT(text, HasSubstr("<dato nombre_dato=\"F_FIN\">31/08/2025</dato>"));
  EXPECT_NO_THROW(xml::Document::Load(Output(), "salida"));
}

TEST_F(TimetableRunTest, OutputNameIsResultadoOrvidaPlusTheInputName) {
  struct Case {
    std::string shown;
    std::string output;
  };
  const std::vector<Case> cases = {
      {"C:\\datos\\horario.xml", "C:\\datos\\ResultadoOrvidahorario.xml"},
      {"C:\\datos\\ResultadoOrvidahorario.xml",
       "C:\\datos\\ResultadoOrvidaResultadoOrvidahorario.xml"},
      {"/home/ana/horario.xml", "/home/ana/ResultadoOrvidahorario.xml"},
      {"horario.xml", "ResultadoOrvidahorario.xml"},
  };
  for (const Case& c : cases) EXPECT_EQ(ShownOutputPathFor(c.shown), c.output);
  EXPECT_EQ(OutputPathFor("/a/b/horario.xml"),
            std::filesystem::path("/a/b/ResultadoOrvidahorario.xml"));

  // The output taken as the next input.
  formats::NullNoticeSink notices;
  Run(notices);
  const TimetableResult second =
      ImportarHorarios(Output(), "C:\\datos\\ResultadoOrvidahorario.xml", *working_,
                       FixedClock(2024, 3, 15, 10, 20, 30), notices);
  EXPECT_EQ(second.output, docs_ / "ResultadoOrvidaResultadoOrvidahorario.xml");
  EXPECT_TRUE(std::filesystem::exists(second.output));
}

TEST_F(TimetableRunTest, AcademicYearFromTheInputOrFromToday) {
  struct Case {
    std::string anno_section;  // the section's records, or "" for no section
    int month, day;            // today, in 2024
    std::string c_anno, f_fin;
  };
  const std::vector<Case> cases = {
      {"<grupo_datos><dato>2030</dato></grupo_datos>", 3, 15, "2030", "31/08/2031"},
      {"", 8, 31, "2023", "31/08/2024"},  // no section: the year that started last September
      {"", 9, 1, "2024", "31/08/2025"},   // the academic year starts on 1 September
      {"<grupo_datos><dato>2030</dato></grupo_datos><grupo_datos><dato> </dato></grupo_datos>", 10,
       2, "2024", "31/08/2025"},  // the last record's field is empty
  };
  for (const Case& c : cases) {
    const std::string section = c.anno_section.empty() ? ""
                                                       : "<grupo_datos seq=\"ANNO_ACADEMICO\">" +
                                                             c.anno_section + "</grupo_datos>";
    WriteBytes(input_, "<SERVICIO><BLOQUE_DATOS>" + section + "</BLOQUE_DATOS></SERVICIO>");
    formats::NullNoticeSink notices;
    ImportarHorarios(input_, "horario.xml", *working_, FixedClock(2024, c.month, c.day, 12, 0, 0),
                     notices);
    const std::string text = ReadBytes(Output());
    EXPECT_THAT(text, HasSubstr("<dato nombre_dato=\"C_ANNO\">" + c.c_anno + "</dato>"))
        << c.anno_section;
    EXPECT_THAT(text, HasSubstr("<dato nombre_dato=\"F_INICIO\">01/09/" + c.c_anno + "</dato>"));
    EXPECT_THAT(text, HasSubstr("<dato nombre_dato=\"F_FIN\">" + c.f_fin + "</dato>"));
  }
}

// What a failed run must leave: an error naming the cause, no new file, an earlier output
// untouched, every table closed and byte-identical.
TEST_F(TimetableRunTest, FailuresWriteNothingAndCloseEveryTable) {
  struct Case {
    std::string name;
    std::function<void()> prepare;
    std::vector<std::string> message_parts;
    bool hold_diashorast = false;  // another handle holds DIASHORAST exclusive during the run
  };
  const std::vector<Case> cases = {
      {"missing table", [&] { std::filesystem::remove(work_ / "ASIGT.DBF"); }, {"ASIGT"}},
      {"table held by another program", [] {}, {"DIASHORAST"}, true},
      {"SOLUC without DIA",
       [&] {
         const auto dbf = work_ / "SOLUC.DBF";
         dbase::CreateTable(
             dbf, {{"PROF", dbase::FieldType::kText, 4}, {"HORA", dbase::FieldType::kInteger, 0}},
             {}, "C:\\KTEMP\\SOLUC.DBF");
         auto table = dbase::Table::Open(dbf, dbase::OpenMode::kShared, "C:\\KTEMP\\SOLUC.DBF");
         testing::AppendRows(table, {{{"PROF", "GAR"}, {"HORA", "1"}}});
       },
       {"SOLUC", "DIA"}},
      {"DIA that is not a number",
       [&] {
         const auto dbf = work_ / "SOLUC.DBF";
         dbase::CreateTable(dbf,
                            {{"PROF", dbase::FieldType::kText, 4},
                             {"DIA", dbase::FieldType::kText, 2},
                             {"HORA", dbase::FieldType::kText, 2}},
                            {}, "C:\\KTEMP\\SOLUC.DBF");
         auto table = dbase::Table::Open(dbf, dbase::OpenMode::kShared, "C:\\KTEMP\\SOLUC.DBF");
         testing::AppendRows(table, {{{"PROF", "GAR"}, {"DIA", "x"}, {"HORA", "1"}}});
       },
       {"'x' no es un valor entero válido", "SOLUC", "DIA"}},
      {"bad clock text",
       [&] { WriteTable(*working_, "DIASHORAST", {Slot("11", "T1", "1", "1", "7:5", "08:00")}); },
       {"':5' no es un valor entero válido", "HORADESDE"}},
      {"academic year that is not a number",
       [&] {
         WriteBytes(input_,
                    "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\"><grupo_datos>"
                    "<dato>dos mil</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>");
       },
       {"'dos mil' no es un valor entero válido"}},
      {"input that is not well-formed",
       [&] { WriteBytes(input_, "<SERVICIO><BLOQUE_DATOS></SERVICIO>"); },
       {"horario.xml"}},
      {"input whose root is not SERVICIO",
       [&] { WriteBytes(input_, "<OTRO><BLOQUE_DATOS/></OTRO>"); },
       {"SERVICIO"}},
      {"input without BLOQUE_DATOS", [&] { WriteBytes(input_, "<SERVICIO/>"); }, {"BLOQUE_DATOS"}},
  };
  for (const Case& c : cases) {
    SetUp();  // a fresh school for every case
    const std::string earlier = "<anterior/>\n";
    WriteBytes(Output(), earlier);
    c.prepare();
    std::optional<dbase::Table> holder;
    if (c.hold_diashorast) holder.emplace(working_->OpenWindow("DIASHORAST"));
    const auto tables_before = Snapshot(work_);
    const auto docs_before = Snapshot(docs_);
    formats::NullNoticeSink notices;
    try {
      Run(notices);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const Error& error) {
      for (const std::string& part : c.message_parts) {
        EXPECT_THAT(std::string(error.what()), HasSubstr(part)) << c.name;
      }
    }
    holder.reset();
    EXPECT_EQ(ReadBytes(Output()), earlier) << c.name;
    EXPECT_EQ(Snapshot(docs_), docs_before) << c.name << ": a file was added or changed";
    EXPECT_EQ(Snapshot(work_), tables_before) << c.name << ": a table changed";
    ExpectAllTablesClosed();
  }
}

TEST_F(TimetableRunTest, AnOutputThatCannotBeWrittenLeavesTheTablesClosed) {
  // A folder in the way of the output: the save fails after the tables are closed.
  std::filesystem::create_directory(Output());
  const auto tables_before = Snapshot(work_);
  formats::NullNoticeSink notices;
  try {
    Run(notices);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_THAT(std::string(error.what()), HasSubstr("ResultadoOrvidahorario.xml"));
  }
  EXPECT_TRUE(std::filesystem::is_directory(Output()));
  EXPECT_EQ(Snapshot(docs_).size(), 1u) << "a temporary file was left behind";
  EXPECT_EQ(Snapshot(work_), tables_before);
  ExpectAllTablesClosed();
}

}  // namespace
}  // namespace orvida::timetable
