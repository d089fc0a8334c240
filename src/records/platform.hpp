// The operating system beneath the channel table: files, the standard
// streams, full paths and the exit status. platform_posix.cpp and
// platform_windows.cpp implement it, each compiled only on its own system;
// nothing outside records/ includes this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace metclust::records::platform {

// An open file or standard stream as the system knows it: a file
// descriptor on POSIX, a HANDLE on Windows.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// What makes a file the same file under any of its names.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct OpenedFile {
  Handle handle = kNoHandle;
  // The open-failure report (29, 9, 42, 43 or 30); 0 when the file is open.
  int failure = 0;
  // A file on disk, which can be cut off; not a device or a pipe.
  bool regular = false;
  // False for a device that the system gives no identity.
  bool identified = false;
  FileIdentity identity;
};

// Readies the process before its first channel is used.
void prepare_process();

// The full path of a non-empty file name, formed from the current directory
// as the system forms it; the name itself when that cannot be done.
std::string full_path(std::string_view name);

// Opens an existing file for reading, or opens (creating it when missing,
// never emptying it) a file for writing from its start. The name holds no
// NUL byte. A symbolic link at an output's name is not followed: the open
// fails with report 96. On failure nothing stays open.
OpenedFile open_file(std::string_view name, bool output);

// Takes the process's exclusive lock on an open regular file, without
// waiting; false when another open of the file holds it. Closing the file
// releases the lock, and so does unlock(). The lock is advisory: it keeps
// off runs that ask for it and nothing else; readers are not stopped.
bool try_lock(Handle handle);
void unlock(Handle handle);

// Waits for the given time.
void pause_milliseconds(unsigned milliseconds);

// The standard stream with the given C runtime number (0, 1, 2 or one a test
// hands in), unchanged by any line-end translation.
Handle standard_stream(int number);

// Hands the bytes of `head` and then of `tail` to the system as one record;
// false when the system refuses them.
bool write_record(Handle handle, std::string_view head, std::string_view tail);

// Reads at most `size` bytes: the count read, 0 at the end of the stream,
// -1 when the read fails.
std::int64_t read_some(Handle handle, char* buffer, std::size_t size);

// Makes the file end at `length` bytes.
bool cut_off(Handle handle, std::uint64_t length);

void close_file(Handle handle);

// The process exit status of a severe report: 0xC0000000 plus its number,
// as much of it as the system keeps.
int exit_status(int number);

}  // namespace metclust::records::platform
