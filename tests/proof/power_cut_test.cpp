// The power cut at every sync point of a pack, a reindex, an INI rewrite and start-up's backups: no row
// committed before the cut is lost, every tag is right or start-up offers the rebuild, and a replacement
// that had returned before the cut is there after it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "app/prefix_main.h"
#include "db/course_index_check.h"
#include "platform/table/table.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/proof/proof_support.h"
#include "tools/sample/sample_database.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"
#include "util/ini_file.h"

namespace pu::proof {
namespace {

std::string parentOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

// The disk keeps a file's bytes as of its last sync and a folder's entries as of the folder's last sync. The
// calls go to the real files under root, which powerCut() turns into what the disk holds. A file is known by
// its inode, which a rename keeps; a link to it beside root keeps the number from going to another file.
// No sync after number cutAt (file and folder syncs counted) reaches the disk, though the program runs on.
class PowerCutFileSystem : public test::ForwardingFileSystem {
public:
  PowerCutFileSystem(const std::string& root, int cutAt)
      : m_root(m_real.resolve(root)), m_links(m_root + ".inodes"), m_cutAt(cutAt) {
    std::filesystem::create_directory(m_links);
    for (const auto& e : std::filesystem::recursive_directory_iterator(m_root)) {
      Entry& entry = m_disk[e.path().string()] = entryOf(e.path().string());
      if (entry.folder) continue;
      keepNumber(e.path().string(), entry.inode);  // a file removed unopened must not pass it on
      m_synced[entry.inode] = test::readWholeFile(e.path().string());
    }
  }
  // With every file closed; true when the power went off before now. An entry whose folder did not last is lost
  // with it; parents sort first.
  bool powerCut() {
    for (const auto& e : std::filesystem::directory_iterator(m_root)) std::filesystem::remove_all(e.path());
    std::filesystem::remove_all(m_links);
    for (const auto& [path, entry] : m_disk) {
      if (parentOf(path) != m_root && !std::filesystem::is_directory(parentOf(path))) continue;
      if (entry.folder) std::filesystem::create_directory(path);
      else test::writeWholeFile(path, m_synced[entry.inode]);
    }
    return m_syncPoints > m_cutAt;
  }

  Status syncDirectory(std::string_view path) override {
    std::string folder = under(path);
    if (!syncPoint()) return Status::ok();
    Status s = m_real.syncDirectory(path);
    if (!s || folder.empty()) return s;
    std::erase_if(m_disk, [&](const auto& e) { return parentOf(e.first) == folder; });
    for (const auto& e : std::filesystem::directory_iterator(folder)) m_disk[e.path().string()] = entryOf(e.path().string());
    return s;
  }

private:
  struct Entry {
    bool folder = false;
    ino_t inode = 0;
  };
  class TrackedFile final : public test::ForwardingFile {
  public:
    TrackedFile(std::unique_ptr<File> inner, PowerCutFileSystem& fs, ino_t inode)
        : ForwardingFile(std::move(inner)), m_fs(fs), m_inode(inode) {}
    Status sync() override {
      if (!m_fs.syncPoint()) return Status::ok();
      Status s = m_inner->sync();
      if (s) m_fs.m_synced[m_inode] = test::readWholeFile(m_fs.linkOf(m_inode));
      return s;
    }
    Status map(std::uint64_t length, char** view) override { return m_inner->map(length, view); }

  private:
    PowerCutFileSystem& m_fs;
    ino_t m_inode;
  };

  static Entry entryOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return {S_ISDIR(st.st_mode), st.st_ino};
  }
  std::string linkOf(ino_t inode) const { return m_links + "/" + std::to_string(inode); }
  void keepNumber(const std::string& path, ino_t inode) const {
    std::error_code linked;  // the link is there already when the file was opened before
    std::filesystem::create_hard_link(path, linkOf(inode), linked);
    EXPECT_TRUE(!linked || linked == std::errc::file_exists) << path << ": " << linked.message();
  }
  // The resolved path when it lies under root, else "".
  std::string under(std::string_view path) {
    std::string real = m_real.resolve(path);
    while (real.size() > 1 && real.back() == '/') real.pop_back();
    return real.rfind(m_root + "/", 0) == 0 || real == m_root ? real : std::string();
  }
  bool syncPoint() { return ++m_syncPoints <= m_cutAt; }
  void opened(const std::string& path, bool, std::unique_ptr<File>* file) override {
    if (under(path).empty()) return;
    ino_t inode = entryOf(path).inode;
    keepNumber(path, inode);
    *file = std::make_unique<TrackedFile>(std::move(*file), *this, inode);
  }

  std::string m_root, m_links;
  int m_cutAt;
  int m_syncPoints = 0;
  std::map<std::string, Entry> m_disk;  // by resolved path
  std::map<ino_t, std::string> m_synced;  // each file's bytes on the disk
};

class PowerCutTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(sample::makeSampleDatabase(pristine, {})); }
  // Runs op (which closes every file it opens) on a fresh copy of the sample database, the power cut at each
  // sync point it reaches and once after it returned (cutShort false); check looks at what the disk kept.
  void cutAtEverySyncPoint(const std::function<void()>& op, const std::function<void(bool cutShort)>& check) {
    for (int cutAt = 0;; ++cutAt) {
      SCOPED_TRACE("power cut at sync point " + std::to_string(cutAt));
      std::filesystem::remove_all(work);
      std::filesystem::copy(pristine, work, std::filesystem::copy_options::recursive);
      bool cutShort = false;
      {
        PowerCutFileSystem fs(work, cutAt);
        op();
        cutShort = fs.powerCut();
      }
      check(cutShort);
      if (!cutShort || HasFatalFailure()) return;
    }
  }

  test::TempDir dir;
  const std::string pristine = dir.file("pristine"), work = dir.file("course");
  const std::string standard = work + "/standard.dbf";
};

// Every tag right (for certain when mustBeRight), or the start-up check names the fault and so offers the rebuild.
void expectTagsRightOrRebuildOffered(const std::string& dbfPath, bool mustBeRight) {
  Status tags = checkTags(dbfPath);
  EXPECT_EQ(CheckProductionIndex(dbfPath).has_value(), !tags.isOk()) << tags.message();
  EXPECT_TRUE(tags || !mustBeRight) << tags.message();
}

using Key = std::pair<std::int64_t, std::int64_t>;  // tree, node

Key keyOf(const table::Table& t) {
  return {std::int64_t(t.value(*t.schema().find("TREE_ID")).number), std::int64_t(t.value(*t.schema().find("NODE_ID")).number)};
}

// The live rows of a standards table; python dbfread reads the same records.
std::set<Key> liveNodes(const std::string& dbfPath) {
  std::set<Key> live;
  std::unique_ptr<table::Table> t = test::openTable(dbfPath, false);
  if (!t) return live;
  for (std::uint32_t r = 1; r <= t->recordCount() && t->go(r); ++r)
    if (!t->isDeleted()) live.insert(keyOf(*t));
  EXPECT_EQ(dbfreadDisagrees(dbfPath, "NODE_ID"), "");
  return live;
}

// Every fourth row deleted, then the table packed, as a delete in the tree does.
TEST_F(PowerCutTest, PackKeepsEveryRowAndATableWithItsOwnIndex) {
  const std::set<Key> all = liveNodes(pristine + "/standard.dbf");
  std::set<Key> kept;
  cutAtEverySyncPoint(
      [&] {
        std::unique_ptr<table::Table> t = test::openWithIndex(standard);
        ASSERT_TRUE(t);
        kept.clear();
        for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
          ASSERT_TRUE(t->go(r));
          const bool drop = r % 4 == 0;
          if (!drop) kept.insert(keyOf(*t));
          ASSERT_TRUE(!drop || t->setDeleted(true));
        }
        Status packed = t->pack();
        ASSERT_TRUE(packed) << packed.message();
      },
      [&](bool cutShort) {
        // The deletes were never synced: their rows may come back, no other row may go.
        std::set<Key> live = liveNodes(standard);
        EXPECT_TRUE(std::includes(live.begin(), live.end(), kept.begin(), kept.end()));
        EXPECT_TRUE(std::includes(all.begin(), all.end(), live.begin(), live.end()));
        EXPECT_TRUE(cutShort || live == kept);
        expectTagsRightOrRebuildOffered(standard, true);
      });
}

// An index out of step with its records (changed by a program that does not keep it) rebuilt as start-up does.
TEST_F(PowerCutTest, ReindexLeavesTheOldIndexOrTheWholeNewOne) {
  std::unique_ptr<table::Table> t = test::openTable(pristine + "/standard.dbf");
  ASSERT_TRUE(t);
  for (std::uint32_t r = 2; r <= t->recordCount(); r += 7) {
    ASSERT_TRUE(t->go(r));
    ASSERT_TRUE(t->assignInteger(*t->schema().find("ORDER"), 990 - r % 100));
  }
  ASSERT_TRUE(t->close());
  ASSERT_FALSE(checkTags(pristine + "/standard.dbf"));
  const std::set<Key> all = liveNodes(pristine + "/standard.dbf");
  cutAtEverySyncPoint(
      [&] {
        bool fromRegistry = true;
        Status rebuilt = RebuildProductionIndex(standard, &fromRegistry);
        EXPECT_TRUE(rebuilt && !fromRegistry) << rebuilt.message();
      },
      [&](bool cutShort) {
        EXPECT_EQ(liveNodes(standard), all);
        expectTagsRightOrRebuildOffered(standard, !cutShort);
      });
}

TEST_F(PowerCutTest, RewrittenIniFileHoldsTheOldOrTheNewValue) {
  SetIniFile(u"Strings", fromUtf8(work + "/options.ini"));
  auto read = [](const char16_t* key) { return toUtf8(GetIniString(key, u"missing")); };
  cutAtEverySyncPoint([&] { EXPECT_NE(WriteIniString(u"StandardOrdinal2", u"I"), 0); },
                      [&](bool cutShort) {
                        std::string value = read(u"StandardOrdinal2");
                        EXPECT_TRUE(value == "I" || (cutShort && value == "1")) << value;
                        EXPECT_EQ(read(u"StandardOrdinal3"), "A");  // the rest of the file is whole
                      });
}

// A backup the disk kept is a whole copy, a table's comes with its memo file's, and once start-up has gone
// on past them all three are there.
TEST_F(PowerCutTest, BackupsAreWholeAndThereOnceStartUpGoesOn) {
  cutAtEverySyncPoint([&] { EXPECT_TRUE(PrepareDatabaseFolder(fromUtf8(work))); },
                      [&](bool cutShort) {
                        int kept = 0;
                        for (const char* ext : {".dbf", ".fpt", ".cdx"}) {
                          std::string original = test::readWholeFile(pristine + "/standard" + ext);
                          EXPECT_EQ(test::readWholeFile(work + "/standard" + ext), original) << ext;
                          std::string copy = work + "/Backups/standard1" + ext;
                          if (!std::filesystem::exists(copy)) continue;
                          ++kept;
                          EXPECT_EQ(test::readWholeFile(copy), original) << copy;
                        }
                        EXPECT_TRUE(!std::filesystem::exists(work + "/Backups/standard1.dbf") ||
                                    std::filesystem::exists(work + "/Backups/standard1.fpt"));
                        EXPECT_TRUE(cutShort || kept == 3) << kept;
                      });
}

} // namespace
} // namespace pu::proof
