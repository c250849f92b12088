#include "platform/fs/file_system.h"

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

Status readFileContents(std::string_view path, std::string* contents) {
  std::unique_ptr<File> file;
  std::uint64_t size = 0;
  Status s = FileSystem::instance().openFile(path, false, &file);
  if (s) s = file->size(&size);
  if (!s) return s;
  contents->resize(size);
  std::size_t got = 0;
  s = file->readAt(0, contents->data(), contents->size(), &got);
  if (s && got != size) s = Status::ioError("'" + file->path() + "' shrank while it was read");
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
