#include "tools/sample/sample_database.h"

#include <memory>
#include <string>
#include <vector>

#include "db/course_table_tags.h"
#include "platform/fs/file_system.h"
#include "platform/profile/profile.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tools/sample/sample_content.h"
#include "util/stored_text.h"

namespace pu::sample {
namespace {

using table::FieldSpec;
using table::TagSpec;

struct TableLayout {
  std::string name;
  std::vector<FieldSpec> fields;
  std::vector<TagSpec> tags;
};

// The tags are the ones the course-table registry knows.
TableLayout standardLayout() {
  return {"standard",
          {{"tree_id", 'N', 3, 0, 0}, {"node_id", 'N', 7, 0, 0}, {"parent_id", 'N', 7, 0, 0}, {"Order", 'N', 3, 0, 0},
           {"descript", 'C', 254, 0, 0}, {"notes", 'M', 4, 0, 0}},
          *KnownCourseTags("standard")};
}

TableLayout linkLayout() {
  return {"stanques",
          {{"stanquesid", 'N', 7, 0, 0}, {"tree_id", 'N', 3, 0, 0}, {"node_id", 'N', 7, 0, 0}, {"quest_id", 'N', 7, 0, 0}},
          *KnownCourseTags("stanques")};
}

TableLayout questionLayout() {
  return {"quests",
          {{"quest_id", 'N', 7, 0, 0}, {"question", 'M', 4, 0, 0}, {"answer1", 'C', 80, 0, 0}, {"correctans", 'C', 1, 0, 0}},
          *KnownCourseTags("quests")};
}

std::string join(const std::string& folder, const std::string& file) { return folder + "/" + file; }

class TableWriter {
public:
  Status create(const std::string& folder, const TableLayout& layout) {
    m_layout = layout;
    m_path = join(folder, layout.name + ".dbf");
    Status s = table::Table::create(m_path, layout.fields, table::TableFormat::VisualFoxPro);
    if (s) s = table::Table::open(m_path, true, &m_table);
    return s;
  }

  // Starts a record; the field setters fill it and store() appends it.
  Status start() {
    Status s = m_table->appendStart();
    if (s) m_table->blank();
    return s;
  }
  Status setNumber(const char* field, std::int64_t value) { return m_table->assignInteger(*def(field), value); }
  Status setText(const char* field, const std::string& text) { return m_table->assignText(*def(field), text); }
  Status setMemo(const char* field, const std::string& text) { return m_table->assignMemo(*def(field), text); }
  Status store() { return m_table->append(); }

  // The index is built from all records at once, bottom-up.
  Status finish() {
    std::unique_ptr<table::CompoundIndex> index;
    Status s = table::CompoundIndex::create(join(folderOf(m_path), m_layout.name + ".cdx"), *m_table, m_layout.tags, &index);
    if (s) s = m_table->setStructuralIndex(true);
    if (s) s = m_table->close();
    return s;
  }

private:
  const table::FieldDef* def(const char* name) const { return m_table->schema().find(name); }
  static std::string folderOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

  TableLayout m_layout;
  std::string m_path;
  std::unique_ptr<table::Table> m_table;
};

std::string storedTitle(const StandardRow& row) {
  if (!row.encipher) return row.title;
  std::optional<Text> stored = EncodeStoredText(fromAnsi(row.title));
  return stored ? toAnsi(*stored) : row.title;
}

Status writeStandards(const std::string& folder, const SampleContent& content) {
  TableWriter w;
  Status s = w.create(folder, standardLayout());
  for (const StandardRow& row : content.standards) {
    if (s) s = w.start();
    if (s) s = w.setNumber("tree_id", row.tree);
    if (s) s = w.setNumber("node_id", row.node);
    if (s) s = w.setNumber("parent_id", row.parent);
    if (s) s = w.setNumber("Order", row.order);
    if (s) s = w.setText("descript", storedTitle(row));
    if (s && row.node == 1) s = w.setMemo("notes", "Standards tree " + std::to_string(row.tree) + ": " + row.title);
    if (s) s = w.store();
  }
  return s ? w.finish() : s;
}

Status writeLinks(const std::string& folder, const SampleContent& content) {
  TableWriter w;
  Status s = w.create(folder, linkLayout());
  for (const LinkRow& link : content.links) {
    if (s) s = w.start();
    if (s) s = w.setNumber("stanquesid", link.id);
    if (s) s = w.setNumber("tree_id", link.tree);
    if (s) s = w.setNumber("node_id", link.node);
    if (s) s = w.setNumber("quest_id", link.question);
    if (s) s = w.store();
  }
  return s ? w.finish() : s;
}

Status writeQuestions(const std::string& folder, const SampleContent& content) {
  TableWriter w;
  Status s = w.create(folder, questionLayout());
  for (std::int32_t question : content.questions) {
    if (s) s = w.start();
    if (s) s = w.setNumber("quest_id", question);
    if (s) s = w.setMemo("question", "What is question " + std::to_string(question) + " about?");
    if (s) s = w.setText("answer1", "Answer " + std::to_string(question));
    if (s) s = w.setText("correctans", "A");
    if (s) s = w.store();
  }
  return s ? w.finish() : s;
}

Status writeIni(const std::string& path, const std::string& section, const std::string& key, const std::string& value) {
  return WritePrivateProfileStringA(section, key, value, path) != 0 ? Status::ok()
                                                                    : Status::ioError("cannot write '" + path + "'");
}

Status writeSettings(const std::string& folder, const SampleContent& content) {
  std::string rules = join(folder, "classification.ini");
  Status s;
  for (const StateTree& tree : content.stateTrees) {
    std::string section = "State" + std::to_string(tree.tree);
    for (std::size_t k = 0; k < tree.levels.size() && s; ++k) {
      std::string level = "Level" + std::to_string(k + 1);
      s = writeIni(rules, section, level + "Start", tree.levels[k].start);
      if (s) s = writeIni(rules, section, level + "End", tree.levels[k].end);
      if (s) s = writeIni(rules, section, level + "IncludeParent", tree.levels[k].includeParent);
    }
  }
  std::string options = join(folder, "options.ini");
  const char* styles[] = {"1", "1", "A", "i"};
  for (int level = 0; level < 4 && s; ++level)
    s = writeIni(options, "Strings", "StandardOrdinal" + std::to_string(level + 1), styles[level]);
  return s;
}

Status writeTables(const std::string& folder, const SampleContent& content) {
  Status s = writeStandards(folder, content);
  if (s) s = writeLinks(folder, content);
  if (s) s = writeQuestions(folder, content);
  return s;
}

Status makeFolder(const std::string& path) {
  Status s = FileSystem::instance().createDirectory(path);
  return s.code() == Status::Code::Exists ? Status::ok() : s;
}

} // namespace

// A course database already in the folder is someone's work: never written over.
Status refuseExistingDatabase(const std::string& folder) {
  for (const char* table : {"standard.dbf", "stanques.dbf", "quests.dbf"})
    if (FileSystem::instance().modifiedTime(join(folder, table)))
      return Status::exists("'" + folder + "' already holds a course database (" + table + "); choose an empty folder");
  return Status::ok();
}

Status writeCourseDatabase(const std::string& folder, const SampleContent& content) {
  Status s = refuseExistingDatabase(folder);
  if (s) s = makeFolder(folder);
  if (s) s = writeTables(folder, content);
  if (s) s = writeSettings(folder, content);
  if (s) s = makeFolder(join(folder, "Blank"));
  if (s) s = writeTables(join(folder, "Blank"), SampleContent{});
  return s;
}

Status makeSampleDatabase(const std::string& folder, const SampleOptions& options) {
  return writeCourseDatabase(folder, makeSampleContent(options.extraNodes, options.seed));
}

} // namespace pu::sample
