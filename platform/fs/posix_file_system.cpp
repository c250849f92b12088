#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "platform/fs/file_system.h"

namespace pu {
namespace {

std::string errorText(std::string_view what, std::string_view path) {
  return std::string(what) + " '" + std::string(path) + "': " + std::strerror(errno);
}

Status statusFromErrno(std::string_view what, std::string_view path) {
  int e = errno;
  std::string msg = errorText(what, path);
  switch (e) {
    case ENOENT: return Status::notFound(msg);
    case EEXIST: return Status::exists(msg);
    case EAGAIN:
    case EACCES: return Status::locked(msg);
    default: return Status::ioError(msg);
  }
}

class PosixFile final : public File {
public:
  PosixFile(int fd, std::string path, bool writable) : m_fd(fd), m_path(std::move(path)), m_writable(writable) {}
  ~PosixFile() override {
    if (m_map) ::munmap(m_map, m_mapLength);
    ::close(m_fd);
  }

  Status readAt(std::uint64_t offset, void* buffer, std::size_t n, std::size_t* bytesRead) override {
    std::size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < n) {
      ssize_t r = ::pread(m_fd, out + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        return Status::ioError(errorText("cannot read", m_path) + " at offset " + std::to_string(offset + done));
      }
      if (r == 0) break;
      done += static_cast<std::size_t>(r);
    }
    *bytesRead = done;
    return Status::ok();
  }

  Status writeAt(std::uint64_t offset, const void* data, std::size_t n) override {
    std::size_t done = 0;
    const auto* in = static_cast<const char*>(data);
    while (done < n) {
      ssize_t w = ::pwrite(m_fd, in + done, n - done, static_cast<off_t>(offset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return Status::ioError(errorText("cannot write", m_path) + " at offset " + std::to_string(offset + done));
      }
      done += static_cast<std::size_t>(w);
    }
    return Status::ok();
  }

  Status size(std::uint64_t* bytes) override {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return statusFromErrno("cannot stat", m_path);
    *bytes = static_cast<std::uint64_t>(st.st_size);
    return Status::ok();
  }

  Status truncate(std::uint64_t bytes) override {
    if (::ftruncate(m_fd, static_cast<off_t>(bytes)) != 0) return statusFromErrno("cannot truncate", m_path);
    return Status::ok();
  }

  Status sync() override {
    if (::fdatasync(m_fd) != 0) return statusFromErrno("cannot sync", m_path);
    return Status::ok();
  }

  // Open-file-description locks: unlike classic fcntl locks they are not
  // dropped when another descriptor of the same file is closed, and they
  // conflict between two opens inside one process as between two processes.
  Status lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
    struct flock fl {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (::fcntl(m_fd, F_OFD_SETLK, &fl) != 0) {
      if (errno == EAGAIN || errno == EACCES) return Status::locked("record locked by another user in '" + m_path + "'");
      return statusFromErrno("cannot lock", m_path);
    }
    return Status::ok();
  }

  Status unlock(std::uint64_t offset, std::uint64_t length) override {
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (::fcntl(m_fd, F_OFD_SETLK, &fl) != 0) return statusFromErrno("cannot unlock", m_path);
    return Status::ok();
  }

  // flock marks, independent of the byte-range locks above. Changing a mode
  // held is not atomic: a refused change has dropped the old mode, which is
  // taken back at once.
  Status share(Share mode) override {
    if (mode == m_share) return Status::ok();
    if (::flock(m_fd, flockOperation(mode)) == 0) {
      m_share = mode;
      return Status::ok();
    }
    if (errno != EWOULDBLOCK) return statusFromErrno("cannot set the share mode of", m_path);
    if (m_share != Share::None && ::flock(m_fd, flockOperation(m_share)) != 0) m_share = Share::None;
    if (mode == Share::Exclusive) return Status::locked("'" + m_path + "' is open in another program");
    return Status::locked("'" + m_path + "' is in exclusive use by another program");
  }

  const std::string& path() const override { return m_path; }

  // MAP_SHARED: the view is the page cache itself, which every process's
  // reads and writes of the file go through.
  Status map(std::uint64_t length, char** view) override {
    if (length == 0) return Status::invalidArgument("cannot map no bytes of '" + m_path + "'");
    if (!m_map || length > m_mapLength) {
      void* p = ::mmap(nullptr, static_cast<std::size_t>(length), m_writable ? PROT_READ | PROT_WRITE : PROT_READ,
                       MAP_SHARED, m_fd, 0);
      if (p == MAP_FAILED) return statusFromErrno("cannot map", m_path);
      if (m_map) ::munmap(m_map, m_mapLength);
      m_map = p;
      m_mapLength = static_cast<std::size_t>(length);
    }
    *view = static_cast<char*>(m_map);
    return Status::ok();
  }

private:
  static int flockOperation(Share mode) {
    switch (mode) {
      case Share::Shared: return LOCK_SH | LOCK_NB;
      case Share::Exclusive: return LOCK_EX | LOCK_NB;
      case Share::None: break;
    }
    return LOCK_UN;
  }

  int m_fd;
  std::string m_path;
  bool m_writable;
  void* m_map = nullptr;
  std::size_t m_mapLength = 0;
  Share m_share = Share::None;
};

bool entryExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y && !(x < 0x80 && y < 0x80 && std::tolower(x) == std::tolower(y))) return false;
  }
  return true;
}

// The one entry of the folder whose name matches without regard to case.
std::optional<std::string> findIgnoringCase(const std::string& folder, std::string_view name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<std::string> found;
  int matches = 0;
  while (dirent* e = ::readdir(dir)) {
    if (equalsIgnoringCase(e->d_name, name)) {
      found = e->d_name;
      ++matches;
    }
  }
  ::closedir(dir);
  if (matches != 1) return std::nullopt;
  return found;
}

class PosixFileSystem final : public FileSystem {
public:
  std::string resolve(std::string_view path) override {
    std::string normal;
    normal.reserve(path.size());
    for (char c : path) {
      if (c == '\\') c = '/';
      if (c == '/' && !normal.empty() && normal.back() == '/') continue;
      normal.push_back(c);
    }
    if (normal.empty() || entryExists(normal)) return normal;

    std::string result = normal.front() == '/' ? "/" : "";
    std::size_t pos = result.size();
    bool resolving = true;
    while (pos < normal.size()) {
      std::size_t end = normal.find('/', pos);
      std::string_view name = std::string_view(normal).substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      std::string candidate = result + std::string(name);
      if (resolving && !entryExists(candidate)) {
        if (auto match = findIgnoringCase(result, name)) {
          candidate = result + *match;
        } else {
          resolving = false;
        }
      }
      result = candidate;
      if (end == std::string::npos) break;
      result.push_back('/');
      pos = end + 1;
    }
    return result;
  }

  Status openFile(std::string_view path, bool writable, std::unique_ptr<File>* file) override {
    std::string real = resolve(path);
    // Non-blocking, so that a FIFO with no writer cannot hold the open up.
    int fd = ::open(real.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return statusFromErrno("cannot open", real);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return Status::ioError("cannot open '" + real + "': not a file");
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
      Status s = statusFromErrno("cannot open", real);
      ::close(fd);
      return s;
    }
    *file = std::make_unique<PosixFile>(fd, real, writable);
    return Status::ok();
  }

  Status createFile(std::string_view path, std::unique_ptr<File>* file) override {
    std::string real = resolve(path);
    // As any data file: the user's umask decides who else may write it.
    int fd = ::open(real.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return statusFromErrno("cannot create", real);
    *file = std::make_unique<PosixFile>(fd, real, true);
    return Status::ok();
  }

  std::optional<std::int64_t> modifiedTime(std::string_view path) override {
    if (path.empty()) return std::nullopt;
    struct stat st {};
    if (::stat(resolve(path).c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtime);
  }

  bool isDirectory(std::string_view path) override {
    struct stat st {};
    return !path.empty() && ::stat(resolve(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  Status makeNormal(std::string_view path) override {
    std::string real = resolve(path);
    struct stat st {};
    if (::stat(real.c_str(), &st) != 0) return statusFromErrno("cannot stat", real);
    if (::chmod(real.c_str(), st.st_mode | S_IWUSR) != 0) return statusFromErrno("cannot change mode of", real);
    return Status::ok();
  }

  Status removeFile(std::string_view path) override {
    std::string real = resolve(path);
    if (::unlink(real.c_str()) != 0) return statusFromErrno("cannot delete", real);
    return Status::ok();
  }

  Status rename(std::string_view from, std::string_view to) override {
    std::string realFrom = resolve(from), realTo = resolve(to);
    // A file put in place of another (a packed table, a rewritten INI file)
    // keeps the old one's mode and group: a course folder shared by a group
    // must stay writable to the group. The group is kept where we may.
    struct stat old {};
    if (::stat(realTo.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
      (void)::chown(realFrom.c_str(), static_cast<uid_t>(-1), old.st_gid);  // before chmod: a chown may clear mode bits
      if (::chmod(realFrom.c_str(), old.st_mode & 07777) != 0) return statusFromErrno("cannot change mode of", realFrom);
    }
    if (::rename(realFrom.c_str(), realTo.c_str()) != 0) return statusFromErrno("cannot rename", realFrom);
    return Status::ok();
  }

  Status syncDirectory(std::string_view path) override {
    std::string real = resolve(path);
    int fd = ::open(real.empty() ? "." : real.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return statusFromErrno("cannot open folder", real);
    Status s = ::fsync(fd) == 0 ? Status::ok() : statusFromErrno("cannot sync folder", real);
    ::close(fd);
    return s;
  }

  Status createDirectory(std::string_view path) override {
    std::string real = resolve(path);
    while (real.size() > 1 && real.back() == '/') real.pop_back();
    if (::mkdir(real.c_str(), 0755) != 0) {
      if (errno == ENOENT) return Status::pathNotFound(errorText("cannot create folder", real));
      return statusFromErrno("cannot create folder", real);
    }
    return Status::ok();
  }

  Status listDirectories(std::string_view path, std::vector<std::string>* names) override {
    return listEntries(path, S_IFDIR, names);
  }

  Status listFiles(std::string_view path, std::vector<std::string>* names) override {
    return listEntries(path, S_IFREG, names);
  }

  // The file-system root and the mount points a user would pick a volume from.
  std::vector<std::string> roots() override {
    std::vector<std::string> result{"/"};
    std::ifstream mounts("/proc/self/mounts");
    std::string device, point, rest;
    while (mounts >> device >> point && std::getline(mounts, rest)) {
      bool userVolume = point.rfind("/media/", 0) == 0 || point.rfind("/mnt/", 0) == 0 || point.rfind("/run/media/", 0) == 0 || point == "/home";
      if (userVolume) result.push_back(point);
    }
    return result;
  }

  std::string currentDirectory() override {
    std::string buf(4096, '\0');
    if (!::getcwd(buf.data(), buf.size())) return {};
    buf.resize(std::strlen(buf.c_str()));
    return buf;
  }

  void sleepMilliseconds(int ms) override {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
  }

private:
  // The entries of the folder whose target (links followed) is of the given type.
  Status listEntries(std::string_view path, mode_t type, std::vector<std::string>* names) {
    std::string real = resolve(path);
    DIR* dir = ::opendir(real.empty() ? "." : real.c_str());
    if (!dir) return statusFromErrno("cannot list", real);
    names->clear();
    std::string prefix = real.empty() || real.back() == '/' ? real : real + "/";
    while (dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      if (::stat((prefix + name).c_str(), &st) == 0 && (st.st_mode & S_IFMT) == type) names->push_back(name);
    }
    ::closedir(dir);
    return Status::ok();
  }
};

} // namespace

FileSystem& systemFileSystem() {
  static PosixFileSystem system;
  return system;
}

} // namespace pu
