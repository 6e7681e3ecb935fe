#include "platform/os/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "platform/os/error.h"

namespace orvida::os {
namespace {

// The file is handled as bytes: names are matched in ASCII and every other byte, whatever its
// character set, is copied through untouched.
struct Line {
  std::string_view text;  // without its end of line
  std::string_view eol;   // "\r\n", "\n", or empty for a last line without one
};

std::vector<Line> SplitLines(std::string_view data) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < data.size()) {
    size_t nl = data.find('\n', pos);
    if (nl == std::string_view::npos) {
      lines.push_back({data.substr(pos), {}});
      break;
    }
    size_t text_end = nl > pos && data[nl - 1] == '\r' ? nl - 1 : nl;
    lines.push_back({data.substr(pos, text_end - pos), data.substr(text_end, nl + 1 - text_end)});
    pos = nl + 1;
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameAsciiIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view text, bool first_line) {
  if (first_line && text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  text = Trim(text);
  if (text.empty() || text.front() != '[') return std::nullopt;
  text.remove_prefix(1);
  size_t close = text.find(']');
  return Trim(text.substr(0, close));
}

struct SectionRange {
  size_t header;  // index of the "[name]" line
  size_t end;     // one past the section's last line
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionName(lines[i].text, i == 0);
    if (!name || !SameAsciiIgnoreCase(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end].text, false)) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

// Where the value of `key` starts on its line (after '=' and the blanks that follow it).
std::optional<size_t> FindKeyValue(std::string_view text, std::string_view key) {
  size_t eq = text.find('=');
  if (eq == std::string_view::npos || !SameAsciiIgnoreCase(Trim(text.substr(0, eq)), key)) {
    return std::nullopt;
  }
  size_t value = eq + 1;
  while (value < text.size() && IsBlank(text[value])) ++value;
  return value;
}

// The end of line most lines use; Windows' own for a file that has none yet.
std::string_view DominantEol(const std::vector<Line>& lines) {
  size_t crlf = 0;
  size_t lf = 0;
  for (const auto& line : lines) {
    if (line.eol == "\r\n") ++crlf;
    if (line.eol == "\n") ++lf;
  }
  return lf > crlf ? "\n" : "\r\n";
}

std::string Join(const std::vector<Line>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out.append(line.text);
    out.append(line.eol);
  }
  return out;
}

std::string Updated(std::string_view original, std::string_view section, std::string_view key,
                    std::string_view value) {
  std::vector<Line> lines = SplitLines(original);
  std::string_view eol = DominantEol(lines);
  std::string new_key_line = std::string(key) + "=" + std::string(value);
  std::string replaced;  // storage for a line that changes, referenced from `lines`

  if (auto range = FindSection(lines, section)) {
    for (size_t i = range->header + 1; i < range->end; ++i) {
      if (auto value_start = FindKeyValue(lines[i].text, key)) {
        // The key keeps its spelling and the blanks around '='; everything after them is the
        // old value (an inline "; comment" included, as Windows reads it).
        replaced = std::string(lines[i].text.substr(0, *value_start)) + std::string(value);
        lines[i].text = replaced;
        return Join(lines);
      }
    }
    size_t after = range->header;
    for (size_t i = range->header + 1; i < range->end; ++i) {
      if (!Trim(lines[i].text).empty()) after = i;
    }
    if (lines[after].eol.empty()) lines[after].eol = eol;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after) + 1, Line{new_key_line, eol});
    return Join(lines);
  }

  if (!lines.empty() && lines.back().eol.empty()) lines.back().eol = eol;
  std::string out = Join(lines);
  out.append("[").append(section).append("]").append(eol);
  out.append(new_key_line).append(eol);
  return out;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, int& error) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return std::nullopt;
  }
  std::string data;
  char buffer[8192];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return data;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

mode_t DefaultFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void CheckName(std::string_view what, std::string_view text, std::string_view forbidden,
               const std::filesystem::path& file) {
  if (text.find_first_of(forbidden) != std::string_view::npos ||
      (what != "valor" && Trim(text).empty())) {
    throw Error("No se puede guardar en " + file.string() + " el " + std::string(what) + " '" +
                std::string(text) + "': no es válido en un archivo de configuración");
  }
}

}  // namespace

void WriteIniString(const std::filesystem::path& file, std::string_view section,
                    std::string_view key, std::string_view value) {
  CheckName("sección", section, "]\r\n", file);
  CheckName("nombre", key, "=\r\n", file);
  CheckName("valor", value, "\r\n", file);

  const Error unable("Unable to write to " + file.string());
  // A link is followed, so that the file it names is updated and the link stays a link.
  std::error_code ec;
  std::filesystem::path target = file;
  if (std::filesystem::is_symlink(file, ec)) {
    target = std::filesystem::weakly_canonical(file, ec);
    if (ec) throw unable;
  }

  struct stat st {};
  bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) throw unable;
  std::string original;
  if (exists) {
    // A file without any write permission is read-only, as Windows' read-only attribute, even
    // for a user whose privileges would let the write through.
    if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
      throw unable;
    }
    int error = 0;
    auto data = ReadWholeFile(target, error);
    if (!data) throw unable;
    original = std::move(*data);
  }

  std::string updated = Updated(original, section, key, value);
  if (exists && updated == original) return;

  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) throw unable;
  mode_t mode = exists ? (st.st_mode & 07777) : DefaultFileMode();
  bool ok = WriteAll(fd, updated) && ::fchmod(fd, mode) == 0;
  if (ok && exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
    // Keeps the owner when a privileged user updates someone else's file; failing that, the
    // permission bits are still kept.
    (void)!::fchown(fd, st.st_uid, st.st_gid);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw unable;
  }
  int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);
    ::close(dir_fd);
  }
}

std::string ReadIniString(const std::filesystem::path& file, std::string_view section,
                          std::string_view key, std::string_view fallback) {
  int error = 0;
  auto data = ReadWholeFile(file, error);
  if (!data) return std::string(fallback);
  std::vector<Line> lines = SplitLines(*data);
  if (auto range = FindSection(lines, section)) {
    for (size_t i = range->header + 1; i < range->end; ++i) {
      if (auto value_start = FindKeyValue(lines[i].text, key)) {
        return std::string(Trim(lines[i].text.substr(*value_start)));
      }
    }
  }
  return std::string(fallback);
}

}  // namespace orvida::os
