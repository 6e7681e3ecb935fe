// The working tables: the catalogue, the working folder and the creation protocol.
#include "formats/working_tables.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>

#include "platform/os/error.h"
#include "tests/support/temp_folder.h"

namespace orvida::formats {
namespace {

using orvida::testing::TempFolder;

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Touch(const std::filesystem::path& path, const std::string& bytes = "x") {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// "COD C4, ESTAREA L, DNI I, HORAS F"
std::string Describe(const std::vector<dbase::FieldDef>& fields) {
  std::string text;
  for (const dbase::FieldDef& f : fields) {
    if (!text.empty()) text += ", ";
    text += f.name + " ";
    switch (f.type) {
      case dbase::FieldType::kText:
        text += "C" + std::to_string(f.size);
        break;
      case dbase::FieldType::kInteger:
        text += "I";
        break;
      case dbase::FieldType::kFloat:
        text += "F";
        break;
      case dbase::FieldType::kLogical:
        text += "L";
        break;
    }
  }
  return text;
}

TEST(WorkingTablesTest, CatalogueListsEveryTableWithItsFields) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"ASIGNOMT", "COD C4, CODLARGO C8, NOMBRE C40, MATERIA C8, CODTAREA C12, ESTAREA L"},
      {"PROFT", "ABREV C4, NOMBRE C40, DEPART C40, DNI I, X_EMPLEADO C10, F_TOMAPOS C10"},
      {"AULAT", "ABREV C4, NOMBRE C40, EDIFICIO C1, MAXALUM I, DEPCENTRO C10"},
      {"CURSOST", "ABREV C3, TURNO C1, NIVEL C5, CURSO C3, CLAVE C10"},
      {"GRUPOST", "ABREV C4, TURNO C1, NIVEL C5, CURSO C3, GRUPO C2, CLAVE C10, CLAVECURSO C10"},
      {"ASIGT",
       "CASIG C4, CPROF C4, CGRUP C4, CAULA C4, TURNO C1, NIVEL C5, CURSO C3, GRUPO C2, HORAS F, "
       "SESIONES C20, CLAVE C10, CLAVECURSO C10, CTAREA C4"},
      {"DIASHORAST",
       "DIHO C10, CODDIHO C10, DIA C20, TEXTODIA C20, HORA C8, TEXTOHOR C8, HORADESDE C8, "
       "HORAHASTA C8, MINUTOS C8"},
      {"DIASHORAST2",
       "DIHO C10, CODDIHO C10, DIA C20, TEXTODIA C20, HORA C8, TEXTOHOR C8, HORADESDE C8, "
       "HORAHASTA C8, MINUTOS C8, ORDEN I"},
  };
  const auto& catalogue = TableCatalogue();
  ASSERT_EQ(catalogue.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(catalogue[i].name, expected[i].first);
    EXPECT_EQ(Describe(catalogue[i].fields), expected[i].second) << expected[i].first;
    EXPECT_EQ(&SpecOf(expected[i].first), &catalogue[i]);
    if (expected[i].first == "DIASHORAST2") {
      ASSERT_EQ(catalogue[i].indexes.size(), 1u);
      EXPECT_EQ(catalogue[i].indexes[0].name, "ORDEN");
      EXPECT_EQ(catalogue[i].indexes[0].field, "ORDEN");
    } else {
      EXPECT_TRUE(catalogue[i].indexes.empty()) << expected[i].first;
    }
  }
  EXPECT_THROW(SpecOf("SOLUC"), Error);

  std::vector<std::string> windows;
  for (const WindowTableInfo& w : WindowTables()) {
    windows.push_back(std::string(w.member) + "=" + std::string(w.table));
  }
  EXPECT_EQ(windows, (std::vector<std::string>{"wwTableNomAsg=ASIGNOMT", "wwTableProfesor=PROFT",
                                               "wwTableTramos=DIASHORAST", "wwTableAulas=AULAT",
                                               "wwTableGrupos=GRUPOST", "wwTableAsig=ASIGT",
                                               "wwTableSoluc=SOLUC", "wwTableCursos=CURSOST"}));
}

TEST(WorkingTablesTest, EveryCatalogueTableRoundTrips) {
  TempFolder temp;
  const WorkingFolder folder(temp.path());
  for (const TableSpec& spec : TableCatalogue()) {
    SCOPED_TRACE(spec.name);
    folder.CreateTable(spec);
    std::vector<std::string> expected;
    {
      dbase::Table table = folder.OpenRunTime(spec.name);
      table.Append();
      int n = 0;
      for (const dbase::FieldDef& f : spec.fields) {
        ++n;
        switch (f.type) {
          case dbase::FieldType::kText: {
            // Accented text one character longer than the field: the first `size` stay.
            const std::string value = std::string(static_cast<std::size_t>(f.size), '\xE1') + "X";
            table.SetText(f.name, value);
            expected.push_back(value.substr(0, static_cast<std::size_t>(f.size)));
            break;
          }
          case dbase::FieldType::kInteger:
            table.SetInteger(f.name, -1000 * n);
            expected.push_back(std::to_string(-1000 * n));
            break;
          case dbase::FieldType::kFloat:
            table.SetFloat(f.name, 2.25);
            expected.push_back("2.25");
            break;
          case dbase::FieldType::kLogical:
            table.SetLogical(f.name, true);
            expected.push_back("T");
            break;
        }
      }
      table.Post();
    }
    dbase::Table table = folder.OpenWindow(spec.name);
    ASSERT_EQ(table.RecordCount(), 1);
    ASSERT_EQ(table.Fields().size(), spec.fields.size());
    for (std::size_t i = 0; i < spec.fields.size(); ++i) {
      EXPECT_EQ(table.Fields()[i].name, spec.fields[i].name);
      EXPECT_EQ(table.GetText(spec.fields[i].name), expected[i]) << spec.fields[i].name;
    }
  }
  // Each table has its upper-case .DBF; only DIASHORAST2 has an .MDX.
  const std::vector<std::string> files = Entries(temp.path());
  EXPECT_EQ(files, (std::vector<std::string>{"ASIGNOMT.DBF", "ASIGT.DBF", "AULAT.DBF",
                                             "CURSOST.DBF", "DIASHORAST.DBF", "DIASHORAST2.DBF",
                                             "DIASHORAST2.MDX", "GRUPOST.DBF", "PROFT.DBF"}));
  dbase::Table scratch = folder.OpenRunTime("DIASHORAST2");
  scratch.SetIndexOrder("ORDEN");
  EXPECT_EQ(scratch.GetInteger("ORDEN"), -10000);
}

TEST(WorkingTablesTest, NamesAndPaths) {
  TempFolder temp;
  const WorkingFolder folder(temp.path());
  EXPECT_EQ(folder.ShownName("ASIGNOMT"), "C:\\KTEMP\\ASIGNOMT.DBF");
  EXPECT_EQ(folder.DbfPath("SOLUC"), temp.path() / "SOLUC.DBF");  // none yet
  Touch(temp.path() / "soluc.dbf");
  EXPECT_EQ(folder.DbfPath("SOLUC"), temp.path() / "soluc.dbf");
  EXPECT_EQ(WorkingFolder("/datos/ktemp", "/datos/ktemp").ShownName("PROFT"),
            "/datos/ktemp/PROFT.DBF");
}

TEST(WorkingTablesTest, MissingFolderOrTableIsAnErrorNamingIt) {
  TempFolder temp;
  const WorkingFolder missing(temp.path() / "nada");
  for (auto action : {+[](const WorkingFolder& f) { f.CreateTable(SpecOf("PROFT")); },
                      +[](const WorkingFolder& f) { f.OpenRunTime("PROFT"); },
                      +[](const WorkingFolder& f) { f.OpenWindow("PROFT"); }}) {
    try {
      action(missing);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "La carpeta de trabajo C:\\KTEMP no existe");
    }
  }
  const WorkingFolder folder(temp.path());
  for (auto open : {&WorkingFolder::OpenRunTime, &WorkingFolder::OpenWindow}) {
    try {
      (folder.*open)("SOLUC");
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "No existe la tabla C:\\KTEMP\\SOLUC.DBF");
    }
  }
}

TEST(WorkingTablesTest, CreationRemovesEveryCaseVariant) {
  TempFolder temp;
  const WorkingFolder folder(temp.path());
  Touch(temp.path() / "diashorast2.dbf");
  Touch(temp.path() / "DiasHoraST2.DBF");
  Touch(temp.path() / "DIASHORAST2.mdx");
  Touch(temp.path() / "diashorast2.MDX");
  Touch(temp.path() / "PROFT.DBF");  // other tables are left alone
  folder.CreateTable(SpecOf("DIASHORAST2"));
  EXPECT_EQ(Entries(temp.path()),
            (std::vector<std::string>{"DIASHORAST2.DBF", "DIASHORAST2.MDX", "PROFT.DBF"}));
  EXPECT_EQ(folder.OpenWindow("DIASHORAST2").RecordCount(), 0);

  // A .DBF without its .MDX is recreated without complaint.
  std::filesystem::remove(temp.path() / "DIASHORAST2.MDX");
  folder.CreateTable(SpecOf("DIASHORAST2"));
  EXPECT_TRUE(std::filesystem::exists(temp.path() / "DIASHORAST2.MDX"));
}

TEST(WorkingTablesTest, CreationOverAHeldTableStopsAndDeletesNothing) {
  TempFolder temp;
  const WorkingFolder folder(temp.path());
  folder.CreateTable(SpecOf("DIASHORAST2"));
  {
    dbase::Table table = folder.OpenRunTime("DIASHORAST2");
    table.Append();
    table.SetInteger("ORDEN", 7);
    table.Post();
  }
  const std::string dbf = ReadBytes(temp.path() / "DIASHORAST2.DBF");
  const std::string mdx = ReadBytes(temp.path() / "DIASHORAST2.MDX");
  for (dbase::OpenMode mode : {dbase::OpenMode::kShared, dbase::OpenMode::kExclusive}) {
    dbase::Table held = dbase::Table::Open(folder.DbfPath("DIASHORAST2"), mode, "otro");
    try {
      folder.CreateTable(SpecOf("DIASHORAST2"));
      ADD_FAILURE() << "created";
    } catch (const InUseError& e) {
      EXPECT_STREQ(e.what(), "La tabla C:\\KTEMP\\DIASHORAST2.DBF está abierta en otro programa");
    }
    EXPECT_EQ(ReadBytes(temp.path() / "DIASHORAST2.DBF"), dbf);
    EXPECT_EQ(ReadBytes(temp.path() / "DIASHORAST2.MDX"), mdx);
  }
  // Window tables are exclusive: a second one is refused while the first is open.
  dbase::Table window = folder.OpenWindow("DIASHORAST2");
  EXPECT_THROW(folder.OpenWindow("DIASHORAST2"), InUseError);
  EXPECT_THROW(folder.OpenRunTime("DIASHORAST2"), InUseError);
}

TEST(WorkingTablesTest, LongTextKeepsItsFirstCharacters) {
  TempFolder temp;
  const WorkingFolder folder(temp.path());
  folder.CreateTable(SpecOf("ASIGNOMT"));
  const std::string name45 =
      "Educaci\xF3n para la ciudadan\xED"
      "a y los derechos h";
  ASSERT_EQ(name45.size(), 45u);
  {
    dbase::Table table = folder.OpenRunTime("ASIGNOMT");
    table.Append();
    table.SetText("NOMBRE", name45);
    table.Post();
  }
  dbase::Table table = folder.OpenWindow("ASIGNOMT");
  EXPECT_EQ(table.GetText("NOMBRE"), name45.substr(0, 40));
  EXPECT_EQ(table.GetText("ESTAREA"), "");  // never set
}

}  // namespace
}  // namespace orvida::formats
