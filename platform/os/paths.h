#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvida::os {

// The folder that stands for drive C: on this machine. Library code never reads the
// environment itself: app/ and cli/ pass the values in.
//   TRANSORVIDA_DRIVE_C if set and not empty; otherwise the Wine prefix's drive_c
//   ($WINEPREFIX, default $HOME/.wine).
struct DriveCEnvironment {
  std::optional<std::string> transorvida_drive_c;
  std::optional<std::string> wineprefix;
  std::optional<std::string> home;
};
std::filesystem::path DriveCFolder(const DriveCEnvironment& env);

// Maps a Windows path ("C:\KTEMP\SOLUC.DBF", "c:\ktemp\sauce", "\VLMRM8\ALDRENA.chm" — a path
// without a drive is on drive C) into `drive_c`. Each component is looked up case-insensitively
// among the entries that exist, as Windows would; components that do not exist keep their
// spelling. On Windows the path is used as it stands.
std::filesystem::path MapWindowsPath(std::string_view windows_path,
                                     const std::filesystem::path& drive_c);

// The entry of `folder` whose name equals `name` ignoring ASCII case, if there is one
// (the exact spelling wins when several exist).
std::optional<std::filesystem::path> FindEntryIgnoreCase(const std::filesystem::path& folder,
                                                         std::string_view name);

// Every entry of `folder` whose name equals `name` ignoring ASCII case (all case variants).
std::vector<std::filesystem::path> FindAllEntriesIgnoreCase(const std::filesystem::path& folder,
                                                            std::string_view name);

}  // namespace orvida::os
