#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// Plain file access for the table engine: whole reads, positioned writes and replacing a file in
// one step, each failure reported as orvida::Error naming the file as the user knows it.
namespace orvida::dbase::internal {

// An owned POSIX file descriptor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release();
  void Reset();

 private:
  int fd_ = -1;
};

// Opens `path` for reading only.
UniqueFd OpenReadOnly(const std::filesystem::path& path, const std::string& shown_name);
// Opens `path` for reading and writing (no creation).
UniqueFd OpenReadWrite(const std::filesystem::path& path, const std::string& shown_name);

std::uint64_t FileSize(int fd, const std::string& shown_name);
// Reads everything from offset 0.
std::string ReadAll(int fd, const std::string& shown_name);
// Reads up to `size` bytes at `offset`; fewer only at the end of the file.
std::string ReadAt(int fd, std::uint64_t offset, std::size_t size, const std::string& shown_name);
void Truncate(int fd, std::uint64_t size, const std::string& shown_name);
void WriteAt(int fd, std::uint64_t offset, std::string_view bytes, const std::string& shown_name);

// Writes `bytes` to a new file beside `path` and renames it over `path`, so that a reader sees
// either the old file or the new one, never half of it.
void ReplaceFile(const std::filesystem::path& path, std::string_view bytes,
                 const std::string& shown_name);

}  // namespace orvida::dbase::internal
