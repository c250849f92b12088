#pragma once
// A course database written into a fresh folder, with the path globals
// pointing at it, and a check that every tag of a table matches its records.
#include <gtest/gtest.h>

#include <string>

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

// A small hand-built tree: the root of tree 2 (parent 0) and the rows.
sample::SampleContent treeOf(std::initializer_list<sample::StandardRow> rows);

// A title stored enciphered with another key than the program's: what a real
// database's titles look like to our stand-in cipher.
std::string foreignEnciphered(const std::string& plain);

} // namespace pu::test
