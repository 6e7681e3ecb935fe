#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dbase/table.h"

namespace orvida::formats {

// A working table as the timetabling program expects it: name, fields (in order, with types
// and sizes) and index tags.
struct TableSpec {
  std::string name;  // upper case, e.g. "ASIGNOMT"
  std::vector<dbase::FieldDef> fields;
  std::vector<dbase::IndexDef> indexes;
};

// The tables the conversion run creates: ASIGNOMT, PROFT, AULAT, CURSOST, GRUPOST, ASIGT,
// DIASHORAST, DIASHORAST2 (with its ORDEN index). SOLUC is read, never created.
const std::vector<TableSpec>& TableCatalogue();
const TableSpec& SpecOf(std::string_view table_name);  // throws Error for an unknown name

// The window tables (exclusive handles of the main window) and the table each one reads.
struct WindowTableInfo {
  std::string_view member;  // "wwTableNomAsg"
  std::string_view table;   // "ASIGNOMT"
};
const std::vector<WindowTableInfo>& WindowTables();

// The working folder (C:\KTEMP), wherever it lies on this machine.
class WorkingFolder {
 public:
  // `folder` is where the tables are; `shown_folder` is how messages name it ("C:\KTEMP").
  explicit WorkingFolder(std::filesystem::path folder, std::string shown_folder = "C:\\KTEMP");

  const std::filesystem::path& folder() const { return folder_; }
  // "C:\KTEMP\ASIGNOMT.DBF"
  std::string ShownName(std::string_view table_name) const;
  // A path inside the folder as messages name it ("copias/x" gives "C:\KTEMP\copias\x").
  std::string ShownPath(std::string_view relative) const;
  // The table's .DBF on disk, found ignoring case; <folder>/<NAME>.DBF when none exists.
  std::filesystem::path DbfPath(std::string_view table_name) const;

  // The creation protocol: takes the exclusive lock of the existing table (a table another
  // program holds stops here with InUseError), deletes every case variant of <NAME>.DBF and
  // <NAME>.MDX, and creates the empty table (upper-case file names) with the spec's fields
  // and indexes. A missing folder is an Error naming it.
  void CreateTable(const TableSpec& spec) const;

  // A run-time table: the step's own shared handle for filling a table.
  dbase::Table OpenRunTime(std::string_view table_name) const;
  // A window table: an exclusive handle for reading.
  dbase::Table OpenWindow(std::string_view table_name) const;

 private:
  std::filesystem::path folder_;
  std::string shown_folder_;
};

}  // namespace orvida::formats
