// Tables written by other programs: dBase III, dBase 7, FoxPro, python3-dbf, and broken ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "tests/platform/dbase/dbase_test_support.h"

namespace orvida::dbase {
namespace {

using testing::Be;
using testing::Le;
using testing::RawField;
using testing::TempFolder;
using testing::WriteBytes;

std::vector<std::vector<std::string>> ReadAllText(Table& table) {
  std::vector<std::vector<std::string>> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    std::vector<std::string> row;
    for (const FieldInfo& f : table.Fields()) row.push_back(table.GetText(f.name));
    rows.push_back(row);
  }
  return rows;
}

std::uint64_t DoubleBits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(TableReadTest, DbaseIIIWithDeletedRowAndEveryClassicType) {
  TempFolder folder;
  const std::vector<RawField> fields = {{"NOMBRE", 'C', 10},
                                        {"CNT", 'N', 11},
                                        {"AMT", 'F', 20, 6},
                                        {"FLAG", 'L', 1},
                                        {"DIA", 'D', 8}};
  auto row = [](char flag, std::string name, std::string cnt, std::string amt, char logical,
                std::string date) {
    name.resize(10, ' ');
    cnt.insert(0, 11 - cnt.size(), ' ');
    amt.insert(0, 20 - amt.size(), ' ');
    return std::string(1, flag) + name + cnt + amt + logical + date;
  };
  const std::vector<std::string> records = {
      row(' ', "Ana", "1", "1.500000", 'T', "20240307"),
      row('*', "Borrada", "9", "9.000000", 'F', "        "),
      row(' ', "Zo\xEB \x80", "-2147483648", "-0.000123", 'f', "00000000"),
      row(' ', "m\xE1x", "2147483647", "12345678.875000", '?', "        "),
      row(' ', "", "", "", ' ', "        "),
  };
  WriteBytes(folder / "A.DBF", testing::ShortHeaderTable(0x03, fields, records, 5));
  Table table = Table::Open(folder / "A.DBF", OpenMode::kShared, "A.DBF");
  EXPECT_EQ(table.RecordCount(), 4);  // the deleted row is skipped
  ASSERT_EQ(table.Fields().size(), 5u);
  EXPECT_EQ(table.Fields()[2].type, 'F');
  EXPECT_EQ(table.Fields()[2].decimals, 6);
  const std::vector<std::vector<std::string>> expected = {
      {"Ana", "1", "1.5", "T", "2024-03-07"},
      {"Zo\xEB \x80", "-2147483648", "-0.000123", "F", ""},
      {"m\xE1x", "2147483647", "12345678.875", "", ""},
      {"", "", "", "", ""},
  };
  EXPECT_EQ(ReadAllText(table), expected);
  table.First();
  table.Next();
  EXPECT_EQ(table.GetInteger("CNT"), -2147483648);
  EXPECT_DOUBLE_EQ(table.GetFloat("AMT"), -0.000123);
  table.Next();
  table.Next();
  EXPECT_EQ(table.GetInteger("CNT"), 0);  // empty reads as 0
  EXPECT_EQ(table.GetFloat("AMT"), 0.0);
}

TEST(TableReadTest, Level7BinaryFields) {
  TempFolder folder;
  const std::vector<RawField> fields = {{"NOMBRE_LARGO_DE_CAMPO", 'C', 6},
                                        {"DIA", 'I', 4},
                                        {"IMPORTE", 'O', 8},
                                        {"NUMERO", '+', 4},
                                        {"CUANDO", '@', 8},
                                        {"HORA", 'N', 3}};
  auto sortable_double = [](double v) {
    std::uint64_t bits = DoubleBits(v);
    return Be(v < 0 ? ~bits : bits | 0x8000000000000000ull, 8);
  };
  // 1970-01-01 00:00:00 is 62 135 683 200 000 ms after the day before 0001-01-01.
  const std::string epoch = Be(DoubleBits(62135683200000.0), 8);
  const std::string later = Be(DoubleBits(62135683200000.0 + 86400000.0 * 19789 + 45296000), 8);
  const std::vector<std::string> records = {
      " Ana   " + Be(0x80000001, 4) + sortable_double(1.5) + Be(0x80000007, 4) + epoch + "  3",
      " Luis  " + Be(0x7FFFFFFF, 4) + sortable_double(-0.000123) + Be(0x80000008, 4) + later +
          " 10",
      " Nulo  " + std::string(4, '\0') + std::string(8, '\0') + Be(0x80000009, 4) +
          std::string(8, '\0') + "   ",
      " Bordes" + Be(0xFFFFFFFF, 4) + sortable_double(0.0) + Be(0x8000000A, 4) + epoch + "  0",
  };
  ASSERT_EQ(static_cast<unsigned char>(sortable_double(1.5)[0]), 0xBF);  // reference bytes
  WriteBytes(folder / "L7.DBF", testing::Level7Table(fields, records));
  Table table = Table::Open(folder / "L7.DBF", OpenMode::kShared, "L7.DBF");
  ASSERT_EQ(table.Fields().size(), 6u);
  EXPECT_EQ(table.Fields()[0].name, "NOMBRE_LARGO_DE_CAMPO");
  const std::vector<std::vector<std::string>> expected = {
      {"Ana", "1", "1.5", "7", "1970-01-01 00:00:00", "3"},
      {"Luis", "-1", "-0.000123", "8", "2024-03-07 12:34:56", "10"},
      {"Nulo", "", "", "9", "", ""},
      {"Bordes", "2147483647", "0", "10", "1970-01-01 00:00:00", "0"},
  };
  EXPECT_EQ(ReadAllText(table), expected);
  table.First();
  EXPECT_EQ(table.GetInteger("DIA"), 1);
  EXPECT_EQ(table.GetInteger("IMPORTE"), 2);  // 1.5 rounds away from zero
  EXPECT_EQ(table.GetInteger("NUMERO"), 7);
  table.Next();
  EXPECT_EQ(table.GetInteger("DIA"), -1);
  EXPECT_DOUBLE_EQ(table.GetFloat("IMPORTE"), -0.000123);
  table.Next();
  EXPECT_EQ(table.GetInteger("DIA"), 0);  // null
  EXPECT_THROW(table.GetInteger("CUANDO"), Error);
}

TEST(TableReadTest, VisualFoxProWithBacklinkAndLittleEndianIntegers) {
  TempFolder folder;
  const std::vector<RawField> fields = {
      {"PROF", 'C', 4}, {"DIA", 'I', 4}, {"PRECIO", 'B', 8}, {"PAGO", 'Y', 8}, {"ACTIVO", 'L', 1}};
  const std::vector<std::string> records = {
      " P1  " + Le(1, 4) + Le(DoubleBits(1.5), 8) + Le(123456, 8) + "T",
      " P2  " + Le(static_cast<std::uint32_t>(-7), 4) + Le(DoubleBits(-2.25), 8) +
          Le(static_cast<std::uint64_t>(-5000), 8) + "F",
  };
  WriteBytes(folder / "VFP.DBF",
             testing::ShortHeaderTable(0x30, fields, records, 2, std::string(263, '\0'), 0x03));
  Table table = Table::Open(folder / "VFP.DBF", OpenMode::kShared, "VFP.DBF");
  const std::vector<std::vector<std::string>> expected = {
      {"P1", "1", "1.5", "12.3456", "T"},
      {"P2", "-7", "-2.25", "-0.5", "F"},
  };
  EXPECT_EQ(ReadAllText(table), expected);
  table.First();
  table.Next();
  EXPECT_EQ(table.GetInteger("DIA"), -7);

  // A dBase III table with a binary I field, as some writers leave it: little-endian too.
  WriteBytes(folder / "E.DBF",
             testing::ShortHeaderTable(0x03, {{"DIA", 'I', 4}},
                                       {" " + Le(1, 4), " " + Le(0xFFFFFFF9, 4)}, 2));
  Table e = Table::Open(folder / "E.DBF", OpenMode::kShared, "E.DBF");
  EXPECT_EQ(ReadAllText(e), (std::vector<std::vector<std::string>>{{"1"}, {"-7"}}));
}

TEST(TableReadTest, BrokenHeadersAreRefusedWithTheReason) {
  TempFolder folder;
  const std::string good =
      testing::ShortHeaderTable(0x03, {{"A", 'C', 3}, {"B", 'N', 5}}, {" abc   12"}, 1);
  auto patched = [&](std::size_t offset, std::string bytes) {
    std::string file = good;
    file.replace(offset, bytes.size(), bytes);
    return file;
  };
  struct Case {
    std::string name;
    std::string bytes;
    std::string reason;  // part of the message
  };
  const std::vector<Case> cases = {
      {"empty file", "", "tiene 0 bytes"},
      {"short file", good.substr(0, 20), "tiene 20 bytes"},
      {"dBase II", patched(0, "\x02"), "dBase II"},
      {"unknown version", patched(0, "\x99"), "versión 0x99 desconocida"},
      {"record length 0", patched(10, std::string(2, '\0')), "longitud de registro es 0"},
      {"header beyond file", patched(8, Le(5000, 2)), "la cabecera declara 5000 bytes"},
      {"no terminator", patched(32 + 64, "X"), "no termina con el byte 0x0D"},
      {"header cut inside a descriptor", patched(8, Le(50, 2)), "no termina con el byte 0x0D"},
      {"record length too long", patched(10, Le(12, 2)), "no es la suma"},
      {"field beyond the record", patched(32 + 32 + 16, "\x40"), "no es la suma"},
      {"binary field of the wrong size",
       testing::ShortHeaderTable(0x03, {{"A", 'I', 3}}, {" abc"}, 1), "mide 3 bytes"},
      {"no fields", testing::ShortHeaderTable(0x03, {}, {}, 0), "no tiene campos"},
      {"field length 0",
       testing::ShortHeaderTable(0x03, {{"A", 'C', 0}, {"B", 'C', 2}}, {" ab"}, 1), "longitud 0"},
      {"nameless field", patched(32, std::string(1, '\0')), "no tiene un nombre válido"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / "R.DBF", c.bytes);
    try {
      Table::Open(folder / "R.DBF", OpenMode::kShared, "C:\\KTEMP\\R.DBF");
      ADD_FAILURE() << "opened";
    } catch (const Error& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind("La tabla C:\\KTEMP\\R.DBF no es una tabla dBase válida: ", 0), 0u)
          << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
  }
}

// Reads everything a table offers, in every way the engine reads it.
void ReadEverything(Table& table) {
  for (table.First(); !table.Eof(); table.Next()) {
    for (const FieldInfo& f : table.Fields()) {
      table.GetText(f.name);
      try {
        table.GetInteger(f.name);
        table.GetFloat(f.name);
      } catch (const Error&) {
      }
    }
  }
}

// Damaged files of every kind: each either reads or is refused with an Error, never read out of
// bounds (the sanitizer build checks the "never").
TEST(TableReadTest, DamagedFilesAreReadOrRefusedNeverOverrun) {
  TempFolder folder;
  const std::vector<RawField> fields = {
      {"A", 'C', 3}, {"N", 'N', 5, 2}, {"I", 'I', 4}, {"D", 'D', 8}, {"L", 'L', 1}};
  const std::string row = " abc 1.50" + Le(7, 4) + "20240101T";
  const std::vector<std::string> originals = {
      testing::ShortHeaderTable(0x03, fields, {row, row}, 2),
      testing::Level7Table({{"A", 'C', 3}, {"I", 'I', 4}, {"O", 'O', 8}, {"T", '@', 8}},
                           {" abc" + std::string(20, '\x80')}),
  };
  std::mt19937 random(20240517);
  int refused = 0;
  for (const std::string& original : originals) {
    for (int round = 0; round < 600; ++round) {
      std::string bytes = original;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int c = 0; c < changes; ++c) {
        // Mostly the header, where the lengths and descriptors are.
        const std::size_t limit =
            random() % 4 == 0 ? bytes.size() : std::min<std::size_t>(bytes.size(), 180);
        bytes[random() % limit] = static_cast<char>(random() % 256);
      }
      if (random() % 8 == 0) bytes.resize(random() % bytes.size());
      WriteBytes(folder / "M.DBF", bytes);
      try {
        Table table = Table::Open(folder / "M.DBF", OpenMode::kShared, "M.DBF");
        ReadEverything(table);
      } catch (const Error&) {
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(TableReadTest, RecordCountBeyondTheFileReadsTheCompleteRows) {
  TempFolder folder;
  std::string bytes =
      testing::ShortHeaderTable(0x03, {{"A", 'C', 3}}, {" one", " two", " thr"}, 1000);
  bytes.resize(bytes.size() - 3);  // the last row cut short, no EOF mark
  WriteBytes(folder / "T.DBF", bytes);
  Table table = Table::Open(folder / "T.DBF", OpenMode::kShared, "T.DBF");
  EXPECT_EQ(table.RecordCount(), 2);
  EXPECT_EQ(ReadAllText(table), (std::vector<std::vector<std::string>>{{"one"}, {"two"}}));

  // Appending writes after the complete rows and fixes the count.
  table.Append();
  table.SetText("A", "new");
  table.Post();
  table.Close();
  Table again = Table::Open(folder / "T.DBF", OpenMode::kShared, "T.DBF");
  EXPECT_EQ(ReadAllText(again), (std::vector<std::vector<std::string>>{{"one"}, {"two"}, {"new"}}));
}

TEST(TableReadTest, TablesWrittenByPythonDbf) {
  if (std::system("/usr/bin/python3 -c 'import dbf' 2>/dev/null") != 0) {
    GTEST_SKIP() << "python3-dbf is not installed (Debian package python3-dbf)";
  }
  TempFolder folder;
  const std::string script = R"(
import datetime, sys, dbf
folder = sys.argv[1]
t = dbf.Table(folder + '/PY3.DBF', 'NOMBRE C(12); NUM N(11,0); IMPORTE N(19,4); ACTIVO L; FECHA D',
              dbf_type='db3', codepage='cp1252')
t.open(dbf.READ_WRITE)
t.append(('Zoë €uro', -5, 12.5, True, datetime.date(2024, 3, 7)))
t.append(('máx', 2147483647, -0.0001, False, None))
t.append(('borrada', 1, 1, None, None))
dbf.delete(t[2])
t.append(('', None, None, None, None))
t.close()
v = dbf.Table(folder + '/VFP.DBF', 'PROF C(4); DIA I; PRECIO B', dbf_type='vfp', codepage='cp1252')
v.open(dbf.READ_WRITE)
v.append(('P1', 1, 1.5))
v.append(('P2', -7, -2.25))
v.close()
)";
  testing::WriteBytes(folder / "make.py", script);
  const std::string command =
      "/usr/bin/python3 " + (folder / "make.py").string() + " " + folder.path().string();
  ASSERT_EQ(std::system(command.c_str()), 0);

  Table table = Table::Open(folder / "PY3.DBF", OpenMode::kShared, "PY3.DBF");
  const std::vector<std::vector<std::string>> expected = {
      {"Zo\xEB \x80uro", "-5", "12.5", "T", "2024-03-07"},
      {"m\xE1x", "2147483647", "-0.0001", "F", ""},
      {"", "", "", "", ""},
  };
  EXPECT_EQ(ReadAllText(table), expected);
  Table vfp = Table::Open(folder / "VFP.DBF", OpenMode::kShared, "VFP.DBF");
  EXPECT_EQ(ReadAllText(vfp),
            (std::vector<std::vector<std::string>>{{"P1", "1", "1.5"}, {"P2", "-7", "-2.25"}}));
}

}  // namespace
}  // namespace orvida::dbase
