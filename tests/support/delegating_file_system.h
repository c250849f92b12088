#pragma once
// A file system that passes every call to the real one, except those a test
// overrides: extra volumes, copies, writes and locks that fail.
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
  // Opened files whose path `in` accepts refuse the writes and locks the
  // others accept. Shared with those files, which may outlive this one
  // (the table registry keeps tables open).
  struct Refusals {
    std::function<bool(std::string_view path)> in;
    std::function<bool(std::string_view bytes)> write;
    std::function<bool(std::uint64_t offset)> lock;
  };
  std::shared_ptr<Refusals> refuse = std::make_shared<Refusals>();

  Status openFile(std::string_view path, bool writable, std::unique_ptr<File>* file) override {
    Status s = m_real.openFile(path, writable, file);
    if (s && refuse->in && refuse->in(m_real.resolve(path))) *file = std::make_unique<Refusing>(std::move(*file), refuse);
    return s;
  }

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
  class Refusing : public ForwardingFile {
  public:
    Refusing(std::unique_ptr<File> inner, std::shared_ptr<Refusals> refuse) : ForwardingFile(std::move(inner)), m_refuse(std::move(refuse)) {}
    Status writeAt(std::uint64_t offset, const void* data, std::size_t n) override {
      if (m_refuse->write && m_refuse->write({static_cast<const char*>(data), n})) return Status::ioError("refused write");
      return ForwardingFile::writeAt(offset, data, n);
    }
    Status lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
      if (m_refuse->lock && m_refuse->lock(offset)) return Status::ioError("refused lock");
      return ForwardingFile::lock(offset, length, exclusive);
    }

  private:
    std::shared_ptr<Refusals> m_refuse;
  };

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
