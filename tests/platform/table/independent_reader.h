#pragma once
// Runs the independent readers installed on the machine (python3 dbfread,
// Perl XBase) over files our engine wrote, so tests never trust our reader alone.
#include <string>

namespace pu::test {

// Standard output of `python3 -c script args...` or `perl -e`; exit status in *status.
std::string runPython(const std::string& script, const std::string& args, int* status = nullptr);
std::string runPerl(const std::string& script, const std::string& args, int* status = nullptr);

// The table as dbfread sees it, one line per record:
//   n<TAB>deleted(0/1)<TAB>FIELD=value<TAB>...  (live records first, then deleted)
// values printed by Python's repr (str for dates); memos as text.
std::string dbfreadDump(const std::string& path);

// One tag of a .cdx as Perl XBase::Index reads it in character mode, a line
// per entry: the key in hex (without its trailing filler), TAB, the record
// number; or a line starting "XBase::Index failed" when it cannot.
std::string xbaseTagListing(const std::string& cdxPath, const std::string& tag);

} // namespace pu::test
