// Opens any bytes as a compound index and walks, seeks and checks every tag:
// must return statuses, never crash, read out of bounds or loop.
#include <cstdint>
#include <memory>
#include <string>
#include <unistd.h>

#include "platform/fs/file_system.h"
#include "platform/table/cdx_index.h"

namespace {

class FixedRecords : public pu::table::RecordSource {
public:
  FixedRecords() {
    pu::table::FieldDef name, num, id;
    name.name = "NAME";
    name.length = 10;
    name.offset = 1;
    num.name = "NUM";
    num.type = 'N';
    num.length = 8;
    num.offset = 11;
    id.name = "ID";
    id.type = 'I';
    id.length = 4;
    id.offset = 19;
    m_schema.fields = {name, num, id};
    m_schema.recordLength = 23;
  }
  const pu::table::TableSchema& schema() const override { return m_schema; }
  std::uint32_t recordCount() const override { return 3; }
  pu::Status readRecord(std::uint32_t recno, std::string* bytes) override {
    *bytes = std::string(" name") + char('0' + recno) + "    " + "     " + char('0' + recno) + ".0" +
             std::string(1, char(recno)) + std::string(3, '\0');
    return pu::Status::ok();
  }
  pu::Status readMemo(std::uint32_t, std::string* text) override {
    text->clear();
    return pu::Status::ok();
  }

private:
  pu::table::TableSchema m_schema;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/cdx_fuzz_" + std::to_string(::getpid()) + ".cdx";
  pu::FileSystem& fs = pu::FileSystem::instance();
  {
    std::unique_ptr<pu::File> file;
    if (!fs.createFile(path, &file)) return 0;
    if (!file->writeAt(0, data, size)) return 0;
  }
  FixedRecords records;
  std::unique_ptr<pu::table::CompoundIndex> index;
  pu::table::CdxOpenOptions options;
  options.writable = false;
  if (!pu::table::CompoundIndex::open(path, records, &index, options)) return 0;
  for (int t = 0; t < index->tagCount(); ++t) {
    pu::table::TagCursor c;
    pu::Status s = index->first(t, &c);
    for (int n = 0; s && c.valid; ++n) {
      if (n > 1000000) __builtin_trap();  // a walk must end
      s = index->next(t, &c);
    }
    s = index->last(t, &c);
    for (int n = 0; s && c.valid; ++n) {
      if (n > 1000000) __builtin_trap();
      s = index->prev(t, &c);
    }
    pu::table::SeekResult r;
    (void)index->seek(t, "name2", &c, &r);
    (void)index->seek(t, std::string(300, 'z'), &c, &r);
    (void)index->seek(t, "", &c, &r);
  }
  (void)index->check();
  return 0;
}
