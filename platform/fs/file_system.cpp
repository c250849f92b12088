#include "platform/fs/file_system.h"

namespace pu {

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
  if (s) s = file->sync();
  file.reset();
  if (s) s = fs.rename(temp, target);
  if (!s) (void)fs.removeFile(temp);  // best effort: the error worth reporting is s
  return s;
}

} // namespace pu
