#include "platform/fs/file_system.h"

namespace pu {

// The file system of the operating system the build is for, in its own file.
FileSystem& systemFileSystem();

namespace {
FileSystem* g_current = nullptr;  // a test's stand-in
} // namespace

FileSystem& FileSystem::instance() { return g_current ? *g_current : systemFileSystem(); }

FileSystem* FileSystem::setInstance(FileSystem* fs) {
  FileSystem* previous = &instance();
  g_current = fs;
  return previous;
}

Status replaceFileAtomically(std::string_view path, std::string_view contents) {
  FileSystem& fs = FileSystem::instance();
  std::string target = fs.resolve(path);
  std::string temp = target + ".tmp~";
  std::unique_ptr<File> file;
  Status s = fs.createFile(temp, &file);
  if (s) s = file->writeAt(0, contents.data(), contents.size());
  if (s) s = file->sync();
  file.reset();
  if (s) s = fs.rename(temp, target);
  if (!s) (void)fs.removeFile(temp);  // best effort: the error worth reporting is s
  return s;
}

} // namespace pu
