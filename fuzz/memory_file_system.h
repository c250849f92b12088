#pragma once
// Files kept in memory for the fuzz targets: inputs never touch the disk, so
// a run leaves nothing behind and no two fuzzing processes share a file.
#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/fs/file_system.h"

namespace pu::fuzz {

class MemoryFile : public File {
public:
  static constexpr std::uint64_t kMaxFileSize = 16u << 20;

  MemoryFile(std::string path, std::string* data, bool writable)
      : m_path(std::move(path)), m_data(data), m_writable(writable) {}
  Status readAt(std::uint64_t o, void* b, std::size_t n, std::size_t* r) override {
    *r = o >= m_data->size() ? 0 : std::min<std::size_t>(n, m_data->size() - o);
    if (*r) m_data->copy(static_cast<char*>(b), *r, o);
    return Status::ok();
  }
  Status writeAt(std::uint64_t o, const void* b, std::size_t n) override {
    if (!m_writable) return Status::ioError(m_path + ": opened read-only");
    // A damaged header may point a write gigabytes past the end; a disk
    // would make that file sparse, memory cannot, so it fails as if full.
    if (o > kMaxFileSize || n > kMaxFileSize - o) return Status::ioError(m_path + ": disk full");
    if (o + n > m_data->size()) m_data->resize(o + n, '\0');
    m_data->replace(o, n, static_cast<const char*>(b), n);
    return Status::ok();
  }
  Status size(std::uint64_t* b) override {
    *b = m_data->size();
    return Status::ok();
  }
  Status truncate(std::uint64_t n) override {
    if (!m_writable) return Status::ioError(m_path + ": opened read-only");
    if (n > kMaxFileSize) return Status::ioError(m_path + ": disk full");
    m_data->resize(n, '\0');
    return Status::ok();
  }
  Status sync() override { return Status::ok(); }
  Status lock(std::uint64_t, std::uint64_t, bool) override { return Status::ok(); }
  Status unlock(std::uint64_t, std::uint64_t) override { return Status::ok(); }
  Status share(Share) override { return Status::ok(); }
  const std::string& path() const override { return m_path; }
  // The bytes themselves, as a shared mapping is: room for the largest file
  // is kept from the first view on, so that growing the file never moves
  // them under a view of this open or another.
  Status map(std::uint64_t, char** view) override {
    if (m_data->capacity() < kMaxFileSize) m_data->reserve(kMaxFileSize);
    *view = m_data->data();
    return Status::ok();
  }

private:
  std::string m_path;
  std::string* m_data;  // owned by the file system; std::map keeps it in place
  bool m_writable;
};

class MemoryFileSystem : public FileSystem {
public:
  std::map<std::string, std::string> files;

  // The one instance, put in place of the real file system on first use.
  static MemoryFileSystem& installed() {
    static MemoryFileSystem* fs = [] {
      auto* m = new MemoryFileSystem();
      FileSystem::setInstance(m);
      return m;
    }();
    return *fs;
  }

  std::string resolve(std::string_view p) override { return std::string(p); }
  Status openFile(std::string_view p, bool writable, std::unique_ptr<File>* f) override {
    auto it = files.find(std::string(p));
    if (it == files.end()) return Status::notFound("no file " + std::string(p));
    *f = std::make_unique<MemoryFile>(it->first, &it->second, writable);
    return Status::ok();
  }
  Status createFile(std::string_view p, std::unique_ptr<File>* f) override {
    auto& data = files[std::string(p)];
    data.clear();
    *f = std::make_unique<MemoryFile>(std::string(p), &data, true);
    return Status::ok();
  }
  std::optional<std::int64_t> modifiedTime(std::string_view p) override {
    return files.count(std::string(p)) ? std::optional<std::int64_t>(0) : std::nullopt;
  }
  bool isDirectory(std::string_view) override { return false; }
  Status makeNormal(std::string_view) override { return Status::ok(); }
  Status removeFile(std::string_view p) override {
    return files.erase(std::string(p)) ? Status::ok() : Status::notFound("no file " + std::string(p));
  }
  Status rename(std::string_view from, std::string_view to) override {
    auto it = files.find(std::string(from));
    if (it == files.end()) return Status::notFound("no file " + std::string(from));
    std::string data = std::move(it->second);
    files.erase(it);
    files[std::string(to)] = std::move(data);
    return Status::ok();
  }
  Status createDirectory(std::string_view) override { return Status::ok(); }
  Status syncDirectory(std::string_view) override { return Status::ok(); }
  Status listDirectories(std::string_view, std::vector<std::string>*) override { return Status::ok(); }
  Status listFiles(std::string_view, std::vector<std::string>*) override { return Status::ok(); }
  std::vector<std::string> roots() override { return {"/"}; }
  std::string currentDirectory() override { return "/"; }
  void sleepMilliseconds(int) override {}
};

} // namespace pu::fuzz
