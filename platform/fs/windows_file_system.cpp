// The file layer on Windows. Paths arrive as UTF-8 and reach the system as
// UTF-16. The file system itself matches names without regard to case.
//
// Share marks are Windows share modes, which FoxPro-compatible programs on
// Windows use for their shared and exclusive opens: every open lets others
// read, write and rename, and exclusive use reopens the file letting others
// rename only. A share mode cannot change on an open handle, so a change
// to or from exclusive use closes the handle and opens the file again,
// taking back the byte-range locks held.
//
// Windows cannot replace a file that is open; rename() closes this
// program's own handles on the file it replaces (they report errors from
// then on, as the file is gone) and opens them again should the move fail.
//
// map() stays unsupported, so callers read and write through the handle: a
// mapping cannot reach past the end of the file without growing it (callers
// map ahead for appends), and a mapped file can be neither replaced nor
// shortened.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs/file_system.h"

namespace pu {
namespace {

constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Our own rename of a file held alone (a packed table put in place) needs FILE_SHARE_DELETE.
constexpr DWORD kAlone = FILE_SHARE_DELETE;

std::wstring wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

// The name system calls take. Past MAX_PATH only the extended form
// (\\?\C:\... or \\?\UNC\server\share\...) reaches the file, and it takes
// neither '/' nor relative parts, so the full path is made first.
std::wstring systemName(std::string_view utf8) {
  std::wstring name = wide(utf8);
  if (name.size() < MAX_PATH - 12) return name;  // CreateDirectoryW's own limit
  DWORD n = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  std::wstring full(n, L'\0');
  full.resize(::GetFullPathNameW(name.c_str(), n, full.data(), nullptr));
  if (full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  int n = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n ? narrow(std::wstring_view(text, n)) : "error " + std::to_string(code);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) message.pop_back();
  return message;
}

std::string errorText(std::string_view what, std::string_view path, DWORD code) {
  return std::string(what) + " '" + std::string(path) + "': " + systemMessage(code);
}

Status statusFromError(std::string_view what, std::string_view path, DWORD code = ::GetLastError()) {
  std::string msg = errorText(what, path, code);
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return Status::notFound(msg);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return Status::exists(msg);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return Status::locked(msg);
    default: return Status::ioError(msg);
  }
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

// Which file a handle or name stands for, whatever the name it was opened by.
struct FileId {
  DWORD volume = 0, high = 0, low = 0;
  bool operator==(const FileId&) const = default;
};

std::optional<FileId> idOf(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// No access asked, so no share mode stands in the way.
std::optional<FileId> idOf(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), 0, kSharing, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileId> id = idOf(h);
  ::CloseHandle(h);
  return id;
}

class WindowsFile;

// The files this program holds open, for rename(): Windows moves no file
// over one that is open.
class OpenFiles {
public:
  void add(WindowsFile* f) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_files.push_back(f);
  }
  void remove(WindowsFile* f) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_files.erase(std::find(m_files.begin(), m_files.end(), f));
  }
  std::vector<WindowsFile*> of(const FileId& id);
  std::mutex& mutex() { return m_mutex; }

private:
  std::mutex m_mutex;
  std::vector<WindowsFile*> m_files;
};

// Never destroyed: a table held by a static registry may close after main().
OpenFiles& openFiles() {
  static OpenFiles* files = new OpenFiles;
  return *files;
}

class WindowsFile final : public File {
public:
  WindowsFile(HANDLE h, std::string path, bool writable)
      : m_handle(h), m_path(std::move(path)), m_writable(writable), m_id(idOf(h).value_or(FileId{})) {
    openFiles().add(this);
  }
  ~WindowsFile() override {
    openFiles().remove(this);
    if (m_handle != INVALID_HANDLE_VALUE) ::CloseHandle(m_handle);
  }

  Status readAt(std::uint64_t offset, void* buffer, std::size_t n, std::size_t* bytesRead) override {
    if (Status s = usable(); !s) return s;
    std::size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < n) {
      OVERLAPPED o = at(offset + done);
      DWORD got = 0;
      DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
      if (!::ReadFile(m_handle, out + done, want, &got, &o)) {
        DWORD e = ::GetLastError();
        if (e == ERROR_HANDLE_EOF) break;
        return Status::ioError(errorText("cannot read", m_path, e) + " at offset " + std::to_string(offset + done));
      }
      if (got == 0) break;
      done += got;
    }
    *bytesRead = done;
    return Status::ok();
  }

  Status writeAt(std::uint64_t offset, const void* data, std::size_t n) override {
    if (Status s = usable(); !s) return s;
    std::size_t done = 0;
    const auto* in = static_cast<const char*>(data);
    while (done < n) {
      OVERLAPPED o = at(offset + done);
      DWORD put = 0;
      DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
      if (!::WriteFile(m_handle, in + done, want, &put, &o))
        return Status::ioError(errorText("cannot write", m_path, ::GetLastError()) + " at offset " + std::to_string(offset + done));
      done += put;
    }
    return Status::ok();
  }

  Status size(std::uint64_t* bytes) override {
    if (Status s = usable(); !s) return s;
    LARGE_INTEGER n{};
    if (!::GetFileSizeEx(m_handle, &n)) return statusFromError("cannot stat", m_path);
    *bytes = static_cast<std::uint64_t>(n.QuadPart);
    return Status::ok();
  }

  Status truncate(std::uint64_t bytes) override {
    if (Status s = usable(); !s) return s;
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(bytes);
    if (!::SetFileInformationByHandle(m_handle, FileEndOfFileInfo, &end, sizeof end)) return statusFromError("cannot truncate", m_path);
    return Status::ok();
  }

  // A handle without write access has nothing of ours to flush, and Windows refuses it.
  Status sync() override {
    if (Status s = usable(); !s) return s;
    if (m_writable && !::FlushFileBuffers(m_handle)) return statusFromError("cannot sync", m_path);
    return Status::ok();
  }

  // Windows locks belong to the handle, as the interface asks. Unlike fcntl
  // locks they neither merge nor stack quietly, so a range held is taken
  // again as a success and a range not held is given back as one.
  Status lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
    if (Status s = usable(); !s) return s;
    if (held(offset, length) != m_locks.end()) return Status::ok();
    if (!lockRange({offset, length, exclusive})) {
      DWORD e = ::GetLastError();
      if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) return Status::locked("record locked by another user in '" + m_path + "'");
      return statusFromError("cannot lock", m_path, e);
    }
    m_locks.push_back({offset, length, exclusive});
    return Status::ok();
  }

  Status unlock(std::uint64_t offset, std::uint64_t length) override {
    if (Status s = usable(); !s) return s;
    auto it = held(offset, length);
    if (it == m_locks.end()) return Status::ok();
    OVERLAPPED o = at(offset);
    if (!::UnlockFileEx(m_handle, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &o))
      return statusFromError("cannot unlock", m_path);
    m_locks.erase(it);
    return Status::ok();
  }

  // None and Shared differ only in name here: every open lets others share.
  Status share(Share mode) override {
    if ((mode == Share::Exclusive) == (m_share == Share::Exclusive)) {
      m_share = mode;
      return Status::ok();
    }
    Status s = reopen(mode);
    if (s.code() != Status::Code::Locked) return s;
    if (mode == Share::Exclusive) return Status::locked("'" + m_path + "' is open in another program");
    return Status::locked("'" + m_path + "' is in exclusive use by another program");
  }

  const std::string& path() const override { return m_path; }

  const FileId& id() const { return m_id; }
  HANDLE handle() const { return m_handle; }
  bool writable() const { return m_writable; }
  void renamedTo(std::string path) { m_path = std::move(path); }

  // Before this file is replaced by another: the handle goes, what it held is kept.
  void suspend() {
    ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
  }
  // The replacement failed: the file is opened again as it was held.
  void resume() { (void)reopen(m_share); }

private:
  struct Range {
    std::uint64_t offset, length;
    bool exclusive;
  };

  Status usable() const {
    if (m_handle != INVALID_HANDLE_VALUE) return Status::ok();
    return Status::ioError("'" + m_path + "' is no longer open: it was replaced or taken by another program");
  }

  std::vector<Range>::iterator held(std::uint64_t offset, std::uint64_t length) {
    return std::find_if(m_locks.begin(), m_locks.end(), [&](const Range& r) { return r.offset == offset && r.length == length; });
  }

  bool lockRange(const Range& r) {
    OVERLAPPED o = at(r.offset);
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (r.exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return ::LockFileEx(m_handle, flags, 0, static_cast<DWORD>(r.length), static_cast<DWORD>(r.length >> 32), &o);
  }

  // Opens the file again in another share mode, or in the one it had when
  // that is refused; the locks held are taken again. Between the close and
  // the open another program may take the file: then it is lost to us.
  Status reopen(Share mode) {
    if (m_handle != INVALID_HANDLE_VALUE) ::CloseHandle(m_handle);
    Status s = open(mode);
    if (s) m_share = mode;
    else if (!open(m_share)) return usable();
    std::size_t held = m_locks.size();
    std::erase_if(m_locks, [this](const Range& r) { return !lockRange(r); });
    if (m_locks.size() != held) return Status::ioError("'" + m_path + "' lost a lock to another program while it was opened again");
    return s;
  }

  Status open(Share mode) {
    DWORD access = m_writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    DWORD sharing = mode == Share::Exclusive ? kAlone : kSharing;
    m_handle = ::CreateFileW(systemName(m_path).c_str(), access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) return statusFromError("cannot open", m_path);
    return Status::ok();
  }

  HANDLE m_handle;
  std::string m_path;
  bool m_writable;
  FileId m_id;
  Share m_share = Share::None;
  std::vector<Range> m_locks;
};

std::vector<WindowsFile*> OpenFiles::of(const FileId& id) {
  std::vector<WindowsFile*> found;
  for (WindowsFile* f : m_files)
    if (f->id() == id) found.push_back(f);
  return found;
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

DWORD attributesOf(const std::string& path) { return ::GetFileAttributesW(systemName(path).c_str()); }

class WindowsFileSystem final : public FileSystem {
public:
  // The file system matches names without regard to case itself, and '/'
  // is as much a separator as '\\', so only doubled separators go; a
  // leading pair (a network share) stays.
  std::string resolve(std::string_view path) override {
    std::string normal;
    normal.reserve(path.size());
    for (char c : path) {
      if (isSeparator(c) && normal.size() > 1 && isSeparator(normal.back())) continue;
      normal.push_back(c);
    }
    return normal;
  }

  Status openFile(std::string_view path, bool writable, std::unique_ptr<File>* file) override {
    std::string real = resolve(path);
    DWORD attributes = attributesOf(real);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return Status::ioError("cannot open '" + real + "': not a file");
    DWORD access = writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    HANDLE h = ::CreateFileW(systemName(real).c_str(), access, kSharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD e = ::GetLastError();
      if (e == ERROR_SHARING_VIOLATION) return Status::locked("'" + real + "' is in exclusive use by another program");
      return statusFromError("cannot open", real, e);
    }
    // A device name (NUL, COM1) or a pipe opens too.
    if (::GetFileType(h) != FILE_TYPE_DISK) {
      ::CloseHandle(h);
      return Status::ioError("cannot open '" + real + "': not a file");
    }
    *file = std::make_unique<WindowsFile>(h, real, writable);
    return Status::ok();
  }

  Status createFile(std::string_view path, std::unique_ptr<File>* file) override {
    std::string real = resolve(path);
    HANDLE h = ::CreateFileW(systemName(real).c_str(), GENERIC_READ | GENERIC_WRITE, kSharing, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return statusFromError("cannot create", real);
    *file = std::make_unique<WindowsFile>(h, real, true);
    return Status::ok();
  }

  // Seconds since 1970, as on POSIX.
  std::optional<std::int64_t> modifiedTime(std::string_view path) override {
    if (path.empty()) return std::nullopt;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(systemName(resolve(path)).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    ULARGE_INTEGER t{};
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    constexpr std::int64_t kTicksTo1970 = 116444736000000000;
    return (static_cast<std::int64_t>(t.QuadPart) - kTicksTo1970) / 10000000;
  }

  bool isDirectory(std::string_view path) override {
    if (path.empty()) return false;
    DWORD attributes = attributesOf(resolve(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  Status makeNormal(std::string_view path) override {
    std::string real = resolve(path);
    DWORD attributes = attributesOf(real);
    if (attributes == INVALID_FILE_ATTRIBUTES) return statusFromError("cannot stat", real);
    attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (!::SetFileAttributesW(systemName(real).c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL))
      return statusFromError("cannot change mode of", real);
    return Status::ok();
  }

  Status removeFile(std::string_view path) override {
    std::string real = resolve(path);
    if (!::DeleteFileW(systemName(real).c_str())) return statusFromError("cannot delete", real);
    return Status::ok();
  }

  // The new file reaches the disk before it takes the name, and the move
  // itself is written through, so after a power cut the name holds the old
  // file or the whole new one.
  Status rename(std::string_view from, std::string_view to) override {
    std::string realFrom = resolve(from), realTo = resolve(to);
    std::wstring wideFrom = systemName(realFrom), wideTo = systemName(realTo);
    std::optional<FileId> source = idOf(wideFrom), target = idOf(wideTo);
    if (source == target) target.reset();  // a new letter case for the same file
    std::lock_guard<std::mutex> hold(openFiles().mutex());
    if (Status s = flush(realFrom, wideFrom, source); !s) return s;
    std::vector<WindowsFile*> replaced = target ? openFiles().of(*target) : std::vector<WindowsFile*>{};
    for (WindowsFile* f : replaced) f->suspend();
    if (!::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      DWORD e = ::GetLastError();
      for (WindowsFile* f : replaced) f->resume();
      if (e == ERROR_ACCESS_DENIED) return Status::locked(errorText("cannot rename", realFrom, e) + " (is '" + realTo + "' open in another program?)");
      return statusFromError("cannot rename", realFrom, e);
    }
    if (source)
      for (WindowsFile* f : openFiles().of(*source)) f->renamedTo(realTo);
    return Status::ok();
  }

  // rename() writes its move through to the disk, which is what a folder
  // sync gives elsewhere; Windows lets no program without backup rights
  // flush a folder of its own.
  Status syncDirectory(std::string_view) override { return Status::ok(); }

  Status createDirectory(std::string_view path) override {
    std::string real = resolve(path);
    while (real.size() > 1 && isSeparator(real.back())) real.pop_back();
    if (!::CreateDirectoryW(systemName(real).c_str(), nullptr)) {
      DWORD e = ::GetLastError();
      if (e == ERROR_PATH_NOT_FOUND) return Status::pathNotFound(errorText("cannot create folder", real, e));
      return statusFromError("cannot create folder", real, e);
    }
    return Status::ok();
  }

  Status listDirectories(std::string_view path, std::vector<std::string>* names) override {
    return listEntries(path, true, names);
  }

  Status listFiles(std::string_view path, std::vector<std::string>* names) override {
    return listEntries(path, false, names);
  }

  // The drive roots, "C:\" and on.
  std::vector<std::string> roots() override {
    std::vector<std::string> result;
    wchar_t buffer[512];
    DWORD n = ::GetLogicalDriveStringsW(512, buffer);
    for (const wchar_t* p = buffer; n > 0 && n < 512 && *p; p += std::wcslen(p) + 1) result.push_back(narrow(p));
    return result;
  }

  std::string currentDirectory() override {
    DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring buffer(n, L'\0');
    n = ::GetCurrentDirectoryW(n, buffer.data());
    buffer.resize(n);
    return narrow(buffer);
  }

  void sleepMilliseconds(int ms) override { ::Sleep(static_cast<DWORD>(ms)); }

private:
  // The names of the folder's subfolders (folders true) or of its other entries.
  Status listEntries(std::string_view path, bool folders, std::vector<std::string>* names) {
    std::string real = resolve(path);
    std::string pattern = (real.empty() ? "." : real) + (real.empty() || !isSeparator(real.back()) ? "\\*" : "*");
    WIN32_FIND_DATAW entry{};
    HANDLE find = ::FindFirstFileExW(systemName(pattern).c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return statusFromError("cannot list", real);
    names->clear();
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      if (((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders) names->push_back(narrow(name));
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    return Status::ok();
  }

  // Through a handle of ours where we hold the file (perhaps alone), else through one opened for it.
  static Status flush(const std::string& path, const std::wstring& name, const std::optional<FileId>& id) {
    if (id) {
      for (WindowsFile* f : openFiles().of(*id)) {
        if (!f->writable() || f->handle() == INVALID_HANDLE_VALUE) continue;
        if (!::FlushFileBuffers(f->handle())) return statusFromError("cannot sync", path);
        return Status::ok();
      }
    }
    HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, kSharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return statusFromError("cannot rename", path);
    BOOL flushed = ::FlushFileBuffers(h);
    DWORD e = ::GetLastError();
    ::CloseHandle(h);
    if (!flushed) return statusFromError("cannot sync", path, e);
    return Status::ok();
  }
};

} // namespace

FileSystem& systemFileSystem() {
  static WindowsFileSystem system;
  return system;
}

} // namespace pu
