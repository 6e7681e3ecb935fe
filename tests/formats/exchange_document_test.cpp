#include "formats/exchange_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/os/error.h"

namespace orvida::formats {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::filesystem::path kData = std::filesystem::path(ORVIDA_TEST_DATA) / "xml";

// Compact builders for exchange documents written in the tests.
std::string Rec(std::initializer_list<std::string> fields) {
  std::string xml = "<grupo_datos>";
  for (const std::string& field : fields) xml += "<dato>" + field + "</dato>";
  return xml + "</grupo_datos>";
}
std::string Sec(const std::string& seq, std::initializer_list<std::string> records) {
  std::string xml = "<grupo_datos seq=\"" + seq + "\">";
  for (const std::string& record : records) xml += record;
  return xml + "</grupo_datos>";
}
std::string Envelope(const std::string& sections) {
  return "<SERVICIO><BLOQUE_DATOS>" + sections + "</BLOQUE_DATOS></SERVICIO>";
}
ExchangeDocument FromText(const std::string& xml) {
  return ExchangeDocument::FromXml(xml::Document::Parse(xml, "prueba.xml"), "prueba.xml");
}

struct Read {
  SectionStats stats;
  std::vector<Record> records;
  NoticeList notices;
};
Read ReadAll(const ExchangeDocument& document, Section section) {
  Read read;
  read.stats = document.ReadSection(
      section, [&](const Record& record) { read.records.push_back(record); }, read.notices);
  return read;
}
std::vector<std::string> Column(const Read& read, int index) {
  std::vector<std::string> values;
  for (const Record& record : read.records) values.push_back(record.Value(index));
  return values;
}

TEST(ExchangeDocumentSections, FixedExpressionsAndRules) {
  ASSERT_EQ(AllSections().size(), 8u);
  EXPECT_EQ(AllSections().front().seq, "MATERIAS");
  EXPECT_EQ(AllSections().back().seq, "ANNO_ACADEMICO");
  for (const SectionInfo& info : AllSections()) {
    EXPECT_EQ(info.expression, "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"" +
                                   std::string(info.seq) + "\"]/grupo_datos");
    EXPECT_EQ(&InfoOf(info.section), &info);
  }
  EXPECT_EQ(InfoOf(Section::kEmpleados).highest_position, 5);
  EXPECT_EQ(InfoOf(Section::kAnnoAcademico).min_fields, 1);
}

TEST(ExchangeDocumentRead, DuplicateSectionsAreReadInDocumentOrder) {
  const ExchangeDocument document =
      ExchangeDocument::Load(kData / "two_unidades_sections.xml", "two_unidades_sections.xml");
  const Read unidades = ReadAll(document, Section::kUnidades);
  EXPECT_THAT(Column(unidades, 0), ElementsAre("1A", "1B", "2A"));
  EXPECT_THAT(Column(unidades, 1), ElementsAre("1\xBA ESO A", "1\xBA ESO B", "2\xBA ESO A"));
  std::vector<int> positions;
  for (const Record& record : unidades.records) positions.push_back(record.position());
  EXPECT_THAT(positions, ElementsAre(1, 2, 3));
  EXPECT_EQ(ReadAll(document, Section::kMaterias).stats.used, 1);
}

// Only grupo_datos children of BLOQUE_DATOS directly under a root SERVICIO, with the exact seq,
// are sections.
TEST(ExchangeDocumentRead, SectionsElsewhereOrMisnamedAreNotFound) {
  const std::string record = Rec({"M1", "Lengua", "LEN"});
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"seq in lower case", Envelope(Sec("materias", {record}))},
      {"seq with a blank", Envelope(Sec("MATERIAS ", {record}))},
      {"section directly under SERVICIO",
       "<SERVICIO>" + Sec("MATERIAS", {record}) + "<BLOQUE_DATOS/></SERVICIO>"},
      {"section inside another section", Envelope(Sec("OTRA", {Sec("MATERIAS", {record})}))},
      {"BLOQUE_DATOS not directly under SERVICIO",
       "<SERVICIO><X>" + Envelope(Sec("MATERIAS", {record})) + "</X></SERVICIO>"},
      {"root other than SERVICIO",
       "<OTRO><BLOQUE_DATOS>" + Sec("MATERIAS", {record}) + "</BLOQUE_DATOS></OTRO>"},
      {"SERVICIO in a namespace", "<SERVICIO xmlns=\"urn:x\"><BLOQUE_DATOS>" +
                                      Sec("MATERIAS", {record}) + "</BLOQUE_DATOS></SERVICIO>"},
      {"section without records", Envelope(Sec("MATERIAS", {}))},
  };
  for (const auto& [name, xml] : cases) {
    SCOPED_TRACE(name);
    const Read read = ReadAll(FromText(xml), Section::kMaterias);
    EXPECT_EQ(read.stats.found, 0);
    EXPECT_THAT(read.records, IsEmpty());
  }
  EXPECT_EQ(ReadAll(ExchangeDocument::FromXml(xml::Document(), ""), Section::kMaterias).stats.found,
            0);
}

// A record is used only with its section's minimum of fields and every position its readers
// take; the rest are skipped, each with a notice.
TEST(ExchangeDocumentRead, RecordsLackingFieldsAreSkippedWithANotice) {
  struct Case {
    Section section;
    std::string record;
    bool used;
    std::string key;      // of the notice, when skipped
    std::string message;  // of the notice, when skipped
  };
  const std::vector<Case> cases = {
      {Section::kMaterias, Rec({}), false, "",
       "el registro tiene 0 campos y se necesitan 3; se omite."},
      {Section::kMaterias, Rec({" M1 "}), false, "M1",
       "el registro tiene 1 campo y se necesitan 3; se omite."},
      {Section::kMaterias, Rec({"M1", "Lengua"}), false, "M1",
       "el registro tiene 2 campos y se necesitan 3; se omite."},
      {Section::kMaterias, Rec({"M1", "Lengua", "LEN"}), true, "", ""},
      {Section::kDependencias, Rec({"A1"}), false, "A1",
       "el registro tiene 1 campo y se necesitan 2; se omite."},
      {Section::kDependencias, Rec({"A1", "Aula 1"}), true, "", ""},
      {Section::kEmpleados, Rec({"1", "2", "3", "4", "5"}), false, "1",
       "el registro tiene 5 campos y se necesitan 6; se omite."},
      {Section::kEmpleados, Rec({"1", "2", "3", "4", "5", "6", "7", "8"}), true, "", ""},
      {Section::kTramosHorarios, Rec({"1", "2", "3"}), false, "1",
       "el registro tiene 3 campos y se necesitan 4; se omite."},
      {Section::kAnnoAcademico, Rec({}), false, "",
       "el registro tiene 0 campos y se necesita 1; se omite."},
      {Section::kAnnoAcademico, Rec({"2026"}), true, "", ""},
  };
  for (const Case& c : cases) {
    const SectionInfo& info = InfoOf(c.section);
    SCOPED_TRACE(std::string(info.seq) + " " + c.record);
    // The record under test stands second, after a record that is always used.
    const std::string good = Rec({"k", "v", "v", "v", "v", "v"});
    const Read read =
        ReadAll(FromText(Envelope(Sec(std::string(info.seq), {good, c.record}))), c.section);
    EXPECT_EQ(read.stats.found, 2);
    EXPECT_EQ(read.stats.used, c.used ? 2 : 1);
    EXPECT_EQ(read.stats.skipped, c.used ? 0 : 1);
    ASSERT_EQ(read.records.size(), static_cast<std::size_t>(read.stats.used));
    if (c.used) {
      EXPECT_EQ(read.records[1].position(), 2);
      // A record carries the positions its readers take, no more.
      EXPECT_EQ(read.records[1].field_count(), info.highest_position + 1);
      EXPECT_THROW(read.records[1].Value(info.highest_position + 1), std::out_of_range);
      EXPECT_THAT(read.notices.notices(), IsEmpty());
    } else {
      ASSERT_EQ(read.notices.notices().size(), 1u);
      const Notice& notice = read.notices.notices()[0];
      EXPECT_EQ(notice.kind, "registro omitido");
      EXPECT_EQ(notice.where, info.seq);
      EXPECT_EQ(notice.position, 2);
      EXPECT_EQ(notice.key, c.key);
      EXPECT_EQ(notice.message, c.message);
    }
  }
}

TEST(ExchangeDocumentRead, FieldsAreTheDatoChildrenTrimmedAndInWindows1252) {
  const ExchangeDocument document = FromText(Envelope(
      Sec("MATERIAS",
          {"<grupo_datos>texto<dato>\n\t  M1 </dato><!-- no cuenta --><otro>no</otro>"
           "<dato>Lengua  y\tLiteratura</dato>m\xC3\xA1s texto<?pi no?><grupo_datos><dato>no</dato>"
           "</grupo_datos><dato> \xCE\xA9mega 5\xE2\x82\xAC \xC3\xB1 \xE2\x80\x9Cx\xE2\x80\x9D "
           "\xE4\xB8\xAD\r\n</dato></grupo_datos>"})));
  const Read read = ReadAll(document, Section::kMaterias);
  ASSERT_EQ(read.records.size(), 1u);
  const Record& record = read.records[0];
  EXPECT_EQ(record.Value(0), "M1");
  EXPECT_EQ(record.Value(1), "Lengua  y\tLiteratura");  // inner blanks and tabs stay
  // Characters the code page lacks become '?'; the ones it has take its bytes.
  EXPECT_EQ(record.Value(2), "?mega 5\x80 \xF1 \x93x\x94 ?");
  EXPECT_EQ(record.Untrimmed(0), "M1");
}

TEST(ExchangeDocumentRead, AnIso88591DocumentIsReadCorrectly) {
  const ExchangeDocument document =
      ExchangeDocument::Load(kData / "latin1_accents.xml", "latin1_accents.xml");
  const Read empleados = ReadAll(document, Section::kEmpleados);
  ASSERT_EQ(empleados.records.size(), 1u);
  const Record& record = empleados.records[0];
  EXPECT_EQ(record.Value(0), "1001");
  EXPECT_EQ(record.Value(1), "\xC1vila");
  EXPECT_EQ(record.Value(3), "Mu\xF1oz");
  EXPECT_EQ(record.Value(4), "Jos\xE9 \xC1ngel");
  EXPECT_EQ(record.Value(5), "\xD1");
  EXPECT_THAT(Column(ReadAll(document, Section::kAnnoAcademico), 0), ElementsAre("2026"));
}

TEST(ExchangeDocumentEnvelope, RequiresServicioWithBloqueDatos) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"<HORARIOS><BLOQUE_DATOS/></HORARIOS>",
       "El documento no es un documento de intercambio: su elemento raíz es HORARIOS, no "
       "SERVICIO (archivo prueba.xml)"},
      {"<SERVICIO><OTRO/><grupo_datos/></SERVICIO>",
       "El documento no es un documento de intercambio: SERVICIO no contiene BLOQUE_DATOS "
       "(archivo prueba.xml)"},
  };
  for (const auto& [xml, message] : refused) {
    SCOPED_TRACE(xml);
    try {
      FromText(xml).RequireEnvelope();
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
  try {
    ExchangeDocument::FromXml(xml::Document(), "vacio.xml").RequireEnvelope();
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_THAT(error.what(), HasSubstr("no tiene elemento raíz"));
  }
  EXPECT_NO_THROW(FromText(Envelope("")).RequireEnvelope());
}

TEST(Notices, FormatAndCount) {
  EXPECT_EQ(FormatNotice({"registro omitido", "EMPLEADOS", 3, "1234",
                          "el registro tiene 1 campo y se necesitan 6; se omite."}),
            "EMPLEADOS, registro 3 (1234): el registro tiene 1 campo y se necesitan 6; se omite.");
  EXPECT_EQ(FormatNotice({"registro omitido", "MATERIAS", 2, "", "sin campos."}),
            "MATERIAS, registro 2: sin campos.");
  EXPECT_EQ(FormatNotice({"código cambiado", "PROFT", -1, "AB", "se usa AB1."}),
            "PROFT (AB): se usa AB1.");
  EXPECT_EQ(FormatNotice({"aviso", "", -1, "", "mensaje."}), "mensaje.");

  NoticeList list;
  list.Report({"b", "", -1, "", ""});
  list.Report({"a", "", -1, "", ""});
  list.Report({"b", "", -1, "", ""});
  EXPECT_THAT(list.CountByKind(), ElementsAre(std::pair<std::string, int>{"b", 2},
                                              std::pair<std::string, int>{"a", 1}));
}

}  // namespace
}  // namespace orvida::formats
