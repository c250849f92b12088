#pragma once
// A file system that passes every call to the real one, except those a test
// overrides: extra volumes, or copies that fail.
#include <functional>
#include <memory>

#include "platform/fs/file_system.h"

namespace pu::test {

class DelegatingFileSystem : public FileSystem {
public:
  DelegatingFileSystem() : m_real(FileSystem::instance()) { FileSystem::setInstance(this); }
  ~DelegatingFileSystem() override { FileSystem::setInstance(&m_real); }

  std::function<std::vector<std::string>()> rootsOverride;
  // Returns an error for the paths it wants createFile to refuse.
  std::function<Status(std::string_view)> createFileFailure;
  // Files created for these paths store half of each write and then report
  // an error, as a disk that fills up does.
  std::function<bool(std::string_view)> failWrites;
  // Paths reported as existing whether they do or not. Predicates see
  // resolved paths.
  std::function<bool(std::string_view)> pretendExists;

  std::string resolve(std::string_view path) override { return m_real.resolve(path); }
  Status openFile(std::string_view path, bool writable, std::unique_ptr<File>* file) override {
    return m_real.openFile(path, writable, file);
  }
  Status createFile(std::string_view path, std::unique_ptr<File>* file) override {
    if (createFileFailure) {
      Status s = createFileFailure(m_real.resolve(path));
      if (!s) return s;
    }
    Status s = m_real.createFile(path, file);
    if (s && failWrites && failWrites(m_real.resolve(path))) *file = std::make_unique<FailingFile>(std::move(*file));
    return s;
  }
  std::optional<std::int64_t> modifiedTime(std::string_view path) override {
    if (pretendExists && pretendExists(m_real.resolve(path))) return 1;
    return m_real.modifiedTime(path);
  }
  bool isDirectory(std::string_view path) override { return m_real.isDirectory(path); }
  Status makeNormal(std::string_view path) override { return m_real.makeNormal(path); }
  Status removeFile(std::string_view path) override { return m_real.removeFile(path); }
  Status rename(std::string_view from, std::string_view to) override { return m_real.rename(from, to); }
  Status createDirectory(std::string_view path) override { return m_real.createDirectory(path); }
  Status listDirectories(std::string_view path, std::vector<std::string>* names) override {
    return m_real.listDirectories(path, names);
  }
  std::vector<std::string> roots() override { return rootsOverride ? rootsOverride() : m_real.roots(); }
  std::string currentDirectory() override { return m_real.currentDirectory(); }
  void sleepMilliseconds(int ms) override { m_real.sleepMilliseconds(ms); }

private:
  class FailingFile : public File {
  public:
    explicit FailingFile(std::unique_ptr<File> inner) : m_inner(std::move(inner)) {}
    Status readAt(std::uint64_t offset, void* buffer, std::size_t n, std::size_t* bytesRead) override {
      return m_inner->readAt(offset, buffer, n, bytesRead);
    }
    Status writeAt(std::uint64_t offset, const void* data, std::size_t n) override {
      Status partial = m_inner->writeAt(offset, data, n / 2);
      (void)partial;  // the error below is what the writer sees either way
      return Status::ioError("no room left on the device");
    }
    Status size(std::uint64_t* bytes) override { return m_inner->size(bytes); }
    Status truncate(std::uint64_t bytes) override { return m_inner->truncate(bytes); }
    Status sync() override { return m_inner->sync(); }
    Status lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
      return m_inner->lock(offset, length, exclusive);
    }
    Status unlock(std::uint64_t offset, std::uint64_t length) override { return m_inner->unlock(offset, length); }
    const std::string& path() const override { return m_inner->path(); }

  private:
    std::unique_ptr<File> m_inner;
  };

  FileSystem& m_real;
};

} // namespace pu::test
