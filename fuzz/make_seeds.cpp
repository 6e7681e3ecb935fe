// Writes the dBase seeds of the fuzz corpus into a folder: tables with production indexes as the
// engine writes them (text and numeric tags, a two-level tree, an empty tree) and tables of the
// other dBase levels and FoxPro variants the reader knows, built byte by byte. make_corpus.py
// packs them, with the working tables of the sample school, into fuzz/corpus/.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "platform/dbase/table.h"
#include "platform/os/error.h"
#include "tests/platform/dbase/dbase_test_support.h"

namespace {

namespace fs = std::filesystem;
using orvida::dbase::FieldType;
using orvida::dbase::OpenMode;
using orvida::dbase::Table;
using orvida::dbase::testing::Be;
using orvida::dbase::testing::Le;
using orvida::dbase::testing::RawField;

std::uint64_t DoubleBits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Text and numeric tags side by side; values with quotes, blanks, signs and decimals.
void IndexedTable(const fs::path& folder) {
  const fs::path dbf = folder / "INDICES.DBF";
  orvida::dbase::CreateTable(dbf,
                             {{"CODIGO", FieldType::kText, 10},
                              {"NOMBRE", FieldType::kText, 30},
                              {"HORAS", FieldType::kInteger},
                              {"PESO", FieldType::kFloat},
                              {"ACTIVA", FieldType::kLogical}},
                             {{"CODIGO", "CODIGO"}, {"HORAS", "HORAS"}, {"PESO", "PESO"}},
                             "INDICES.DBF");
  Table table = Table::Open(dbf, OpenMode::kExclusive, "INDICES.DBF");
  const struct {
    const char* codigo;
    const char* nombre;
    std::int32_t horas;
    double peso;
  } rows[] = {{"MAT", "Matem\xE1ticas", 4, 1.5},
              {"LEN", "Lengua", 4, -0.25},
              {"ING", "Ingl\xE9s", 3, 0.0},
              {"MAT", "O'Neill", -2147483647, 12345.6789},
              {"", "", 0, -99999.0001},
              {"EF", "Educaci\xF3n F\xEDsica", 2, 2.5},
              {"zz top", "min\xFAsculas", 2147483647, 1e-4}};
  for (const auto& row : rows) {
    table.Append();
    table.SetText("CODIGO", row.codigo);
    table.SetText("NOMBRE", row.nombre);
    table.SetInteger("HORAS", row.horas);
    table.SetFloat("PESO", row.peso);
    table.SetLogical("ACTIVA", row.horas % 2 == 0);
    table.Post();
  }
}

// Enough keys for leaves under an interior node.
void TwoLevelTree(const fs::path& folder) {
  const fs::path dbf = folder / "ARBOL.DBF";
  orvida::dbase::CreateTable(dbf, {{"CLAVE", FieldType::kText, 4}, {"N", FieldType::kInteger}},
                             {{"CLAVE", "CLAVE"}, {"N", "N"}}, "ARBOL.DBF");
  Table table = Table::Open(dbf, OpenMode::kExclusive, "ARBOL.DBF");
  for (int i = 0; i < 150; ++i) {
    table.Append();
    table.SetText("CLAVE", std::to_string((i * 37) % 101));
    table.SetInteger("N", 150 - i);
    table.Post();
  }
}

void EmptyIndexedTable(const fs::path& folder) {
  orvida::dbase::CreateTable(folder / "VACIA.DBF", {{"CODIGO", FieldType::kText, 8}},
                             {{"CODIGO", "CODIGO"}}, "VACIA.DBF");
}

void ByteBuiltTables(const fs::path& folder) {
  using orvida::dbase::testing::Level7Table;
  using orvida::dbase::testing::ShortHeaderTable;
  using orvida::dbase::testing::WriteBytes;

  // dBase III: every classic type, a deleted row, a count beyond the rows stored.
  auto row = [](char flag, std::string name, std::string cnt, std::string amt, char logical,
                std::string date, std::string memo) {
    name.resize(10, ' ');
    cnt.insert(0, 11 - cnt.size(), ' ');
    amt.insert(0, 20 - amt.size(), ' ');
    return std::string(1, flag) + name + cnt + amt + logical + date + memo;
  };
  WriteBytes(
      folder / "DBASE3.DBF",
      ShortHeaderTable(
          0x83,
          {{"NOMBRE", 'C', 10},
           {"CNT", 'N', 11},
           {"AMT", 'F', 20, 6},
           {"FLAG", 'L', 1},
           {"DIA", 'D', 8},
           {"NOTA", 'M', 10}},
          {row(' ', "Ana", "1", "1.500000", 'T', "20240307", "         1"),
           row('*', "Borrada", "9", "9.000000", 'F', "        ", "          "),
           row(' ', "Zo\xEB \x80", "-2147483648", "-0.000123", 'f', "00000000", "          "),
           row(' ', "m\xE1x", "2147483648", "***", '?', "2024-3-7", "        12"),
           row(' ', "", "", "", ' ', "        ", "          ")},
          7));

  // Visual FoxPro: backlink, little-endian binary fields, a timestamp, the hidden null flags.
  WriteBytes(
      folder / "VFOX.DBF",
      ShortHeaderTable(
          0x30,
          {{"PROF", 'C', 4},
           {"DIA", 'I', 4},
           {"PRECIO", 'B', 8},
           {"PAGO", 'Y', 8},
           {"CUANDO", 'T', 8},
           {"ACTIVO", 'L', 1},
           {"_NullFlags", '0', 1}},
          {" P1  " + Le(1, 4) + Le(DoubleBits(1.5), 8) + Le(123456, 8) + Le(2460377, 4) +
               Le(45296000, 4) + "T" + '\0',
           " P2  " + Le(static_cast<std::uint32_t>(-7), 4) + Le(DoubleBits(-2.25), 8) +
               Le(static_cast<std::uint64_t>(-5000), 8) + std::string(8, '\0') + "F" + '\x01'},
          2, std::string(263, '\0'), 0x03));

  // dBase 7: 48-byte descriptors, big-endian sortable binary fields, a timestamp.
  auto sortable_double = [](double v) {
    const std::uint64_t bits = DoubleBits(v);
    return Be(v < 0 ? ~bits : bits | 0x8000000000000000ull, 8);
  };
  const std::string epoch = Be(DoubleBits(62135683200000.0), 8);
  WriteBytes(folder / "DBASE7.DBF",
             Level7Table({{"NOMBRE_LARGO_DE_CAMPO", 'C', 6},
                          {"DIA", 'I', 4},
                          {"IMPORTE", 'O', 8},
                          {"NUMERO", '+', 4},
                          {"CUANDO", '@', 8},
                          {"HORA", 'N', 3}},
                         {" Ana   " + Be(0x80000001, 4) + sortable_double(1.5) + Be(0x80000007, 4) +
                              epoch + "  3",
                          " Nulo  " + std::string(4, '\0') + std::string(8, '\0') +
                              Be(0x80000009, 4) + std::string(8, '\0') + "   "}));

  // FoxPro 2 with a character field over 255 (its high byte where the decimals go).
  std::string long_text(300, 'x');
  long_text.replace(0, 5, "largo");
  std::string fox = ShortHeaderTable(0xF5, {{"TEXTO", 'C', 300 & 0xFF, 300 >> 8}, {"N", 'N', 2}},
                                     {" " + long_text + " 7"}, 1);
  fox.replace(10, 2, Le(1 + 300 + 2, 2));  // the record length counts the whole field
  WriteBytes(folder / "FOXLARGO.DBF", fox);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Uso: fuzz_make_seeds CARPETA\n";
    return 2;
  }
  const fs::path folder = argv[1];
  try {
    fs::create_directories(folder);
    IndexedTable(folder);
    TwoLevelTree(folder);
    EmptyIndexedTable(folder);
    ByteBuiltTables(folder);
  } catch (const orvida::Error& error) {
    std::cerr << "error: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
