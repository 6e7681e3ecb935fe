#include "platform/os/file_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/os/error.h"
#include "tests/platform/os/temp_folder.h"

namespace orvida::os {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

const std::string kRefused = "La tabla C:\\KTEMP\\X.DBF está abierta en otro programa";

LockedFile Lock(const std::filesystem::path& p, LockKind kind) {
  return LockedFile(p, kind, "C:\\KTEMP\\X.DBF", kRefused);
}

// Whether taking `kind` on `p` succeeds now (the lock is released again at once).
bool CanLock(const std::filesystem::path& p, LockKind kind) {
  try {
    Lock(p, kind);
    return true;
  } catch (const InUseError& e) {
    EXPECT_EQ(std::string(e.what()), kRefused);
    return false;
  }
}

TEST(OsFileLock, HandlesInOneProcessExcludeEachOther) {
  TempFolder dir;
  const auto file = dir / "X.DBF";
  WriteBytes(file, "data");

  {
    LockedFile exclusive = Lock(file, LockKind::kExclusive);
    EXPECT_TRUE(exclusive.is_open());
    EXPECT_FALSE(CanLock(file, LockKind::kExclusive));
    EXPECT_FALSE(CanLock(file, LockKind::kShared));
    EXPECT_TRUE(IsLocked(file, LockKind::kShared));
    EXPECT_TRUE(IsLocked(file, LockKind::kExclusive));
  }
  EXPECT_FALSE(IsLocked(file, LockKind::kExclusive));

  {
    LockedFile shared1 = Lock(file, LockKind::kShared);
    LockedFile shared2 = Lock(file, LockKind::kShared);
    EXPECT_FALSE(CanLock(file, LockKind::kExclusive));
    EXPECT_TRUE(IsLocked(file, LockKind::kExclusive));
    EXPECT_FALSE(IsLocked(file, LockKind::kShared));
    // A shared holder may write to a writable file.
    EXPECT_EQ(::pwrite(shared1.fd(), "D", 1, 0), 1);

    // Moving the handle moves the lock; closing the last holder releases it.
    LockedFile moved = std::move(shared1);
    EXPECT_FALSE(shared1.is_open());
    shared2.Close();
    EXPECT_FALSE(CanLock(file, LockKind::kExclusive));
    moved = LockedFile();
    EXPECT_TRUE(CanLock(file, LockKind::kExclusive));
  }
  EXPECT_EQ(testing::ReadBytes(file), "Data");
}

TEST(OsFileLock, OpenFailuresNameTheFile) {
  TempFolder dir;
  struct Case {
    std::filesystem::path path;
    LockKind kind;
    std::string message;
  };
  const Case cases[] = {
      {dir / "NADA.DBF", LockKind::kExclusive, "No se puede abrir C:\\KTEMP\\X.DBF: no existe"},
      {dir / "NADA.DBF", LockKind::kShared, "No se puede abrir C:\\KTEMP\\X.DBF: no existe"},
      {dir.path(), LockKind::kExclusive, "No se puede abrir C:\\KTEMP\\X.DBF: es una carpeta"},
      {dir.path(), LockKind::kShared, "No se puede abrir C:\\KTEMP\\X.DBF: es una carpeta"},
  };
  for (const auto& c : cases) {
    try {
      Lock(c.path, c.kind);
      ADD_FAILURE() << "opened " << c.path;
    } catch (const InUseError&) {
      ADD_FAILURE() << "reported as in use: " << c.path;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  EXPECT_FALSE(IsLocked(dir / "NADA.DBF", LockKind::kExclusive));
}

// A child process takes `kind` on `file` and holds it until the parent writes to its pipe.
class LockHolder {
 public:
  LockHolder(const std::filesystem::path& file, LockKind kind) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      char status = 'y';
      try {
        LockedFile held(file, kind, "x", "x");
        (void)!::write(ready[1], &status, 1);
        char c;
        (void)!::read(release[0], &c, 1);
      } catch (...) {
        status = 'n';
        (void)!::write(ready[1], &status, 1);
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_fd_ = release[1];
    char status = 0;
    held_ = ::read(ready[0], &status, 1) == 1 && status == 'y';
    ::close(ready[0]);
  }
  ~LockHolder() { Release(); }

  bool held() const { return held_; }
  void Release() {
    if (pid_ > 0) {
      ::close(release_fd_);
      int status;
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  int release_fd_ = -1;
  bool held_ = false;
};

TEST(OsFileLock, AnotherProcessHoldingTheFileRefusesAtOnce) {
  TempFolder dir;
  const auto file = dir / "SOLUC.DBF";
  WriteBytes(file, "data");

  {
    LockHolder holder(file, LockKind::kShared);
    ASSERT_TRUE(holder.held());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CanLock(file, LockKind::kExclusive));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(CanLock(file, LockKind::kShared));
    EXPECT_TRUE(IsLocked(file, LockKind::kExclusive));
    holder.Release();
    EXPECT_TRUE(CanLock(file, LockKind::kExclusive));
  }
  {
    LockHolder holder(file, LockKind::kExclusive);
    ASSERT_TRUE(holder.held());
    EXPECT_FALSE(CanLock(file, LockKind::kShared));
    EXPECT_FALSE(CanLock(file, LockKind::kExclusive));
  }
  EXPECT_TRUE(CanLock(file, LockKind::kExclusive));

  // And the other way round: the child is refused while this process holds the file.
  LockedFile mine = Lock(file, LockKind::kExclusive);
  LockHolder refused(file, LockKind::kShared);
  EXPECT_FALSE(refused.held());
}

}  // namespace
}  // namespace orvida::os
