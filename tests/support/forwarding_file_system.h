#pragma once
// A file system that passes every call to the one in place when it was made and puts itself in place for its
// lifetime; tests set hooks for the calls they want to fail or fake, or override a call.
#include <functional>
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

  // Predicates see resolved paths.
  std::function<std::vector<std::string>()> rootsOverride;
  // Returns an error for the paths it wants createFile to refuse.
  std::function<Status(std::string_view)> createFileFailure;
  // Files created for these paths store half of each write, then fail as a full disk does.
  std::function<bool(std::string_view)> failWrites;
  // Paths reported as existing whether they do or not.
  std::function<bool(std::string_view)> pretendExists;
  // Runs in place of each pause of a wait.
  std::function<void(int ms)> onSleep;
  // Opened files whose path `in` accepts refuse the writes and locks the others accept. Shared with those
  // files, which may outlive this one (the table registry keeps tables open).
  struct Refusals {
    std::function<bool(std::string_view path)> in;
    std::function<bool(std::string_view bytes)> write;
    std::function<bool(std::uint64_t offset)> lock;
  };
  std::shared_ptr<Refusals> refuse = std::make_shared<Refusals>();

  std::string resolve(std::string_view path) override { return m_real.resolve(path); }
  Status openFile(std::string_view path, bool writable, std::unique_ptr<File>* file) override {
    Status s = m_real.openFile(path, writable, file);
    if (s) opened(m_real.resolve(path), false, file);
    return s;
  }
  Status createFile(std::string_view path, std::unique_ptr<File>* file) override {
    Status s = createFileFailure ? createFileFailure(m_real.resolve(path)) : Status::ok();
    if (s) s = m_real.createFile(path, file);
    if (s) opened(m_real.resolve(path), true, file);
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
  Status syncDirectory(std::string_view path) override { return m_real.syncDirectory(path); }
  Status listDirectories(std::string_view path, std::vector<std::string>* names) override {
    return m_real.listDirectories(path, names);
  }
  Status listFiles(std::string_view path, std::vector<std::string>* names) override { return m_real.listFiles(path, names); }
  std::vector<std::string> roots() override { return rootsOverride ? rootsOverride() : m_real.roots(); }
  std::string currentDirectory() override { return m_real.currentDirectory(); }
  void sleepMilliseconds(int ms) override { onSleep ? onSleep(ms) : m_real.sleepMilliseconds(ms); }

protected:
  // Every file opened (created false) or created through this one, by its
  // resolved path; *file may be wrapped.
  virtual void opened(const std::string& path, bool created, std::unique_ptr<File>* file) {
    if (!created && refuse->in && refuse->in(path)) *file = std::make_unique<Refusing>(std::move(*file), refuse);
    if (created && failWrites && failWrites(path)) *file = std::make_unique<HalfWrites>(std::move(*file));
  }

  FileSystem& m_real;

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

// After `budget` changes of files the process is dead: no further write,
// truncation, sync, creation, rename or removal happens.
class DyingFileSystem : public ForwardingFileSystem {
public:
  int budget = 0;
  Status createFile(std::string_view p, std::unique_ptr<File>* f) override {
    return spend() ? ForwardingFileSystem::createFile(p, f) : killed();
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
  void opened(const std::string&, bool, std::unique_ptr<File>* f) override { *f = std::make_unique<DyingFile>(std::move(*f), this); }
};

} // namespace pu::test
