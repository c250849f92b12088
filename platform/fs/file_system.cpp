#include "platform/fs/file_system.h"

namespace pu {

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
