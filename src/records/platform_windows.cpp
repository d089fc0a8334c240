// The channel table's operating system on Windows: Win32 file handles, full
// paths as Windows forms them (drive letter, backslashes), Windows errors
// mapped to the open-failure reports.
//
// File names are the bytes typed at the console, taken in the ANSI code page
// of the system, as Windows takes every byte-string file name; the full path
// shown in reports is given back in the same code page. No byte is ever
// translated on its way to or from a file or a standard stream: CR LF is
// written by the channel table itself.
#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "records/channel_table.hpp"
#include "records/file_names.hpp"
#include "records/output_guard.hpp"
#include "records/platform.hpp"

namespace metclust::records::platform {

namespace {

// Longest full path a channel may connect to, in characters.
constexpr std::size_t kLongestPath = 256;

HANDLE as_handle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

// The name in UTF-16; empty when the bytes are not text of the code page.
std::wstring wide(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return {};
  const int size = static_cast<int>(bytes.size());
  const int count =
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (count <= 0) return {};
  std::wstring text(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), count);
  return text;
}

std::string narrow(const std::wstring& text) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return {};
  const int size = static_cast<int>(text.size());
  const int count = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return {};
  std::string bytes(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), count, nullptr, nullptr);
  return bytes;
}

// The full path of a name as Windows forms it; empty when it cannot.
std::wstring wide_full_path(const std::wstring& name) {
  if (name.empty()) return {};
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(name.c_str(), static_cast<DWORD>(path.size()), path.data(), nullptr);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);  // too small: length counts the terminating NUL
  }
}

// Whether the path names a drive letter that the system does not have.
bool on_absent_drive(const std::wstring& path) {
  if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return false;
  const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
  return GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR;
}

int open_failure_report(DWORD error, const std::wstring& path) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      // Of a drive it lacks, Windows says no more than that nothing is found.
      return on_absent_drive(path) ? report::kNoSuchDevice : report::kFileNotFound;
    case ERROR_ACCESS_DENIED: {
      // Windows refuses to open a folder as a file with "access denied";
      // the folder is no file to be connected, as on any other system.
      const DWORD attributes = GetFileAttributesW(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return report::kOpenFailure;
      }
      return report::kAccessDenied;
    }
    case ERROR_WRITE_PROTECT:
      return report::kAccessDenied;
    case ERROR_INVALID_DRIVE:
      return report::kNoSuchDevice;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return report::kBadFileName;
    default:
      return report::kOpenFailure;
  }
}

}  // namespace

void prepare_process() {
  // A drive without a medium or a missing network share must fail the open
  // with its report, not stop the run on a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

std::string full_path(std::string_view name) {
  const std::string path = narrow(wide_full_path(wide(name)));
  return path.empty() ? std::string(name) : path;
}

OpenedFile open_file(std::string_view name, bool output) {
  OpenedFile opened;
  // An empty name is no file, as Windows says of it.
  if (name.empty()) {
    opened.failure = report::kFileNotFound;
    return opened;
  }
  const std::wstring path = wide_full_path(wide(name));
  if (path.empty() || path.size() > kLongestPath) {
    opened.failure = report::kBadFileName;
    return opened;
  }
  // Shared every way, like a file on POSIX: a second name for a connected
  // file reaches the identity check below instead of a sharing violation.
  // An output opens a link at its name as the link itself, which is then
  // refused: it is never written through.
  const auto open = [&](DWORD flags) {
    return CreateFileW(path.c_str(), output ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       output ? OPEN_ALWAYS : OPEN_EXISTING, flags, nullptr);
  };
  HANDLE file = open(output ? FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT
                            : FILE_ATTRIBUTE_NORMAL);
  if (file == INVALID_HANDLE_VALUE) {
    opened.failure = open_failure_report(GetLastError(), path);
    return opened;
  }
  if (output) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      CloseHandle(file);
      if (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT) {
        opened.failure = report::kOutputIsLink;
        return opened;
      }
      // Any other kind of reparse point (a file kept in the cloud, say) is
      // the file itself, opened as usual.
      file = open(FILE_ATTRIBUTE_NORMAL);
      if (file == INVALID_HANDLE_VALUE) {
        opened.failure = open_failure_report(GetLastError(), path);
        return opened;
      }
    }
  }
  opened.handle = reinterpret_cast<Handle>(file);
  opened.regular = GetFileType(file) == FILE_TYPE_DISK;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info)) {
    opened.identified = true;
    opened.identity = {info.dwVolumeSerialNumber,
                       (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  } else if (opened.regular) {
    CloseHandle(file);
    opened = {};
    opened.failure = report::kOpenFailure;
  }
  return opened;
}

Handle standard_stream(int number) {
  // Nothing writes through the C runtime's stream, but should anything ever
  // do so it must not turn LF into CR LF either.
  _setmode(number, _O_BINARY);
  return _get_osfhandle(number);
}

bool write_record(Handle handle, std::string_view head, std::string_view tail) {
  // One record is one write: the console and a pipe see it whole.
  static std::string record;
  record.assign(head);
  record.append(tail);
  std::size_t done = 0;
  while (done < record.size()) {
    const std::size_t left = record.size() - done;
    const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(as_handle(handle), record.data() + done, chunk, &written, nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

std::int64_t read_some(Handle handle, char* buffer, std::size_t size) {
  // Older consoles refuse reads into buffers much larger than a line.
  const std::size_t most = GetFileType(as_handle(handle)) == FILE_TYPE_CHAR ? 4096 : 0x40000000;
  const DWORD chunk = static_cast<DWORD>(size > most ? most : size);
  DWORD got = 0;
  if (!ReadFile(as_handle(handle), buffer, chunk, &got, nullptr)) {
    const DWORD error = GetLastError();
    // The writer of a pipe has closed it: the stream has ended.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    return -1;
  }
  return got;
}

bool cut_off(Handle handle, std::uint64_t length) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(as_handle(handle), position, nullptr, FILE_BEGIN) &&
         SetEndOfFile(as_handle(handle));
}

void close_file(Handle handle) { CloseHandle(as_handle(handle)); }

namespace {

// Windows locks stop other handles' reads and writes of the bytes they
// cover, so the lock covers one byte far beyond the end of any file.
OVERLAPPED lock_place() {
  OVERLAPPED place{};
  place.Offset = 0xFFFFFFF0u;
  place.OffsetHigh = 0x7FFFFFFFu;
  return place;
}

}  // namespace

bool try_lock(Handle handle) {
  OVERLAPPED place = lock_place();
  if (LockFileEx(as_handle(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &place)) {
    return true;
  }
  // A file system without locks keeps no run off; only a lock held
  // elsewhere says no.
  return GetLastError() != ERROR_LOCK_VIOLATION;
}

void unlock(Handle handle) {
  OVERLAPPED place = lock_place();
  UnlockFileEx(as_handle(handle), 0, 1, 0, &place);
}

void pause_milliseconds(unsigned milliseconds) { Sleep(milliseconds); }

int exit_status(int number) { return static_cast<int>(0xC0000000u + static_cast<unsigned>(number)); }

}  // namespace metclust::records::platform

namespace metclust::records {

// Bytes that are not text of the code page keep the library's own
// conversion, and so does a path with a character the code page lacks: such
// a name fails later as a file that cannot be found or made, never silently
// as another file.
std::filesystem::path path_of_name(std::string_view name) {
  const std::wstring text = platform::wide(name);
  if (text.empty()) return std::filesystem::path(name);
  return std::filesystem::path(text);
}

std::string name_of_path(const std::filesystem::path& path) {
  const std::wstring& text = path.native();
  if (text.empty() || text.size() > 0x7FFFFFFF) return path.string();
  const int size = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  const int count = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr,
                                        0, nullptr, &lossy);
  if (count <= 0 || lossy) return path.string();
  std::string bytes(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, bytes.data(), count,
                      nullptr, nullptr);
  return bytes;
}

namespace {

// The system's text for an error, without the full stop and line end that
// Windows puts after it.
std::string reason(DWORD error) {
  std::string text = std::system_category().message(static_cast<int>(error));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' ||
                           text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

// The lock is the file itself, opened shared with nobody and deleted when
// closed, which Windows does for a process that ends without closing it too.
LockFile::LockFile(const std::filesystem::path& path, std::chrono::milliseconds patience)
    : path_(path) {
  constexpr unsigned kStep = 25;  // milliseconds between two tries
  for (std::int64_t waited = 0;;) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                    OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE |
                                        FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(file);
      held_ = true;
      return;
    }
    const DWORD error = GetLastError();
    // Held by another process, or still being deleted by the one before;
    // "access denied" to a file that is not there is a folder we may not
    // write.
    const bool busy = error == ERROR_SHARING_VIOLATION ||
                      (error == ERROR_ACCESS_DENIED &&
                       GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!busy) {
      failure_ = reason(error);
      return;
    }
    if (waited >= patience.count()) return;
    platform::pause_milliseconds(kStep);
    waited += kStep;
  }
}

LockFile::~LockFile() {
  if (held_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::string write_new_file(const std::filesystem::path& path, std::string_view bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return reason(GetLastError());
  DWORD error = 0;
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
      error = GetLastError();
      break;
    }
    bytes.remove_prefix(written);
  }
  if (!CloseHandle(file) && error == 0) error = GetLastError();
  if (error == 0) return {};
  DeleteFileW(path.c_str());
  return reason(error);
}

std::string unwritable_reason(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return {};
  }
  // Replacing the file needs the right to delete it as well: a program that
  // holds it open without sharing that (a spreadsheet, say) is found here.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? std::string() : reason(error);
  }
  CloseHandle(file);
  return {};
}

}  // namespace metclust::records

#endif  // defined(_WIN32)
