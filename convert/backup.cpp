#include "convert/backup.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <system_error>
#include <utility>

#include "platform/os/error.h"
#include "platform/os/file_lock.h"
#include "platform/os/paths.h"

namespace orvida::convert {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBackupsFolder = "copias";
constexpr int kMaxSuffix = 1000;  // backups made within one second

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The order of backup folders: by time stamp, then by suffix ("-2" after none).
std::pair<std::string, long> OrderKey(const std::string& name) {
  const std::string stamp = name.substr(0, 15);
  const long suffix = name.size() > 16 ? std::stol(name.substr(16)) : 1;
  return {stamp, suffix};
}

// A reason taken from another message, to follow a colon: its first word in lower case
// ("La tabla ..." gives "la tabla ..."; "C:\KTEMP ..." stays).
std::string AfterColon(std::string reason) {
  if (reason.size() > 1 && reason[0] >= 'A' && reason[0] <= 'Z' && reason[1] >= 'a' &&
      reason[1] <= 'z') {
    reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
  }
  return reason;
}

// The files of one table: every spelling of <NAME>.DBF and <NAME>.MDX.
struct TableFiles {
  std::vector<fs::path> dbfs;
  std::vector<fs::path> files;  // the .DBF files and then the .MDX files
};

std::vector<TableFiles> ExistingTables(const fs::path& folder) {
  std::vector<TableFiles> tables;
  for (const formats::TableSpec& spec : formats::TableCatalogue()) {
    TableFiles table{os::FindAllEntriesIgnoreCase(folder, spec.name + ".DBF"), {}};
    table.files = table.dbfs;
    for (const fs::path& mdx : os::FindAllEntriesIgnoreCase(folder, spec.name + ".MDX")) {
      table.files.push_back(mdx);
    }
    if (!table.files.empty()) tables.push_back(std::move(table));
  }
  return tables;
}

// Copies `from` to the new file `to` byte for byte, and makes the copy durable before the
// table it stands for is deleted. The error is the system's own (a full disk, a file size
// limit), not a generic one.
void CopyFile(const fs::path& from, const fs::path& to, std::error_code& ec) {
  const auto fail = [&] { ec.assign(errno, std::generic_category()); };
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return fail();
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) {
    fail();
    ::close(in);
    return;
  }
  char buffer[1 << 16];
  for (;;) {
    ssize_t count = ::read(in, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      if (count < 0) fail();
      break;
    }
    for (ssize_t done = 0; done < count && !ec;) {
      const ssize_t written = ::write(out, buffer + done, static_cast<std::size_t>(count - done));
      if (written < 0 && errno != EINTR) fail();
      if (written > 0) done += written;
    }
    if (ec) break;
  }
  if (!ec && ::fsync(out) != 0) fail();
  if (::close(out) != 0 && !ec) fail();
  ::close(in);
}

// The folder that holds the backups, made when it does not exist (`created` tells).
fs::path BackupsFolder(const formats::WorkingFolder& folder, bool& created) {
  fs::path copias = folder.folder() / std::string(kBackupsFolder);
  if (auto found = os::FindEntryIgnoreCase(folder.folder(), kBackupsFolder)) copias = *found;
  const std::string shown = folder.ShownPath(copias.filename().string());
  std::error_code ec;
  if (fs::is_directory(copias, ec)) return copias;
  if (fs::exists(copias, ec)) {
    throw Error("Ya existe un archivo " + shown + " que no es una carpeta");
  }
  created = fs::create_directory(copias, ec);
  if (ec) {
    throw Error("No se puede crear la carpeta " + shown + ": " + DescribeSystemError(ec.value()));
  }
  return copias;
}

// A new empty folder for this backup: the time stamp, with a suffix when it exists already.
fs::path NewBackupFolder(const formats::WorkingFolder& folder, const fs::path& copias,
                         const std::string& stamp, std::string& name) {
  for (int n = 1; n <= kMaxSuffix; ++n) {
    name = n == 1 ? stamp : stamp + "-" + std::to_string(n);
    std::error_code ec;
    if (fs::create_directory(copias / name, ec)) return copias / name;
    if (ec) {
      throw Error("No se puede crear la carpeta " +
                  folder.ShownPath(copias.filename().string() + "/" + name) + ": " +
                  DescribeSystemError(ec.value()));
    }
  }
  throw Error("Ya hay " + std::to_string(kMaxSuffix) + " copias de seguridad de " + stamp + " en " +
              folder.ShownPath(copias.filename().string()));
}

// Deletes the oldest backup folders beside `kept` so that kBackupsKept remain.
std::vector<std::string> PruneBackups(const formats::WorkingFolder& folder, const fs::path& copias,
                                      const std::string& kept) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(copias, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code type_ec;
    if (name != kept && IsBackupFolderName(name) && it->is_directory(type_ec)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return OrderKey(a) > OrderKey(b); });
  std::vector<std::string> warnings;
  for (std::size_t i = kBackupsKept - 1; i < names.size(); ++i) {
    std::error_code remove_ec;
    fs::remove_all(copias / names[i], remove_ec);
    if (remove_ec) {
      warnings.push_back("No se puede borrar la copia de seguridad antigua " +
                         folder.ShownPath(copias.filename().string() + "/" + names[i]) + ": " +
                         DescribeSystemError(remove_ec.value()));
    }
  }
  return warnings;
}

}  // namespace

std::string BackupFolderName(std::chrono::system_clock::time_point when) {
  const std::time_t time = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&time, &local);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return std::string(text, length);
}

bool IsBackupFolderName(const std::string& name) {
  const std::string_view text(name);
  if (text.size() < 15 || !IsDigits(text.substr(0, 8)) || text[8] != '-' ||
      !IsDigits(text.substr(9, 6))) {
    return false;
  }
  if (text.size() == 15) return true;
  const std::string_view suffix = text.substr(16);
  return text[15] == '-' && suffix.size() <= 9 && IsDigits(suffix);
}

BackupResult BackupWorkingTables(const formats::WorkingFolder& folder, const os::Clock& clock) {
  BackupResult result;
  std::error_code ec;
  // A missing working folder holds nothing to copy; the run itself names it.
  if (!fs::is_directory(folder.folder(), ec)) return result;
  const std::vector<TableFiles> tables = ExistingTables(folder.folder());
  if (tables.empty()) return result;

  fs::path copias;
  bool created_copias = false;
  fs::path target;
  // A failed backup leaves nothing behind: neither its folder nor a copias folder it made.
  auto stop = [&](const std::string& reason) {
    if (!target.empty()) fs::remove_all(target, ec);
    if (created_copias) fs::remove(copias, ec);
    const std::string& where = result.shown_folder;
    return "No se puede hacer la copia de seguridad de las tablas de trabajo" +
           (where.empty() ? std::string() : " en " + where) + ": " + AfterColon(reason) +
           ". No se ha borrado ninguna tabla.";
  };
  try {
    // Every table held shared until its copy is made: a program that holds one exclusive may be
    // writing it, and stops the backup (and the action) here.
    std::vector<os::LockedFile> held;
    for (const TableFiles& table : tables) {
      for (const fs::path& dbf : table.dbfs) {
        const std::string shown = folder.ShownPath(dbf.filename().string());
        held.emplace_back(dbf, os::LockKind::kShared, shown,
                          "La tabla " + shown + " está abierta en otro programa");
      }
    }
    copias = BackupsFolder(folder, created_copias);
    std::string name;
    target = NewBackupFolder(folder, copias, BackupFolderName(clock()), name);
    result.shown_folder = folder.ShownPath(copias.filename().string() + "/" + name);
    for (const TableFiles& table : tables) {
      for (const fs::path& file : table.files) {
        const std::string shown = folder.ShownPath(file.filename().string());
        CopyFile(file, target / file.filename(), ec);
        if (ec) throw Error("No se puede copiar " + shown + ": " + DescribeSystemError(ec.value()));
      }
      ++result.tables;
    }
    // The new folder's entries reach the disk before any table goes.
    const int directory = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0 || ::fsync(directory) != 0) {
      const int error = errno;
      if (directory >= 0) ::close(directory);
      throw Error("No se puede escribir en " + result.shown_folder + ": " +
                  DescribeSystemError(error));
    }
    ::close(directory);
    held.clear();
    result.folder = target;
    result.warnings = PruneBackups(folder, copias, name);
    return result;
  } catch (const InUseError& error) {
    throw InUseError(stop(error.what()));
  } catch (const Error& error) {
    throw Error(stop(error.what()));
  }
}

}  // namespace orvida::convert
