#include "platform/dbase/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/os/error.h"

namespace orvida::dbase::internal {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& shown_name, int error) {
  throw Error(what + " " + shown_name + ": " + DescribeSystemError(error));
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = other.Release();
  }
  return *this;
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void UniqueFd::Reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

UniqueFd OpenReadOnly(const std::filesystem::path& path, const std::string& shown_name) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("No se puede leer", shown_name, errno);
  return UniqueFd(fd);
}

UniqueFd OpenReadWrite(const std::filesystem::path& path, const std::string& shown_name) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) Fail("No se puede abrir para escribir", shown_name, errno);
  return UniqueFd(fd);
}

std::uint64_t FileSize(int fd, const std::string& shown_name) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) Fail("No se puede leer", shown_name, errno);
  return static_cast<std::uint64_t>(info.st_size);
}

std::string ReadAt(int fd, std::uint64_t offset, std::size_t size, const std::string& shown_name) {
  std::string bytes(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pread(fd, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("No se puede leer", shown_name, errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

std::string ReadAll(int fd, const std::string& shown_name) {
  return ReadAt(fd, 0, FileSize(fd, shown_name), shown_name);
}

void Truncate(int fd, std::uint64_t size, const std::string& shown_name) {
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    Fail("No se puede escribir en", shown_name, errno);
  }
}

void WriteAt(int fd, std::uint64_t offset, std::string_view bytes, const std::string& shown_name) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("No se puede escribir en", shown_name, errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

void ReplaceFile(const std::filesystem::path& path, std::string_view bytes,
                 const std::string& shown_name) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path temporary = path;
  temporary += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd.valid()) Fail("No se puede crear", shown_name, errno);
  try {
    WriteAt(fd.get(), 0, bytes, shown_name);
    if (::close(fd.Release()) != 0) Fail("No se puede escribir en", shown_name, errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0)
      Fail("No se puede crear", shown_name, errno);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

}  // namespace orvida::dbase::internal
