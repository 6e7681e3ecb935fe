// Tables written by the engine: their bytes, and what reads back.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "tests/platform/dbase/dbase_test_support.h"

namespace orvida::dbase {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::U16;
using testing::U32;

const std::vector<FieldDef> kSmallFields = {
    {"COD", FieldType::kText, 4},
    {"ORDEN", FieldType::kInteger, 0},
    {"HORAS", FieldType::kFloat, 0},
    {"ESTAREA", FieldType::kLogical, 0},
};

TEST(TableWriteTest, SmallTableHasTheDocumentedBytes) {
  TempFolder folder;
  const auto dbf = folder / "X.DBF";
  CreateTable(dbf, kSmallFields, {}, "X.DBF");
  {
    Table table = Table::Open(dbf, OpenMode::kShared, "X.DBF");
    table.Append();
    table.SetText("COD", "ABCDEF");  // cut to 4
    table.SetInteger("ORDEN", -42);
    table.SetFloat("HORAS", 1.5);
    table.SetLogical("ESTAREA", true);
    table.Post();
    table.Append();  // nothing set: every field stays empty
    table.Post();
  }
  const std::string b = ReadBytes(dbf);
  const std::size_t header_length = 32 + 32 * 4 + 1;
  const std::size_t record_length = 1 + 4 + 11 + 20 + 1;
  ASSERT_EQ(b.size(), header_length + 2 * record_length + 1);
  EXPECT_EQ(static_cast<std::uint8_t>(b[0]), 0x03);
  EXPECT_GE(static_cast<std::uint8_t>(b[1]), 100);  // year - 1900, so 2000 or later
  EXPECT_GE(b[2], 1);
  EXPECT_LE(b[2], 12);
  EXPECT_GE(b[3], 1);
  EXPECT_LE(b[3], 31);
  EXPECT_EQ(U32(b, 4), 2u);
  EXPECT_EQ(U16(b, 8), header_length);
  EXPECT_EQ(U16(b, 10), record_length);
  EXPECT_EQ(b[28], 0x00);  // no production index
  EXPECT_EQ(static_cast<std::uint8_t>(b[29]), 0x58);
  EXPECT_EQ(b.substr(12, 16), std::string(16, '\0'));

  struct Descriptor {
    std::string name;
    char type;
    int length;
    int decimals;
  };
  const Descriptor expected[] = {
      {"COD", 'C', 4, 0}, {"ORDEN", 'N', 11, 0}, {"HORAS", 'N', 20, 4}, {"ESTAREA", 'L', 1, 0}};
  for (int i = 0; i < 4; ++i) {
    const std::string d = b.substr(32 + 32 * i, 32);
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(d.substr(0, 11), expected[i].name + std::string(11 - expected[i].name.size(), '\0'));
    EXPECT_EQ(d[11], expected[i].type);
    EXPECT_EQ(d[16], expected[i].length);
    EXPECT_EQ(d[17], expected[i].decimals);
    EXPECT_EQ(d[31], 0x00);
  }
  EXPECT_EQ(b[header_length - 1], 0x0D);
  EXPECT_EQ(b.substr(header_length, record_length), " ABCD        -42              1.5000T");
  EXPECT_EQ(b.substr(header_length + record_length, record_length),
            std::string(record_length, ' '));
  EXPECT_EQ(b.back(), 0x1A);
}

TEST(TableWriteTest, EveryPostLeavesAFileOtherHandlesRead) {
  TempFolder folder;
  const auto dbf = folder / "X.DBF";
  CreateTable(dbf, kSmallFields, {}, "X.DBF");
  EXPECT_EQ(ReadBytes(dbf).back(), 0x1A);  // even the empty table ends with the EOF mark
  Table writer = Table::Open(dbf, OpenMode::kShared, "X.DBF");
  for (int i = 1; i <= 3; ++i) {
    writer.Append();
    writer.SetInteger("ORDEN", i);
    writer.Post();
    const std::string b = ReadBytes(dbf);
    EXPECT_EQ(U32(b, 4), static_cast<std::uint32_t>(i));
    EXPECT_EQ(b.size(), 161u + 37u * i + 1u);
    EXPECT_EQ(b.back(), 0x1A);
    Table reader = Table::Open(dbf, OpenMode::kShared, "X.DBF");
    EXPECT_EQ(reader.RecordCount(), i);
  }
}

TEST(TableWriteTest, ValuesReadBackAsTextIntegerAndFloat) {
  TempFolder folder;
  const auto dbf = folder / "X.DBF";
  CreateTable(dbf, kSmallFields, {}, "X.DBF");
  struct Row {
    std::string cod;
    std::int32_t orden;
    double horas;
    std::optional<bool> tarea;
    std::string cod_text, orden_text, horas_text, tarea_text;
  };
  const Row rows[] = {
      {"  A ", 1, 4.0, true, "  A", "1", "4", "T"},
      {"\xD1"
       "a\x80",
       -2147483648, -0.5, false,
       "\xD1"
       "a\x80",
       "-2147483648", "-0.5", "F"},
      {"", 2147483647, 123456789012.3456, std::nullopt, "", "2147483647", "123456789012.3456", ""},
      {"12", 0, 0.00004, std::nullopt, "12", "0", "0", ""},  // 0.00004 rounds to 0.0000
  };
  {
    Table table = Table::Open(dbf, OpenMode::kShared, "X.DBF");
    for (const Row& r : rows) {
      table.Append();
      table.SetText("COD", r.cod);
      table.SetInteger("ORDEN", r.orden);
      table.SetFloat("HORAS", r.horas);
      if (r.tarea) table.SetLogical("ESTAREA", *r.tarea);
      table.Post();
    }
  }
  Table table = Table::Open(dbf, OpenMode::kExclusive, "X.DBF");
  ASSERT_EQ(table.RecordCount(), 4);
  table.First();
  for (const Row& r : rows) {
    ASSERT_FALSE(table.Eof());
    SCOPED_TRACE(r.orden_text);
    EXPECT_EQ(table.GetText("COD"), r.cod_text);
    EXPECT_EQ(table.GetText("orden"), r.orden_text);  // field names ignore case
    EXPECT_EQ(table.GetInteger("ORDEN"), r.orden);
    EXPECT_EQ(table.GetText("HORAS"), r.horas_text);
    EXPECT_NEAR(table.GetFloat("HORAS"), r.horas, 5e-5);
    EXPECT_EQ(table.GetText("ESTAREA"), r.tarea_text);
    table.Next();
  }
  EXPECT_TRUE(table.Eof());
}

TEST(TableWriteTest, IntegerReadingOfTextAndNumbers) {
  TempFolder folder;
  const auto dbf = folder / "X.DBF";
  CreateTable(dbf, {{"T", FieldType::kText, 12}, {"F", FieldType::kFloat, 0}}, {}, "X.DBF");
  struct Case {
    std::string text;
    double number;
    std::optional<std::int32_t> text_value;  // nullopt: conversion error
    std::int32_t number_value;
  };
  // Numbers with decimals round to the nearest whole number, halves away from zero.
  const Case cases[] = {
      {"", 2.5, 0, 3},
      {"  17  ", -2.5, 17, -3},
      {"-8", 2.4999, -8, 2},
      {"1 2", -0.5, std::nullopt, -1},
      {"abc", 0.49, std::nullopt, 0},
  };
  {
    Table table = Table::Open(dbf, OpenMode::kShared, "X.DBF");
    for (const Case& c : cases) {
      table.Append();
      table.SetText("T", c.text);
      table.SetFloat("F", c.number);
      table.Post();
    }
  }
  Table table = Table::Open(dbf, OpenMode::kShared, "X.DBF");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.text_value) {
      EXPECT_EQ(table.GetInteger("T"), *c.text_value);
    } else {
      try {
        table.GetInteger("T");
        ADD_FAILURE() << "no error";
      } catch (const ConversionError& e) {
        EXPECT_EQ(std::string(e.what()), "'" + c.text + "' no es un valor entero válido");
      }
    }
    EXPECT_EQ(table.GetInteger("F"), c.number_value);
    table.Next();
  }
}

TEST(TableWriteTest, MistakesAreErrorsNamingTableAndField) {
  TempFolder folder;
  const auto dbf = folder / "X.DBF";
  CreateTable(dbf, kSmallFields, {}, "C:\\KTEMP\\X.DBF");
  Table table = Table::Open(dbf, OpenMode::kShared, "C:\\KTEMP\\X.DBF");
  try {
    table.GetText("DIA");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "La tabla C:\\KTEMP\\X.DBF no tiene el campo DIA");
  }
  EXPECT_FALSE(table.HasField("DIA"));
  EXPECT_TRUE(table.HasField("cod"));
  EXPECT_THROW(table.SetText("COD", "x"), Error);  // no Append before
  EXPECT_THROW(table.Post(), Error);
  table.Append();
  EXPECT_THROW(table.SetText("DIA", "x"), Error);
  EXPECT_THROW(table.SetFloat("HORAS", std::numeric_limits<double>::infinity()), Error);
  EXPECT_THROW(table.SetFloat("HORAS", 1e16), Error);  // 16 digits + 4 decimals do not fit
  EXPECT_THROW(table.SetLogical("ORDEN", true), Error);
  EXPECT_THROW(table.GetInteger("ESTAREA"), Error);
  table.Close();
  EXPECT_FALSE(table.IsOpen());
  EXPECT_THROW(table.First(), Error);
  EXPECT_EQ(Table::Open(dbf, OpenMode::kShared, "X").RecordCount(), 0);  // nothing was posted

  EXPECT_THROW(
      CreateTable(folder / "Y.DBF", {{"NOMBREDEMASIADOLARGO", FieldType::kText, 4}}, {}, "Y"),
      Error);
  EXPECT_THROW(CreateTable(folder / "Y.DBF", {{"A", FieldType::kText, 255}}, {}, "Y"), Error);
  EXPECT_THROW(CreateTable(folder / "Y.DBF", {{"A", FieldType::kText, 4}}, {{"I", "B"}}, "Y"),
               Error);
  try {
    Table::Open(folder / "SOLUC.DBF", OpenMode::kShared, "C:\\KTEMP\\SOLUC.DBF");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "No existe la tabla C:\\KTEMP\\SOLUC.DBF");
  }
}

TEST(TableWriteTest, CreateReplacesTheTableAndItsIndex) {
  TempFolder folder;
  const auto dbf = folder / "X.DBF";
  CreateTable(dbf, kSmallFields, {{"ORDEN", "ORDEN"}}, "X.DBF");
  ASSERT_TRUE(std::filesystem::exists(folder / "X.MDX"));
  {
    Table table = Table::Open(dbf, OpenMode::kShared, "X.DBF");
    table.Append();
    table.Post();
  }
  CreateTable(dbf, {{"OTRO", FieldType::kText, 3}}, {}, "X.DBF");
  EXPECT_FALSE(std::filesystem::exists(folder / "X.MDX"));
  Table table = Table::Open(dbf, OpenMode::kShared, "X.DBF");
  EXPECT_EQ(table.RecordCount(), 0);
  ASSERT_EQ(table.Fields().size(), 1u);
  EXPECT_EQ(table.Fields()[0].name, "OTRO");
}

TEST(TableWriteTest, TwoSharedWritersNeverOverwriteEachOther) {
  TempFolder folder;
  const auto dbf = folder / "X.DBF";
  CreateTable(dbf, kSmallFields, {{"ORDEN", "ORDEN"}}, "X.DBF");
  Table a = Table::Open(dbf, OpenMode::kShared, "X.DBF");
  Table b = Table::Open(dbf, OpenMode::kShared, "X.DBF");
  int next = 30;
  for (Table* writer : {&a, &b, &a, &b, &b}) {
    writer->Append();
    writer->SetInteger("ORDEN", next);
    writer->Post();
    next -= 5;
  }
  a.Close();
  b.Close();
  Table table = Table::Open(dbf, OpenMode::kExclusive, "X.DBF");
  std::vector<int> natural;
  for (; !table.Eof(); table.Next()) natural.push_back(table.GetInteger("ORDEN"));
  EXPECT_EQ(natural, (std::vector<int>{30, 25, 20, 15, 10}));
  table.SetIndexOrder("ORDEN");
  std::vector<int> ordered;
  for (; !table.Eof(); table.Next()) ordered.push_back(table.GetInteger("ORDEN"));
  EXPECT_EQ(ordered, (std::vector<int>{10, 15, 20, 25, 30}));
}

}  // namespace
}  // namespace orvida::dbase
