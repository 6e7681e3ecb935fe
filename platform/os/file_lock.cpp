#include "platform/os/file_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/os/error.h"

namespace orvida::os {
namespace {

// The whole file, present and future bytes alike (l_len 0 reaches past the end).
struct flock WholeFile(short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  fl.l_pid = 0;  // open file description locks require 0
  return fl;
}

int OpenForLock(const std::filesystem::path& path, LockKind kind) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  // A shared holder normally writes too (appending rows to a run-time table), but a file it
  // may only read can still be held shared for reading.
  if (fd < 0 && kind == LockKind::kShared && (errno == EACCES || errno == EROFS)) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  }
  return fd;
}

}  // namespace

LockedFile::LockedFile(const std::filesystem::path& path, LockKind kind,
                       const std::string& display_name, const std::string& refused_message) {
  int fd = OpenForLock(path, kind);
  if (fd < 0) {
    throw Error("No se puede abrir " + display_name + ": " + DescribeSystemError(errno));
  }
  struct flock fl = WholeFile(kind == LockKind::kExclusive ? F_WRLCK : F_RDLCK);
  if (::fcntl(fd, F_OFD_SETLK, &fl) == -1) {
    int err = errno;
    ::close(fd);
    if (err == EAGAIN || err == EACCES) throw InUseError(refused_message);
    throw Error("No se puede bloquear " + display_name + ": " + DescribeSystemError(err));
  }
  fd_ = fd;
}

LockedFile::LockedFile(LockedFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

LockedFile::~LockedFile() { Close(); }

void LockedFile::Close() {
  // Closing the only descriptor of the open file description releases its lock.
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

bool IsLocked(const std::filesystem::path& path, LockKind kind) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct flock fl = WholeFile(kind == LockKind::kExclusive ? F_WRLCK : F_RDLCK);
  bool locked = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
  ::close(fd);
  return locked;
}

}  // namespace orvida::os
