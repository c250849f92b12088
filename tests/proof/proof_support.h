#pragma once
// What the proof tests share: the course database they start from, running
// write_storm and reading its log, the checks dbftool check makes
// (structure, records, memos, every tag), the repair by reindex, the values
// the logs say the tables must hold, and the independent readers' view.
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/status.h"
#include "tools/sample/sample_database.h"

namespace pu::proof {

inline const std::vector<std::string> kTables = {"standard", "stanques", "quests"};

// The sample course database made in folder; *counts (when given): the records of each of kTables.
void makeCourse(const std::string& folder, const sample::SampleOptions& options = {},
                std::map<std::string, std::uint32_t>* counts = nullptr);

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
  // Whether step i began and its end is logged.
  bool finished(std::size_t i) const {
    return i + 1 < steps.size() && steps[i + 1].kind == 'E' && steps[i + 1].step == steps[i].step;
  }
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

// Empty when python dbfread reads as many records (live and deleted) as we
// do, each with the same stored bytes of field; else how they differ.
// *records: how many it read.
std::string dbfreadDisagrees(const std::string& dbfPath, const std::string& field, std::size_t* records = nullptr);
// Empty when Perl XBase::Index lists the tag's keys and records as our walk does.
std::string xbaseDisagrees(const std::string& dbfPath, const std::string& tag);

} // namespace pu::proof
