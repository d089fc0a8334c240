// What the system must do for a program that puts a set of output files in
// place beside files a user keeps: a lock that keeps a second run out while
// the first writes, whole new files written with the system's reason when
// they cannot be, and the question whether an existing file may be written.
// platform_posix.cpp and platform_windows.cpp implement it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace metclust::records {

// How long a run waits while another run holds the outputs it is to write.
inline constexpr std::chrono::milliseconds kLockPatience{60000};

// A lock file of this process: made when missing, locked against every other
// process that takes it, and removed when released (when the process ends
// without releasing it, the file stays, unlocked, and is taken by the next
// run as it is).
class LockFile {
 public:
  // Takes the lock of `path`, waiting up to `patience` while another
  // process holds it. A symbolic link at the name is not followed.
  LockFile(const std::filesystem::path& path, std::chrono::milliseconds patience);
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  bool held() const { return held_; }
  // Why the lock is not held: the system's reason when the file cannot be
  // made or opened; empty when another process held it all along.
  const std::string& failure() const { return failure_; }

 private:
  std::filesystem::path path_;
  std::intptr_t handle_ = -1;
  bool held_ = false;
  std::string failure_;
};

// Makes a new file holding exactly `bytes`; an existing file of that name is
// a failure. Empty when done, else the system's reason (and no file is
// left).
std::string write_new_file(const std::filesystem::path& path, std::string_view bytes);

// Why this process may not write the existing regular file `path` (as
// metclust would open it: "Permission denied" for a read-only file, or on
// Windows a file another program holds open); empty when it may, or when
// there is no such file, or a link, a folder or a device stands there.
std::string unwritable_reason(const std::filesystem::path& path);

}  // namespace metclust::records
