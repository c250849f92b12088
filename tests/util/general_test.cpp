#include "util/general.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "platform/fs/file_system.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

// A copy that fails, at its source or while writing, leaves no destination
// and no partial file under any name. MakeDirectory makes a missing parent
// first; any other failure answers true.
TEST(GeneralFileTest, FilesAndFoldersAreFoundDeletedCopiedAndMade) {
  test::TempDir dir;
  auto path = [&](const std::string& name) { return fromUtf8(dir.file(name)); };
  test::writeWholeFile(dir.file("standard.dbf"), "x");
  EXPECT_TRUE(FileExists(path("standard.dbf")));
  EXPECT_TRUE(FileExists(path("STANDARD.DBF")));
  EXPECT_TRUE(FileExists(fromUtf8(dir.path())));
  EXPECT_FALSE(FileExists(path("missing.dbf")));
  EXPECT_FALSE(FileExists(u""));
  EXPECT_TRUE(FolderExists(fromUtf8(dir.path()) + u"\\"));
  EXPECT_TRUE(FolderExists(fromUtf8(dir.path()) + u"/"));
  EXPECT_TRUE(FolderExists(fromUtf8(dir.path()) + u"\\/"));  // "/" dropped first, then "\"
  EXPECT_FALSE(FolderExists(fromUtf8(dir.path()) + u"/\\x"));
  ::chmod(dir.file("standard.dbf").c_str(), 0444);
  DeleteFile(path("standard.dbf"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("standard.dbf")));
  DeleteFile(path("never-there"));  // no effect, no error

  std::string big(3 << 20, 'a');
  big[12345] = 'b';
  test::writeWholeFile(dir.file("src"), big);
  test::writeWholeFile(dir.file("dst"), "old");
  CopyFile(path("src"), path("dst"));
  EXPECT_EQ(test::readWholeFile(dir.file("dst")), big);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  {
    test::ForwardingFileSystem full;
    full.failWrites = [](std::string_view) { return true; };
    CopyFile(path("src"), path("dst"));
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  CopyFile(path("src"), path("dst"));
  CopyFile(path("none"), path("dst"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("dst")));

  EXPECT_TRUE(MakeDirectory(path("a") + u"\\b\\Backups\\"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("a/b/Backups")));
  EXPECT_TRUE(MakeDirectory(path("a")));  // already there
  EXPECT_TRUE(MakeDirectory(path("x/y")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("x/y")));
  EXPECT_FALSE(MakeDirectory(u"q\\z"));  // missing parent, no separator at position 3 or later
  EXPECT_FALSE(FileExists(u"q"));
  test::writeWholeFile(dir.file("file"), "x");
  EXPECT_TRUE(MakeDirectory(path("file")));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("file")));
}

TEST(GeneralPathTest, ExtensionBaseNameAndFolder) {
  EXPECT_EQ(FileExtension(u"C:\\data.old\\standard"), u"old\\standard");
  EXPECT_EQ(FileExtension(u"standard"), u"standard");
  EXPECT_EQ(FileExtension(u"a\\standard.dbf"), u"dbf");
  EXPECT_EQ(FileBaseName(u"C:\\db\\standard.dbf"), u"standard");
  EXPECT_EQ(FileBaseName(u"archive.tar.gz"), u"archive.tar");
  EXPECT_EQ(FileBaseName(u"/home/u/db\\standard.cdx"), u"standard");
  EXPECT_EQ(FileBaseName(u"/home/u/db/standard.cdx"), u"standard");
  EXPECT_EQ(FolderOfPath(u"c:\\data\\x.ini"), u"C:\\DATA\\");
  EXPECT_EQ(FolderOfPath(u"/srv/db/options.ini"), u"/SRV/DB/");
  Text current = FolderOfPath(u"x.ini");
  EXPECT_EQ(current.back(), u'\\');
  EXPECT_EQ(current.size(), FileSystem::instance().currentDirectory().size() + 1);
}

TEST(GeneralTextTest, AsciiCharacterClassesTrimCaseRemoveReplaceAndFind) {
  for (const char16_t* c : {u"0", u"9"}) EXPECT_TRUE(IsDigitChar(c) && IsAlphanumericChar(c)) << char(c[0]);
  for (const char16_t* c : {u"z", u"A"}) EXPECT_TRUE(IsLetterChar(c) && IsAlphanumericChar(c)) << char(c[0]);
  for (const char16_t* c : {u"a", u"\u00E9", u"[", u".", u""}) EXPECT_FALSE(IsDigitChar(c));
  for (const char16_t* c : {u"\u00E9", u"[", u"@", u"`", u"{", u"."}) EXPECT_FALSE(IsLetterChar(c) || IsAlphanumericChar(c));
  EXPECT_FALSE(IsLetterChar(u"") || IsAlphanumericChar(u""));
  EXPECT_EQ(TrimSpaces(u"  Tree 3 \t "), u"Tree 3 \t");  // spaces only
  EXPECT_EQ(TrimSpaces(u"   "), u"");
  EXPECT_EQ(UpperAscii(u"standard.dbf \u00e9"), u"STANDARD.DBF \u00e9");
  EXPECT_EQ(RemoveAll(u"aabb", u"ab"), u"");  // what a removal brings together goes too
  EXPECT_EQ(RemoveAll(u"*1.2.* Fractions", u"*"), u"1.2. Fractions");
  EXPECT_EQ(RemoveAll(u"abc", u"x"), u"abc");
  EXPECT_EQ(ReplaceAll(u"a: b: c", u": ", u":*"), u"a:*b:*c");
  EXPECT_EQ(ReplaceAll(u"aaa", u"a", u"aa"), u"aaaaaa");  // inserted text is never searched
  EXPECT_EQ(ReplaceAll(u"NULLNULL", u"NULL", Text(1, u'\0')), Text(2, u'\0'));
  EXPECT_EQ(ReplaceAll(u"null", u"NULL", u"x"), u"null");
  EXPECT_EQ(ReplaceAt(u"abcdef", 3, 2, u"XYZ"), u"abXYZef");
  EXPECT_EQ(ReplaceAt(u"abc", 1, 0, u"*"), u"*abc");
  EXPECT_EQ(ReplaceAt(u"abc", 4, 0, u"*"), u"abc*");
  EXPECT_EQ(ReplaceAt(u"abc", 2, 10, u""), u"a");
  TextList list(1, {u"a", u"B", u"b", u"b"});  // FindText: the first equal element by character code
  EXPECT_EQ(FindText(list, u"b"), 3);
  EXPECT_EQ(FindText(list, u"A"), -1);
  EXPECT_EQ(FindText(TextList(), u"a"), -1);
  EXPECT_EQ(FindText(TextList(0, {u"", u"x"}), u""), 0);
}

TEST(GeneralTextTest, SplitKeepsPiecesUntrimmedFromIndexOne) {
  const struct {
    const char16_t *text, *delimiter;
    bool skipBlank;
    std::vector<Text> pieces;
  } cases[] = {
      {u"*1.2 *Topic", u"*", true, {u"1.2 ", u"Topic"}},
      {u"a,,b", u",", false, {u"a", u"", u"b"}},
      {u"a::b", u"::", false, {u"a", u"b"}},
      {u"", u",", false, {u""}},
      {u"", u",", true, {}},
      {u"  ,  ", u",", true, {}},
  };
  for (const auto& c : cases) {
    TextList list;
    SplitText(c.text, list, c.delimiter, c.skipBlank);
    EXPECT_EQ(list, TextList(1, c.pieces)) << toUtf8(c.text);
  }
}

TEST(GeneralTextTest, SortsLikeTheStandardLibraryMovingTheCompanionAlong) {
  LongList list(1, {5, 3, 9, 3});
  SortLongs(list);
  EXPECT_EQ(list, LongList(1, {3, 3, 5, 9}));
  LongList empty;
  SortLongs(empty);
  EXPECT_TRUE(empty.empty());
  // Within the range only.
  LongList part(0, {9, 4, 7, 1, 8, 0}), partCompanion(0, {90, 40, 70, 10, 80, 0});
  QuickSortLongs(part, 1, 4, partCompanion, true);
  EXPECT_EQ(part, LongList(0, {9, 1, 4, 7, 8, 0}));
  EXPECT_EQ(partCompanion, LongList(0, {90, 10, 40, 70, 80, 0}));
  std::mt19937 engine(12345);
  std::vector<std::int32_t> values(20000);
  for (std::int32_t& value : values) value = static_cast<std::int32_t>(engine() % 500) - 250;
  LongList many(1, values), companion(1, values);
  QuickSortLongs(many, 1, static_cast<std::int16_t>(many.upper()), companion, true);
  std::sort(values.begin(), values.end());
  EXPECT_EQ(many.items(), values);
  EXPECT_EQ(companion.items(), values);  // companions moved with their keys
}

} // namespace
} // namespace pu
