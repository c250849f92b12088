#include "platform/fs/file_system.h"

#include <vector>

namespace pu {

// The file system of the operating system the build is for, in its own file.
FileSystem& systemFileSystem();

namespace {

FileSystem* g_current = nullptr;  // a test's stand-in

// The folder holding a resolved path ("." for a bare name).
std::string folderOf(std::string path) {
  const char* separators = "/\\";
  while (path.size() > 1 && path.find_last_of(separators) == path.size() - 1) path.pop_back();
  std::size_t slash = path.find_last_of(separators);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

} // namespace

FileSystem& FileSystem::instance() { return g_current ? *g_current : systemFileSystem(); }

FileSystem* FileSystem::setInstance(FileSystem* fs) {
  FileSystem* previous = &instance();
  g_current = fs;
  return previous;
}

Status moveIntoPlace(File& file, std::string_view to) {
  FileSystem& fs = FileSystem::instance();
  std::string target = fs.resolve(to);
  Status s = file.sync();
  if (s) s = fs.rename(file.path(), target);
  if (s) s = fs.syncDirectory(folderOf(target));
  return s;
}

// Opened for reading: a pack another user left half done (table.h rule 5)
// is finished by whoever opens the table next.
Status moveIntoPlace(std::string_view from, std::string_view to) {
  std::unique_ptr<File> file;
  Status s = FileSystem::instance().openFile(from, false, &file);
  return s ? moveIntoPlace(*file, to) : s;
}

Status copyIntoPlace(std::string_view from, std::string_view to) {
  FileSystem& fs = FileSystem::instance();
  const std::string temp = fs.resolve(to) + ".copy~";
  std::unique_ptr<File> source, copy;
  Status s = fs.openFile(from, false, &source);
  if (s) s = fs.createFile(temp, &copy);
  std::vector<char> buffer(1 << 20);
  for (std::uint64_t offset = 0; s;) {
    std::size_t n = 0;
    s = source->readAt(offset, buffer.data(), buffer.size(), &n);
    if (!s || n == 0) break;
    s = copy->writeAt(offset, buffer.data(), n);
    offset += n;
  }
  if (s) s = moveIntoPlace(*copy, to);
  copy.reset();
  if (!s) (void)fs.removeFile(temp);  // best effort: the error worth reporting is s
  return s;
}

Status replaceFileAtomically(std::string_view path, std::string_view contents) {
  FileSystem& fs = FileSystem::instance();
  std::string target = fs.resolve(path);
  std::string temp = target + ".tmp~";
  std::unique_ptr<File> file;
  Status s = fs.createFile(temp, &file);
  if (s) s = file->writeAt(0, contents.data(), contents.size());
  if (s) s = moveIntoPlace(*file, target);
  file.reset();
  if (!s) (void)fs.removeFile(temp);  // best effort: the error worth reporting is s
  return s;
}

Status createDirectoryDurably(std::string_view path) {
  FileSystem& fs = FileSystem::instance();
  std::string folder = fs.resolve(path);
  Status s = fs.createDirectory(folder);
  return s ? fs.syncDirectory(folderOf(folder)) : s;
}

} // namespace pu
