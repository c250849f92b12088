// Opens a table built from the input and reads every record, field and memo.
// Input: 2 bytes little-endian n, then n bytes of .dbf, the rest is the .fpt.
// The files live in memory, so the fuzzer leaves nothing behind.
#include <cstdint>
#include <map>
#include <string>

#include "platform/fs/file_system.h"
#include "platform/table/table.h"

namespace {

class MemoryFile : public pu::File {
public:
  MemoryFile(std::string path, std::string* data) : m_path(std::move(path)), m_data(data) {}
  pu::Status readAt(std::uint64_t o, void* b, std::size_t n, std::size_t* r) override {
    *r = o >= m_data->size() ? 0 : std::min<std::size_t>(n, m_data->size() - o);
    if (*r) m_data->copy(static_cast<char*>(b), *r, o);
    return pu::Status::ok();
  }
  pu::Status writeAt(std::uint64_t, const void*, std::size_t) override { return pu::Status::ioError("read-only"); }
  pu::Status size(std::uint64_t* b) override {
    *b = m_data->size();
    return pu::Status::ok();
  }
  pu::Status truncate(std::uint64_t) override { return pu::Status::ioError("read-only"); }
  pu::Status sync() override { return pu::Status::ok(); }
  pu::Status lock(std::uint64_t, std::uint64_t, bool) override { return pu::Status::ok(); }
  pu::Status unlock(std::uint64_t, std::uint64_t) override { return pu::Status::ok(); }
  const std::string& path() const override { return m_path; }

private:
  std::string m_path;
  std::string* m_data;
};

class MemoryFileSystem : public pu::FileSystem {
public:
  std::map<std::string, std::string> files;
  std::string resolve(std::string_view p) override { return std::string(p); }
  pu::Status openFile(std::string_view p, bool, std::unique_ptr<pu::File>* f) override {
    auto it = files.find(std::string(p));
    if (it == files.end()) return pu::Status::notFound("no file " + std::string(p));
    *f = std::make_unique<MemoryFile>(it->first, &it->second);
    return pu::Status::ok();
  }
  pu::Status createFile(std::string_view, std::unique_ptr<pu::File>*) override { return pu::Status::ioError("read-only"); }
  std::optional<std::int64_t> modifiedTime(std::string_view p) override {
    return files.count(std::string(p)) ? std::optional<std::int64_t>(0) : std::nullopt;
  }
  bool isDirectory(std::string_view) override { return false; }
  pu::Status makeNormal(std::string_view) override { return pu::Status::ok(); }
  pu::Status removeFile(std::string_view) override { return pu::Status::ioError("read-only"); }
  pu::Status rename(std::string_view, std::string_view) override { return pu::Status::ioError("read-only"); }
  pu::Status createDirectory(std::string_view) override { return pu::Status::ioError("read-only"); }
  pu::Status listDirectories(std::string_view, std::vector<std::string>*) override { return pu::Status::ok(); }
  std::vector<std::string> roots() override { return {"/"}; }
  std::string currentDirectory() override { return "/"; }
  void sleepMilliseconds(int) override {}
};

MemoryFileSystem& memoryFileSystem() {
  static MemoryFileSystem* fs = [] {
    auto* m = new MemoryFileSystem();
    pu::FileSystem::setInstance(m);
    return m;
  }();
  return *fs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::size_t n = data[0] | (data[1] << 8);
  if (n > size - 2) n = size - 2;
  MemoryFileSystem& fs = memoryFileSystem();
  const char* bytes = reinterpret_cast<const char*>(data);
  fs.files["/t.dbf"].assign(bytes + 2, n);
  fs.files["/t.fpt"].assign(bytes + 2 + n, size - 2 - n);
  std::unique_ptr<pu::table::Table> t;
  if (!pu::table::Table::open("/t.dbf", false, &t)) return 0;
  for (std::uint32_t r = 1; r <= t->recordCount() && r <= 1000; ++r) {
    if (!t->go(r)) break;
    for (const pu::table::FieldDef& f : t->schema().fields) {
      pu::table::Value v = t->value(f);
      if (v.kind == pu::table::Value::Kind::Memo) {
        std::string memo;
        (void)t->memoText(f, &memo);
      }
    }
  }
  return 0;
}
