#pragma once
// What the proof tests share: running write_storm, reading its log, the
// checks dbftool check makes (structure, records, memos, every tag), the
// repair by reindex, and the values the logs say the tables must hold.
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace pu::proof {

inline const std::vector<std::string> kTables = {"standard", "stanques", "quests"};

struct Step {
  char kind = 0;  // 'B' started, 'E' finished
  int step = 0;
  std::string table;
  std::uint32_t recno = 0;  // 0: an append not yet numbered
  std::vector<std::pair<std::string, std::string>> fields;
};

struct StormLog {
  std::vector<Step> steps;
  bool done = false;  // the storm ran to its end
};

// A line cut short by a kill is left out.
StormLog readLog(const std::string& path);

struct StormArgs {
  std::string folder, log;
  std::uint32_t seed = 1;
  int count = 1000;
  int writer = 1, writers = 1;
  bool deletes = false;  // delete categories (with the pack) instead
};
pid_t startStorm(const StormArgs& args);
// Exit code, or -signal when a signal ended it.
int waitStorm(pid_t pid);

// Structure as dbftool check sees it: header, record count against the file
// size, deleted flags and memo pointers. *count: the records the table holds.
Status checkStructure(const std::string& dbfPath, std::uint32_t* count);
// Every tag of the production index against the records (CompoundIndex::check).
Status checkTags(const std::string& dbfPath);
Status reindex(const std::string& dbfPath);

// The values the logs fix. A finished step fixes the fields it lists; a
// started step that never finished may have written some of them or none,
// so its row takes whatever values the table then holds.
class Expectation {
public:
  void apply(const StormLog& log);
  // Empty when the tables agree; else the first disagreement. Open rows
  // take the table's values.
  std::string compare(const std::string& folder);
  std::size_t rows() const;

private:
  struct Row {
    std::map<std::string, std::string> fields;
    bool open = false;
  };
  std::map<std::string, std::map<std::uint32_t, Row>> m_rows;
};

// The live rows of the standards table by tree and node, and what the logs
// of a deleting storm say must have become of them: a finished delete
// removes the node and moves its children up (or removes its subtree); the
// rows an unfinished delete may have changed take the table's state. Only
// the live rows count: rows marked deleted may stay until a pack runs.
class TreeModel {
public:
  Status load(const std::string& folder);
  // Deletes the log says finished; *finished counts them.
  void apply(const StormLog& log, int* finished);
  // Empty when the table's live rows are the model's, with their parents and titles.
  std::string compare(const std::string& folder);
  std::size_t size() const { return m_rows.size(); }

private:
  using Key = std::pair<std::int32_t, std::int32_t>;
  struct Row {
    std::int32_t parent = 0;
    std::string title;
    bool open = false;
  };
  std::vector<Key> affected(const Key& node, bool promote) const;
  Status read(const std::string& folder, std::map<Key, Row>* live) const;
  std::map<Key, Row> m_rows;
  std::string m_error;
};

// Keys and record numbers of one tag as our walk lists them, in the form of
// test::xbaseTagListing.
std::string ourListing(const std::string& dbfPath, const std::string& tag);
// The records python dbfread reads (live and deleted), and the stored bytes
// of one text field of each, trailing blanks removed, in hexadecimal.
struct DbfreadView {
  std::size_t records = 0;
  std::vector<std::string> values;
  std::string error;
};
DbfreadView dbfreadField(const std::string& dbfPath, const std::string& field);
// The same through our reader.
std::vector<std::string> ourField(const std::string& dbfPath, const std::string& field);

} // namespace pu::proof
