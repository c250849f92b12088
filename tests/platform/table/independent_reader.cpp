#include "tests/platform/table/independent_reader.h"

#include <sys/wait.h>

#include <cstdio>

#include "tests/support/temp_dir.h"

namespace pu::test {
namespace {

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

} // namespace

std::string runCommand(const std::string& command, int* status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return out;
  }
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = ::pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

std::string runPython(const std::string& script, const std::string& args, int* status) {
  return runCommand("/usr/bin/python3 -c " + quote(script) + " " + args, status);
}

std::string runPerl(const std::string& script, const std::string& args, int* status) {
  return runCommand("/usr/bin/perl -e " + quote(script) + " " + args, status);
}

std::string dbfreadDump(const std::string& path) {
  static const char* script = R"(
import sys, datetime, dbfread
t = dbfread.DBF(sys.argv[1], load=True, char_decode_errors='replace')
rows = [(r, 0) for r in t.records] + [(r, 1) for r in t.deleted]
for i, (r, d) in enumerate(rows):
    cells = []
    for k, v in r.items():
        cells.append('%s=%s' % (k, v if isinstance(v, str) else (str(v) if isinstance(v, datetime.date) else repr(v))))
    print('%d\t%d\t%s' % (i + 1, d, '\t'.join(cells)))
)";
  int status = 0;
  std::string out = runPython(script, quote(path), &status);
  if (status != 0) return "dbfread failed (" + std::to_string(status) + "): " + out;
  return out;
}

std::string xbaseTagListing(const std::string& cdxPath, const std::string& tag) {
  static const char* script = R"(
use XBase::Index;
my ($f, $t) = @ARGV;
my $c = XBase::Index->new($f, tag => $t, type => 'C') or die XBase::Index->errstr;
$c->prepare_select;
while (my ($k, $r) = $c->fetch) { print unpack('H*', $k), "\t$r\n"; }
)";
  int status = 0;
  std::string out = runPerl(script, quote(cdxPath) + " " + quote(tag), &status);
  if (status != 0) return "XBase::Index failed: " + out;
  return out;
}

} // namespace pu::test
