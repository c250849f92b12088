#pragma once
// Every operating-system call of the program goes through this interface;
// posix_file_system.cpp is the one implementation for Linux. Paths are UTF-8.
// A path the system builds may use '\' as separator and may differ in letter
// case from the entry on disk (course folders come from Windows).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace pu {

// An open file: positioned reads and writes, sync and byte-range locks.
class File {
public:
  virtual ~File() = default;
  // Reads up to n bytes at offset; a short count means end of file.
  virtual Status readAt(std::uint64_t offset, void* buffer, std::size_t n, std::size_t* bytesRead) = 0;
  virtual Status writeAt(std::uint64_t offset, const void* data, std::size_t n) = 0;
  virtual Status size(std::uint64_t* bytes) = 0;
  virtual Status truncate(std::uint64_t bytes) = 0;
  virtual Status sync() = 0;
  // Non-blocking; Status::Code::Locked when another holder has a conflicting lock.
  // Locks belong to this open file, so two opens of one file exclude each other
  // even within one process.
  virtual Status lock(std::uint64_t offset, std::uint64_t length, bool exclusive) = 0;
  virtual Status unlock(std::uint64_t offset, std::uint64_t length) = 0;
  // Whole-file share mode as FoxPro-compatible programs on Linux mark it
  // (flock): Shared while a table is open, Exclusive while one program has
  // it alone. Non-blocking; Locked when another open holds a conflicting
  // mode, and then the mode held before stays.
  enum class Share { None, Shared, Exclusive };
  virtual Status share(Share mode) = 0;
  virtual const std::string& path() const = 0;
  // A view of the file's first `length` bytes that shows every write to
  // the file at once, ours and other programs' (one page cache), so reads
  // through it need no call into the system; writable when the file was
  // opened for writing, and a write through it is seen by others as a
  // writeAt would be. It stays valid until the next map() or the file's
  // close. `length` may run past the end of the file, but only bytes inside
  // the file may be read or written through it (writeAt extends a file),
  // and the file must not shrink under a view in use. Unsupported where the
  // file cannot be mapped: the caller uses readAt and writeAt instead.
  virtual Status map(std::uint64_t length, char** view) {
    (void)length;
    *view = nullptr;
    return Status::unsupported("'" + path() + "' cannot be mapped");
  }
};

class FileSystem {
public:
  virtual ~FileSystem() = default;

  // The process-wide instance used by every module.
  static FileSystem& instance();
  // Lets tests put a failing file system in place; returns the previous one.
  static FileSystem* setInstance(FileSystem* fs);

  // Separators made native, doubled separators collapsed, and each component
  // that does not exist with its exact case replaced by the one entry that
  // matches it without regard to case (left as it is when none or several do).
  virtual std::string resolve(std::string_view path) = 0;

  // Regular files only: a folder, FIFO or device is refused, never waited on.
  virtual Status openFile(std::string_view path, bool writable, std::unique_ptr<File>* file) = 0;
  // Creates or truncates.
  virtual Status createFile(std::string_view path, std::unique_ptr<File>* file) = 0;

  // Last modification time of a file or folder, or nothing when the entry is missing.
  virtual std::optional<std::int64_t> modifiedTime(std::string_view path) = 0;
  virtual bool isDirectory(std::string_view path) = 0;
  virtual Status makeNormal(std::string_view path) = 0;  // clear read-only
  virtual Status removeFile(std::string_view path) = 0;
  // A plain rename: after a power cut either name may hold the file until
  // the folder is synced. A file put in place of another goes through
  // moveIntoPlace.
  virtual Status rename(std::string_view from, std::string_view to) = 0;
  // One level; PathNotFound when the parent is missing, Exists when present.
  // Like a rename, the new folder is durable once its parent is synced.
  virtual Status createDirectory(std::string_view path) = 0;
  // Makes the folder's entries as they stand (files created, renamed or
  // removed in it) survive a power cut.
  virtual Status syncDirectory(std::string_view path) = 0;
  // The names of the folder's subfolders, or of its regular files, in no particular order.
  virtual Status listDirectories(std::string_view path, std::vector<std::string>* names) = 0;
  virtual Status listFiles(std::string_view path, std::vector<std::string>* names) = 0;
  virtual std::vector<std::string> roots() = 0;
  virtual std::string currentDirectory() = 0;
  virtual void sleepMilliseconds(int ms) = 0;
};

// The one way a file takes the place of another (a packed table, a rebuilt
// index, a rewritten INI file, a backup copy): the new file's data is synced,
// then it is renamed over `to`, then the folder is synced. After a power cut
// `to` holds the old file or the whole new one, and once this returns, the
// new one. Both lie in one folder. `file` is the new file, open; `from`
// names it when it is not.
Status moveIntoPlace(File& file, std::string_view to);
Status moveIntoPlace(std::string_view from, std::string_view to);

// Copies `from` over `to` the same way: the copy is written beside `to`
// under a temporary name and moved into place, so `to` holds the old or the
// whole new file; a copy that fails leaves no temporary file.
Status copyIntoPlace(std::string_view from, std::string_view to);

// Writes a file by writing a temporary file beside it and moving it into
// place, so the destination is either the old or the whole new file.
Status replaceFileAtomically(std::string_view path, std::string_view contents);

// createDirectory, then the parent folder synced, so the folder survives a
// power cut with what is later put into it.
Status createDirectoryDurably(std::string_view path);

} // namespace pu
