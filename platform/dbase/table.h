#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvida::dbase {

// 8-bit text as stored in the tables (Windows-1252).
using AnsiString = std::string;

// The field types a table is created with.
enum class FieldType {
  kText,     // C, n characters
  kInteger,  // N 11.0
  kFloat,    // N 20.4
  kLogical,  // L
};

struct FieldDef {
  std::string name;  // at most 10 ASCII characters
  FieldType type = FieldType::kText;
  int size = 0;  // characters, for kText only
};

// One tag of the production index (<NAME>.MDX); the key is the value of `field`, ascending,
// not unique.
struct IndexDef {
  std::string name;
  std::string field;
};

// A field as found in a table on disk (any dBase level or FoxPro variant the reader knows).
struct FieldInfo {
  std::string name;
  char type = 'C';  // the type letter on disk: C N F L D I O + @ ...
  int length = 0;
  int decimals = 0;
};

// The lock is taken on the .DBF and stands for its .MDX too. It is advisory (an open file
// description lock): it excludes this engine's handles in any process, not a program that opens
// the files without asking, such as a host running under Wine.
enum class OpenMode {
  kShared,     // several handles may read and write; refused while someone holds it exclusive
  kExclusive,  // refused at once while any other handle, in this or another process, holds it
};

// Creates a new empty table file `dbf` (dBase IV layout: version 0x03, language driver 0x58,
// Windows-1252) with `fields`, and its production index <NAME>.MDX when `indexes` is not empty,
// replacing any file of that name. `shown_name` names the table in messages.
void CreateTable(const std::filesystem::path& dbf, const std::vector<FieldDef>& fields,
                 const std::vector<IndexDef>& indexes, const std::string& shown_name);

// An open table. Reading: first/next/eof over the rows in natural order, in the order of an
// index tag, or through a filter. Writing: Append, Set..., Post; every Post leaves a valid file
// on disk (header count = rows written, 0x1A after the last row, the index up to date).
//
// The rows are read into memory when the table is opened; a shared handle that posts first takes
// in the rows other handles appended meanwhile, so that no row is overwritten.
//
// Every failure throws orvida::Error with a Spanish message that names the table (its shown
// name) and, where it applies, the field: a missing field, a malformed header, a table held by
// another program (InUseError: "La tabla C:\KTEMP\X.DBF está abierta en otro programa").
class Table {
 public:
  static Table Open(const std::filesystem::path& dbf, OpenMode mode, const std::string& shown_name);
  Table(Table&& other) noexcept;
  Table& operator=(Table&& other) noexcept;
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  ~Table();  // closes (and releases the lock)

  void Close();
  bool IsOpen() const;
  const std::string& shown_name() const;

  const std::vector<FieldInfo>& Fields() const;
  bool HasField(std::string_view name) const;  // names compare ignoring ASCII case

  // Rows: in natural order, in index order once SetIndexOrder is called, and only the
  // matching rows while a filter is on. Rows marked deleted are skipped. Opening stands on the
  // first row. Next on the last row sets Eof and stays on that row, so the fields still read
  // it; on an empty table the fields read as empty.
  void First();
  void Next();
  bool Eof() const;
  int RecordCount() const;

  // Text without trailing blanks. Numbers in shortest decimal form (" 1" -> "1",
  // "4.0000" -> "4", "-0.5000" -> "-0.5"); logical as "T", "F" or ""; dates as AAAA-MM-DD or "";
  // timestamps as AAAA-MM-DD HH:MM:SS; memo fields (kept in another file) as "".
  AnsiString GetText(std::string_view field) const;
  // An empty field reads as 0. A character field has blanks removed at both ends and is then
  // converted by the platform's integer conversion ("'x' no es un valor entero válido"). A
  // number with decimals is rounded to the nearest whole number, halves away from zero. A
  // logical, date or memo field is an Error.
  std::int32_t GetInteger(std::string_view field) const;
  double GetFloat(std::string_view field) const;

  // Filter of the form  FIELD= 'literal'  (single quotes, doubled inside): compares the stored
  // text without trailing blanks, exact and case-sensitive; an empty expression filters nothing.
  // SetFiltered(true) moves to the first matching row, SetFiltered(false) to the first row. The
  // rows of each value are gathered once per open, so a filter costs only its matches.
  void SetFilter(std::string_view expression);
  void SetFiltered(bool on);

  // Scans in the order of the production index tag named `tag` (equal keys in natural order),
  // read from the .MDX, from the first row. A missing or damaged index is an Error.
  void SetIndexOrder(std::string_view tag);

  // Adds a row at the end; the Set... calls fill it (and the Get... calls read it); Post writes
  // it and stands on it. A row not posted is dropped by the next Append, First, Next, filter or
  // Close. A number that does not fit its field is an Error, never stored as asterisks.
  void Append();
  void SetText(std::string_view field, std::string_view value);  // cut to the field size
  void SetInteger(std::string_view field, std::int32_t value);
  void SetFloat(std::string_view field, double value);
  void SetLogical(std::string_view field, bool value);
  void Post();

  // Write-behind, for filling a table in one go through an exclusive handle: Post keeps up to
  // `rows` new rows in memory and writes them together (the rows, then the header that counts
  // them, then the index) once that many wait, and on Flush, SetIndexOrder, Close and
  // destruction, also while an error unwinds. The file is valid at every moment and counts the
  // rows written so far. 0, the default, writes every row at its Post. A shared handle refuses
  // it, since another handle could append in between.
  void SetWriteBehind(int rows);
  void Flush();

 private:
  struct Impl;
  explicit Table(std::unique_ptr<Impl> impl);
  Impl& Live() const;  // throws Error for a moved-from handle
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvida::dbase
