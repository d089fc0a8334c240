// The channel table's operating system on POSIX systems: file descriptors,
// paths built with std::filesystem, errno mapped to the open-failure reports.
#if !defined(_WIN32)

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>

#include "records/channel_table.hpp"
#include "records/file_names.hpp"
#include "records/output_guard.hpp"
#include "records/platform.hpp"

namespace metclust::records::platform {

namespace {

int open_failure_report(int error) {
  switch (error) {
    case ENOENT:
      return report::kFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return report::kAccessDenied;
    case ENXIO:
    case ENODEV:
      return report::kNoSuchDevice;
    case ENAMETOOLONG:
    case ENOTDIR:
    case EINVAL:
    case EILSEQ:
      return report::kBadFileName;
    default:
      return report::kOpenFailure;
  }
}

}  // namespace

void prepare_process() {
  // A console whose reader has gone away shows up as a failed write of the
  // console channel, reported like any other, not as a signal.
  ::signal(SIGPIPE, SIG_IGN);
  // Likewise a file that reaches the size limit of the process (ulimit -f):
  // the write fails with EFBIG and ends the run with report 38, as on a full
  // disk, instead of the signal killing the process mid-record.
  ::signal(SIGXFSZ, SIG_IGN);
}

std::string full_path(std::string_view name) {
  std::error_code ec;
  std::filesystem::path path(name);
  if (path.is_relative()) {
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec) return std::string(name);
    path = cwd / path;
  }
  return path.lexically_normal().string();
}

OpenedFile open_file(std::string_view name, bool output) {
  OpenedFile opened;
  const std::string path(name);
  // An output is never written through a symbolic link at its name: the
  // link may lead to any file of the user's, or create one where it points.
  // The system's own links (/dev/stdout, /proc/self/fd/1) are followed: no
  // user can plant a link there.
  const std::string full = full_path(name);
  const bool system_name = full.starts_with("/dev/") || full.starts_with("/proc/");
  const int flags = output ? (O_WRONLY | O_CREAT | O_CLOEXEC | (system_name ? 0 : O_NOFOLLOW))
                           : (O_RDONLY | O_CLOEXEC);
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    struct stat link {};
    // ELOOP is also the answer to a loop of links among the folders above.
    if (output && error == ELOOP && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      opened.failure = report::kOutputIsLink;
    } else {
      opened.failure = open_failure_report(error);
    }
    return opened;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    opened.failure = report::kOpenFailure;
    return opened;
  }
  opened.handle = fd;
  opened.regular = S_ISREG(info.st_mode);
  opened.identified = true;
  opened.identity = {static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino)};
  return opened;
}

Handle standard_stream(int number) { return number; }

bool write_record(Handle handle, std::string_view head, std::string_view tail) {
  iovec parts[2] = {{const_cast<char*>(head.data()), head.size()},
                    {const_cast<char*>(tail.data()), tail.size()}};
  int count = 2;
  iovec* next = parts;
  while (count > 0) {
    const ssize_t done = ::writev(static_cast<int>(handle), next, count);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    std::size_t left = static_cast<std::size_t>(done);
    while (count > 0 && left >= next->iov_len) {
      left -= next->iov_len;
      ++next;
      --count;
    }
    if (count > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + left;
      next->iov_len -= left;
    }
  }
  return true;
}

std::int64_t read_some(Handle handle, char* buffer, std::size_t size) {
  ssize_t got;
  do {
    got = ::read(static_cast<int>(handle), buffer, size);
  } while (got < 0 && errno == EINTR);
  return got < 0 ? -1 : static_cast<std::int64_t>(got);
}

bool cut_off(Handle handle, std::uint64_t length) {
  return ::ftruncate(static_cast<int>(handle), static_cast<off_t>(length)) == 0;
}

void close_file(Handle handle) { ::close(static_cast<int>(handle)); }

bool try_lock(Handle handle) {
  int done;
  do {
    done = ::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB);
  } while (done != 0 && errno == EINTR);
  // A file system without locks keeps no run off; only a lock held
  // elsewhere says no.
  return done == 0 || errno != EWOULDBLOCK;
}

void unlock(Handle handle) { (void)::flock(static_cast<int>(handle), LOCK_UN); }

void pause_milliseconds(unsigned milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

int exit_status(int number) { return (0xC0000000u + static_cast<unsigned>(number)) & 0xFFu; }

}  // namespace metclust::records::platform

namespace metclust::records {

std::filesystem::path path_of_name(std::string_view name) { return std::filesystem::path(name); }

std::string name_of_path(const std::filesystem::path& path) { return path.string(); }

namespace {

std::string reason(int error) { return std::generic_category().message(error); }

}  // namespace

LockFile::LockFile(const std::filesystem::path& path, std::chrono::milliseconds patience)
    : path_(path) {
  constexpr unsigned kStep = 25;  // milliseconds between two tries
  for (std::int64_t waited = 0;;) {
    int fd;
    do {
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      failure_ = reason(errno);
      return;
    }
    int done;
    do {
      done = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (done != 0 && errno == EINTR);
    if (done == 0 || errno != EWOULDBLOCK) {
      // The holder before us removes the file as it lets go: a lock taken on
      // a file no longer at the name keeps nobody out, so it is tried again.
      struct stat opened {}, named {};
      if (::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
          opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
        handle_ = fd;
        held_ = true;
        return;
      }
      ::close(fd);
      continue;
    }
    ::close(fd);
    if (waited >= patience.count()) return;
    platform::pause_milliseconds(kStep);
    waited += kStep;
  }
}

LockFile::~LockFile() {
  if (!held_) return;
  ::unlink(path_.c_str());
  ::close(static_cast<int>(handle_));
}

std::string write_new_file(const std::filesystem::path& path, std::string_view bytes) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return reason(errno);
  int error = 0;
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    if (done < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error == 0) return {};
  ::unlink(path.c_str());
  return reason(error);
}

std::string unwritable_reason(const std::filesystem::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno == ENOENT ? std::string() : reason(errno);
  ::close(fd);
  return {};
}

}  // namespace metclust::records

#endif  // !defined(_WIN32)
