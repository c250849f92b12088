#pragma once
// A file system that passes every call to the real one, except those a test
// overrides: extra volumes, or copies that fail.
#include <functional>
#include <memory>

#include "tests/support/forwarding_file_system.h"

namespace pu::test {

class DelegatingFileSystem : public ForwardingFileSystem {
public:
  std::function<std::vector<std::string>()> rootsOverride;
  // Returns an error for the paths it wants createFile to refuse.
  std::function<Status(std::string_view)> createFileFailure;
  // Files created for these paths store half of each write and then report
  // an error, as a disk that fills up does.
  std::function<bool(std::string_view)> failWrites;
  // Paths reported as existing whether they do or not. Predicates see
  // resolved paths.
  std::function<bool(std::string_view)> pretendExists;

  Status createFile(std::string_view path, std::unique_ptr<File>* file) override {
    if (createFileFailure) {
      Status s = createFileFailure(m_real.resolve(path));
      if (!s) return s;
    }
    Status s = m_real.createFile(path, file);
    if (s && failWrites && failWrites(m_real.resolve(path))) *file = std::make_unique<HalfWrites>(std::move(*file));
    return s;
  }
  std::optional<std::int64_t> modifiedTime(std::string_view path) override {
    if (pretendExists && pretendExists(m_real.resolve(path))) return 1;
    return m_real.modifiedTime(path);
  }
  std::vector<std::string> roots() override { return rootsOverride ? rootsOverride() : m_real.roots(); }

private:
  class HalfWrites : public ForwardingFile {
  public:
    using ForwardingFile::ForwardingFile;
    Status writeAt(std::uint64_t offset, const void* data, std::size_t n) override {
      (void)m_inner->writeAt(offset, data, n / 2);  // the error below is what the writer sees either way
      return Status::ioError("no room left on the device");
    }
  };
};

} // namespace pu::test
