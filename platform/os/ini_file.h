#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvida::os {

// Sets `key` in `[section]` of a classic initialisation file to `value`, as Windows'
// WritePrivateProfileString does, leaving every other byte as it was: comments, other sections
// and keys, their order, each line's own end of line, the file's permissions. Section and key
// names match ignoring ASCII case. A missing file or section is created; a new key goes after
// the section's last non-blank line. The file is replaced atomically (temporary file + rename).
// Throws Error("Unable to write to <path>") when the file cannot be written.
void WriteIniString(const std::filesystem::path& file, std::string_view section,
                    std::string_view key, std::string_view value);

// Reads the value of `key` in `[section]`, or `fallback` when either is missing.
std::string ReadIniString(const std::filesystem::path& file, std::string_view section,
                          std::string_view key, std::string_view fallback = {});

}  // namespace orvida::os
