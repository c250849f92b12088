// Every published table of the corpus, read by our engine and compared with
// what dbfread read from it (<table>.records.json), value by value.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/table/table.h"
#include "platform/table/value_text.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

// Typed JSON for the comparison script: what we decoded, with the raw field
// bytes beside it.
std::string json(Table& t, const FieldDef& f) {
  Value v = t.value(f);
  std::string raw = "\"raw\":\"" + hexOf(t.current().substr(f.offset, f.length)) + "\"";
  char buf[96];
  switch (v.kind) {
    case Value::Kind::Null: return "{\"null\":1," + raw + "}";
    case Value::Kind::Text: return "{\"t\":\"" + hexOf(v.bytes) + "\"," + raw + "}";
    case Value::Kind::Number: return "{\"n\":\"" + v.bytes + "\"," + raw + "}";
    case Value::Kind::Integer: return "{\"i\":" + std::to_string(v.integer) + "," + raw + "}";
    case Value::Kind::Logical: return std::string("{\"l\":") + (v.integer ? "true" : "false") + "," + raw + "}";
    case Value::Kind::Date:
    case Value::Kind::DateTime:
      std::snprintf(buf, sizeof buf, "{\"d\":[%d,%d,%d,%d,%d,%d,%d],", v.year, v.month, v.day, v.hour, v.minute, v.second, v.ms);
      return buf + raw + (v.kind == Value::Kind::Date ? ",\"date\":1}" : "}");
    case Value::Kind::Currency: return "{\"y\":" + std::to_string(v.integer) + "," + raw + "}";
    case Value::Kind::Double: return "{\"b\":\"" + valueText(v) + "\"," + raw + "}";
    case Value::Kind::Memo: {
      std::string memo;
      Status s = t.memoText(f, &memo);
      if (!s) return "{\"error\":\"" + hexOf(s.message()) + "\"}";
      return "{\"m\":\"" + hexOf(memo) + "\"," + raw + "}";
    }
    case Value::Kind::Raw: return "{\"x\":\"" + hexOf(v.bytes) + "\"," + raw + "}";
  }
  return "null";
}

Status writeOurs(const std::string& dbf, const std::string& out) {
  std::unique_ptr<Table> t;
  Status s = Table::open(dbf, false, &t);
  if (!s) return s;
  std::ofstream o(out);
  o << "[";
  for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
    s = t->go(r);
    if (!s) return s;
    o << (r > 1 ? "," : "") << "{\"recno\":" << r << ",\"deleted\":" << (t->isDeleted() ? "true" : "false") << ",\"data\":{";
    bool first = true;
    for (const FieldDef& f : t->schema().fields) {
      o << (first ? "" : ",") << "\"" << f.name << "\":" << json(*t, f);
      first = false;
    }
    o << "}}";
  }
  o << "]";
  return Status::ok();
}

const char* kCompare = R"(
import sys, json, datetime, decimal
exp = json.load(open(sys.argv[1])); ours = json.load(open(sys.argv[2]))
enc = exp['meta'].get('encoding', 'cp1252')
def txt(h): return bytes.fromhex(h).decode(enc, 'replace')
def same(e, o):
    if 'error' in o: return False
    raw = bytes.fromhex(o['raw']) if 'raw' in o else b''
    if isinstance(e, dict) and 'hex' in e:
        want = bytes.fromhex(e['hex'])
        for k in ('t', 'x', 'm'):
            if k in o:
                got = bytes.fromhex(o[k])
                if got == want or (len(want) and got == want[:want[-1]] and raw == want): return True
        return raw == want
    if 'null' in o and e is not None:  # dbfread ignores _NullFlags: it sees the bytes under the NULL
        if isinstance(e, str): return txt(o['raw']).rstrip('\x00 ') == e
        return e in (0, False) and raw.strip(b'\x00 F') == b''
    if e is None:
        return 'null' in o or o.get('m') == '' or ('t' in o and txt(o['t']).strip('\x00 ') == '')
    if isinstance(e, bool): return o.get('l') == e
    if isinstance(e, (int, float)):
        for k in ('n', 'b'):
            if k in o: return abs(float(o[k]) - e) <= 1e-9 * max(1.0, abs(e))
        return o.get('i') == e
    if isinstance(e, str):
        if 't' in o and raw and raw[-1] < len(raw) and bytes.fromhex(o['t']) == raw[:raw[-1]]:
            return txt(o['raw']).rstrip('\x00 ') == e  # varchar: dbfread keeps the length byte
        if 't' in o: return txt(o['t']).rstrip('\x00 ') == e
        if 'x' in o: return txt(o['x']).rstrip('\x00 ') == e
        if 'm' in o: return txt(o['m']) == e
        if 'y' in o: return decimal.Decimal(e) * 10000 == o['y']
        if 'd' in o:
            y, m, d, hh, mi, ss, ms = o['d']
            if 'date' in o: return datetime.date(y, m, d).isoformat() == e
            return datetime.datetime(y, m, d, hh, mi, ss, ms * 1000).isoformat() == e
    return False
bad = []
if len(exp['records']) != len(ours): bad.append('count %d != %d' % (len(exp['records']), len(ours)))
for er, orow in zip(exp['records'], ours):
    if er['recno'] != orow['recno'] or er['deleted'] != orow['deleted']: bad.append('record %d flag' % er['recno'])
    for k, e in er['data'].items():
        if k not in orow['data'] or not same(e, orow['data'][k]):
            bad.append('record %d field %s: expected %r, ours %r' % (er['recno'], k, e, orow['data'].get(k)))
print('ok' if not bad else '\n'.join(bad[:10]))
)";

TEST(TableCorpus, EveryTableReadsAsDbfreadReadsIt) {
  PU_REQUIRE_CORPUS();
  test::TempDir dir;
  int tables = 0;
  for (const std::string& dbf : test::corpusFiles(".dbf")) {
    const std::string expected = dbf.substr(0, dbf.size() - 4) + ".records.json";
    if (!std::filesystem::exists(expected)) continue;
    std::string ours = dir.file("ours.json");
    Status s = writeOurs(dbf, ours);
    ASSERT_TRUE(s) << dbf << ": " << s.message();
    int status = 0;
    std::string out = test::runPython(kCompare, "'" + expected + "' '" + ours + "'", &status);
    EXPECT_EQ(out, "ok\n") << dbf;
    ++tables;
  }
  EXPECT_GE(tables, 60);
}

} // namespace
} // namespace pu::table
