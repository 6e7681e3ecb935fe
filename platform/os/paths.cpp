#include "platform/os/paths.h"

#include <algorithm>
#include <system_error>

#include "platform/os/error.h"

namespace orvida::os {
namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNameIgnoreAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool EntryExists(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::symlink_status(p, ec).type() != std::filesystem::file_type::not_found &&
         !ec;
}

}  // namespace

std::filesystem::path DriveCFolder(const DriveCEnvironment& env) {
  if (env.transorvida_drive_c && !env.transorvida_drive_c->empty()) {
    return std::filesystem::path(*env.transorvida_drive_c);
  }
  if (env.wineprefix && !env.wineprefix->empty()) {
    return std::filesystem::path(*env.wineprefix) / "drive_c";
  }
  if (env.home && !env.home->empty()) {
    return std::filesystem::path(*env.home) / ".wine" / "drive_c";
  }
  throw Error(
      "No se sabe qué carpeta hace de unidad C: (HOME no está definida); indíquela con "
      "TRANSORVIDA_DRIVE_C");
}

std::filesystem::path MapWindowsPath(std::string_view windows_path,
                                     const std::filesystem::path& drive_c) {
#ifdef _WIN32
  (void)drive_c;
  return std::filesystem::path(std::string(windows_path));
#else
  // A path that is already this system's own absolute path needs no mapping.
  if (!windows_path.empty() && windows_path.front() == '/') {
    return std::filesystem::path(std::string(windows_path));
  }
  std::string_view rest = windows_path;
  if (rest.size() >= 2 && rest[1] == ':' &&
      ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'))) {
    char drive = static_cast<char>(rest[0] & ~0x20);
    if (drive != 'C') {
      throw Error(std::string("La unidad ") + drive + ": no está disponible en este equipo");
    }
    rest.remove_prefix(2);
  } else if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
    throw Error("La ruta de red " + std::string(windows_path) +
                " no está disponible en este equipo");
  }

  // Every component is looked up among the entries that exist, as Windows matches names
  // regardless of case; a component that does not exist (a file about to be created) keeps
  // the caller's spelling, and so does everything below it.
  std::filesystem::path result = drive_c;
  bool resolving = true;
  int depth = 0;
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t end = pos;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::string_view component = rest.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      // Never climbs above the folder that stands for the drive's root.
      if (depth > 0) {
        result = result.parent_path();
        --depth;
        resolving = EntryExists(result);
      }
      continue;
    }
    ++depth;
    if (resolving) {
      if (auto found = FindEntryIgnoreCase(result, component)) {
        result = *found;
        continue;
      }
      resolving = false;
    }
    result /= std::string(component);
  }
  return result;
#endif
}

std::optional<std::filesystem::path> FindEntryIgnoreCase(const std::filesystem::path& folder,
                                                         std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::filesystem::path exact = folder / std::string(name);
  if (EntryExists(exact)) return exact;
  std::vector<std::filesystem::path> all = FindAllEntriesIgnoreCase(folder, name);
  if (all.empty()) return std::nullopt;
  return all.front();
}

std::vector<std::filesystem::path> FindAllEntriesIgnoreCase(const std::filesystem::path& folder,
                                                            std::string_view name) {
  std::vector<std::filesystem::path> found;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return found;
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (SameNameIgnoreAsciiCase(it->path().filename().native(), name)) {
      found.push_back(it->path());
    }
  }
  // Directory order is arbitrary; a fixed order makes the choice among case variants repeatable.
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace orvida::os
