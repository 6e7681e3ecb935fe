#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/working_tables.h"
#include "platform/os/local_time.h"

namespace orvida::convert {

// How many backup folders stay in <working folder>/copias; older ones are deleted.
inline constexpr int kBackupsKept = 10;

struct BackupResult {
  std::filesystem::path folder;  // the new backup folder; empty when no table existed
  std::string shown_folder;      // the same as messages name it ("C:\KTEMP\copias\...")
  int tables = 0;                // tables copied (each with its .MDX when it has one)
  // Old backup folders that could not be deleted, each with the reason; the backup itself
  // is complete all the same.
  std::vector<std::string> warnings;
};

// The backup before exportar rebuilds the working tables: copies every table of the catalogue
// that exists (ASIGNOMT, PROFT, AULAT, CURSOST, GRUPOST, ASIGT, DIASHORAST, DIASHORAST2; every
// spelling of <NAME>.DBF and <NAME>.MDX, under its own name; SOLUC is the host's and is not
// copied) into <folder>/copias/AAAAMMDD-HHMMSS, the local time of `clock`, with "-2", "-3" ...
// added when that folder exists. Every table is held shared while the copies are made, so a
// table another program holds exclusive stops the backup. Then the oldest backup folders are
// deleted so that kBackupsKept remain (the new one always among them); only folders named as a
// backup are ever deleted.
//
// When anything fails, the new folder is removed and an Error says what failed, before any
// table is touched. When no table exists nothing is copied and no folder is made.
BackupResult BackupWorkingTables(const formats::WorkingFolder& folder, const os::Clock& clock);

// "20250915-083000": the name of a backup made at `when` (local time), without its suffix.
std::string BackupFolderName(std::chrono::system_clock::time_point when);

// True for a name a backup folder gets ("20250915-083000", "20250915-083000-2").
bool IsBackupFolderName(const std::string& name);

}  // namespace orvida::convert
