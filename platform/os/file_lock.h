#pragma once

#include <filesystem>
#include <string>

namespace orvida::os {

enum class LockKind { kShared, kExclusive };

// An open file descriptor holding an advisory whole-file lock (open file description locks on
// Linux), so that two handles in one process exclude each other as two processes do. The lock
// is taken at once or refused at once: a refusal throws InUseError with `refused_message`.
// Other failures to open throw Error naming `display_name`.
class LockedFile {
 public:
  LockedFile() = default;
  // Opens `path` read-write; for kShared a file that may only be read is opened read-only
  // instead. The descriptor is closed on exec, so programs started later do not inherit locks.
  LockedFile(const std::filesystem::path& path, LockKind kind, const std::string& display_name,
             const std::string& refused_message);
  LockedFile(LockedFile&& other) noexcept;
  LockedFile& operator=(LockedFile&& other) noexcept;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  ~LockedFile();

  int fd() const { return fd_; }
  bool is_open() const { return fd_ >= 0; }
  void Close();

 private:
  int fd_ = -1;
};

// True when another handle holds a lock on `path` that conflicts with `kind`
// (the file is not changed and no lock is kept).
bool IsLocked(const std::filesystem::path& path, LockKind kind);

}  // namespace orvida::os
