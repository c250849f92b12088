#pragma once
// A file system that passes every call to the one in place when it was made
// and puts itself in place for its lifetime; tests override only the calls
// they want to fail or fake. ForwardingFile does the same for one open file.
// DyingFileSystem is a process killed after a number of file changes.
#include <memory>

#include "platform/fs/file_system.h"

namespace pu::test {

class ForwardingFile : public File {
public:
  explicit ForwardingFile(std::unique_ptr<File> inner) : m_inner(std::move(inner)) {}
  Status readAt(std::uint64_t offset, void* buffer, std::size_t n, std::size_t* bytesRead) override {
    return m_inner->readAt(offset, buffer, n, bytesRead);
  }
  Status writeAt(std::uint64_t offset, const void* data, std::size_t n) override { return m_inner->writeAt(offset, data, n); }
  Status size(std::uint64_t* bytes) override { return m_inner->size(bytes); }
  Status truncate(std::uint64_t bytes) override { return m_inner->truncate(bytes); }
  Status sync() override { return m_inner->sync(); }
  Status lock(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
    return m_inner->lock(offset, length, exclusive);
  }
  Status unlock(std::uint64_t offset, std::uint64_t length) override { return m_inner->unlock(offset, length); }
  Status share(Share mode) override { return m_inner->share(mode); }
  const std::string& path() const override { return m_inner->path(); }

protected:
  std::unique_ptr<File> m_inner;
};

class ForwardingFileSystem : public FileSystem {
public:
  ForwardingFileSystem() : m_real(FileSystem::instance()) { FileSystem::setInstance(this); }
  ~ForwardingFileSystem() override { FileSystem::setInstance(&m_real); }
  ForwardingFileSystem(const ForwardingFileSystem&) = delete;
  ForwardingFileSystem& operator=(const ForwardingFileSystem&) = delete;

  std::string resolve(std::string_view path) override { return m_real.resolve(path); }
  Status openFile(std::string_view path, bool writable, std::unique_ptr<File>* file) override {
    return m_real.openFile(path, writable, file);
  }
  Status createFile(std::string_view path, std::unique_ptr<File>* file) override { return m_real.createFile(path, file); }
  std::optional<std::int64_t> modifiedTime(std::string_view path) override { return m_real.modifiedTime(path); }
  bool isDirectory(std::string_view path) override { return m_real.isDirectory(path); }
  Status makeNormal(std::string_view path) override { return m_real.makeNormal(path); }
  Status removeFile(std::string_view path) override { return m_real.removeFile(path); }
  Status rename(std::string_view from, std::string_view to) override { return m_real.rename(from, to); }
  Status createDirectory(std::string_view path) override { return m_real.createDirectory(path); }
  Status syncDirectory(std::string_view path) override { return m_real.syncDirectory(path); }
  Status listDirectories(std::string_view path, std::vector<std::string>* names) override {
    return m_real.listDirectories(path, names);
  }
  Status listFiles(std::string_view path, std::vector<std::string>* names) override { return m_real.listFiles(path, names); }
  std::vector<std::string> roots() override { return m_real.roots(); }
  std::string currentDirectory() override { return m_real.currentDirectory(); }
  void sleepMilliseconds(int ms) override { m_real.sleepMilliseconds(ms); }

protected:
  FileSystem& m_real;
};

// After `budget` changes of files the process is dead: no further write,
// truncation, sync, creation, rename or removal happens.
class DyingFileSystem : public ForwardingFileSystem {
public:
  int budget = 0;
  Status openFile(std::string_view p, bool w, std::unique_ptr<File>* f) override { return wrap(m_real.openFile(p, w, f), f); }
  Status createFile(std::string_view p, std::unique_ptr<File>* f) override {
    return spend() ? wrap(m_real.createFile(p, f), f) : killed();
  }
  Status rename(std::string_view a, std::string_view b) override { return spend() ? m_real.rename(a, b) : killed(); }
  Status removeFile(std::string_view p) override { return spend() ? m_real.removeFile(p) : killed(); }

private:
  class DyingFile : public ForwardingFile {
  public:
    DyingFile(std::unique_ptr<File> f, DyingFileSystem* fs) : ForwardingFile(std::move(f)), m_fs(fs) {}
    Status writeAt(std::uint64_t o, const void* d, std::size_t n) override {
      return m_fs->spend() ? m_inner->writeAt(o, d, n) : killed();
    }
    Status truncate(std::uint64_t n) override { return m_fs->spend() ? m_inner->truncate(n) : killed(); }
    Status sync() override { return m_fs->spend() ? m_inner->sync() : killed(); }

  private:
    DyingFileSystem* m_fs;
  };
  bool spend() { return budget-- > 0; }
  static Status killed() { return Status::ioError("killed"); }
  Status wrap(Status s, std::unique_ptr<File>* f) {
    if (s) *f = std::make_unique<DyingFile>(std::move(*f), this);
    return s;
  }
};

} // namespace pu::test
