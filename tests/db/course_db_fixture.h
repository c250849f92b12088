#pragma once
// A course database written into a fresh folder, with the path globals
// pointing at it, and a check that every tag of a table matches its records.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/sample/sample_content.h"

namespace pu::test {

class CourseDbTest : public ::testing::Test {
protected:
  void TearDown() override;
  // Writes the rows and points every path global at the folder.
  void useDatabase(const sample::SampleContent& content);
  // Every tag of folder/name.dbf holds exactly the keys of its records.
  void expectTagsConsistent(const std::string& name);

  TempDir dir;
  std::string folder = dir.file("course");
};

// A row of standard.dbf as python3-dbfread reads it; the title is the
// stored bytes, trailing blanks removed.
struct StoredStandard {
  int tree = 0, node = 0, parent = 0, order = 0;
  bool deleted = false;
  std::string title;
  bool operator==(const StoredStandard&) const = default;
};
std::ostream& operator<<(std::ostream& out, const StoredStandard& row);

// Every row of the table, the live ones in record order, then those marked deleted.
std::vector<StoredStandard> standardsByDbfread(const std::string& dbf);
// The row of tree and node among them; nullptr when there is none.
const StoredStandard* findStandard(const std::vector<StoredStandard>& rows, int tree, int node);

// A small hand-built tree: the root of tree 2 (parent 0) and the rows.
sample::SampleContent treeOf(std::initializer_list<sample::StandardRow> rows);

// A title stored enciphered with another key than the program's: what a real
// database's titles look like to our stand-in cipher.
std::string foreignEnciphered(const std::string& plain);

} // namespace pu::test
