#include "util/general.h"

#include <algorithm>

#include "platform/fs/file_system.h"

namespace pu {
namespace {

std::string nativeName(const Text& path) { return toUtf8(path); }

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::size_t lastSeparator(const Text& path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (isSeparator(path[i - 1])) return i - 1;
  return Text::npos;
}

bool createOneDirectory(const Text& folder, bool* parentMissing) {
  Status s = createDirectoryDurably(nativeName(folder));
  *parentMissing = s.code() == Status::Code::PathNotFound;
  return s.isOk();
}

} // namespace

bool FileExists(const Text& path) {
  return FileSystem::instance().modifiedTime(nativeName(path)).has_value();
}

bool FolderExists(const Text& path) {
  Text p = path;
  if (!p.empty() && p.back() == u'/') p.pop_back();
  if (!p.empty() && p.back() == u'\\') p.pop_back();
  return FileExists(p);
}

void DeleteFile(const Text& path) {
  FileSystem& fs = FileSystem::instance();
  (void)fs.makeNormal(nativeName(path));  // a failure shows as the file still being there
  (void)fs.removeFile(nativeName(path));
}

void CopyFile(const Text& source, const Text& destination) {
  if (FileExists(destination)) DeleteFile(destination);
  // Written under a temporary name and moved into place when complete, so
  // the destination never holds a partial file, nor one a power cut could
  // take back. A failure is reported by the missing destination, which a
  // failed folder sync must not leave either.
  if (!copyIntoPlace(nativeName(source), nativeName(destination)))
    (void)FileSystem::instance().removeFile(nativeName(destination));
}

// A missing parent (the platform's error 76) makes it create the parent first,
// found by the last separator at position 3 or later; any other failure,
// including an existing folder, answers true.
bool MakeDirectory(const Text& folder) {
  bool parentMissing = false;
  createOneDirectory(folder, &parentMissing);
  if (!parentMissing) return true;
  for (std::size_t pos = folder.size(); pos >= 3; --pos) {
    if (isSeparator(folder[pos - 1])) {
      MakeDirectory(folder.substr(0, pos - 1));
      createOneDirectory(folder, &parentMissing);
      return true;
    }
  }
  return false;
}

Text FileExtension(const Text& path) {
  std::size_t dot = path.rfind(u'.');
  return dot == Text::npos ? path : path.substr(dot + 1);
}

Text FileBaseName(const Text& path) {
  std::size_t sep = lastSeparator(path);
  Text name = sep == Text::npos ? path : path.substr(sep + 1);
  std::size_t dot = name.rfind(u'.');
  return dot == Text::npos ? name : name.substr(0, dot);
}

Text FolderOfPath(const Text& path) {
  std::size_t sep = lastSeparator(path);
  Text folder = sep != Text::npos ? path.substr(0, sep + 1) : fromUtf8(FileSystem::instance().currentDirectory());
  if (folder.empty() || !isSeparator(folder.back())) folder.push_back(u'\\');
  return UpperAscii(folder);
}

Text TrimSpaces(const Text& text) {
  std::size_t first = text.find_first_not_of(u' ');
  return first == Text::npos ? Text() : text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

Text UpperAscii(Text text) {
  for (char16_t& c : text)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return text;
}

bool IsDigitChar(const Text& c) { return !c.empty() && c[0] >= u'0' && c[0] <= u'9'; }

bool IsLetterChar(const Text& c) {
  return !c.empty() && ((c[0] >= u'A' && c[0] <= u'Z') || (c[0] >= u'a' && c[0] <= u'z'));
}

bool IsAlphanumericChar(const Text& c) { return IsLetterChar(c) || IsDigitChar(c); }

Text RemoveAll(const Text& text, const Text& part) {
  Text result = text;
  if (part.empty()) return result;
  for (std::size_t at = result.find(part); at != Text::npos; at = result.find(part)) result.erase(at, part.size());
  return result;
}

Text ReplaceAll(const Text& text, const Text& find, const Text& replacement) {
  Text result = text;
  if (find.empty()) return result;
  for (std::size_t at = result.find(find); at != Text::npos; at = result.find(find, at + replacement.size()))
    result.replace(at, find.size(), replacement);
  return result;
}

Text ReplaceAt(const Text& text, int position, int length, const Text& replacement) {
  auto size = static_cast<int>(text.size());
  int head = std::clamp(position - 1, 0, size);
  int tail = std::clamp(position - 1 + std::max(length, 0), 0, size);
  return text.substr(0, static_cast<std::size_t>(head)) + replacement + text.substr(static_cast<std::size_t>(tail));
}

void SplitText(const Text& text, TextList& list, const Text& delimiter, bool skipBlank) {
  list.clear(1);
  std::size_t start = 0;
  for (;;) {
    std::size_t at = delimiter.empty() ? Text::npos : text.find(delimiter, start);
    Text piece = text.substr(start, at == Text::npos ? Text::npos : at - start);
    bool blank = piece.find_first_not_of(u' ') == Text::npos;
    if (!(skipBlank && blank)) list.append(piece);
    if (at == Text::npos) return;
    start = at + delimiter.size();
  }
}

std::int16_t FindText(const TextList& list, const Text& text) {
  for (std::int32_t i = list.lower(); i <= list.upper(); ++i)
    if (list[i] == text) return static_cast<std::int16_t>(i);
  return -1;
}

void SortLongs(LongList& list) {
  if (list.empty()) return;
  LongList none;
  QuickSortLongs(list, static_cast<std::int16_t>(list.lower()), static_cast<std::int16_t>(list.upper()), none, false);
}

void QuickSortLongs(LongList& list, std::int16_t lo, std::int16_t hi, LongList& companion, bool withCompanion) {
  for (;;) {
    int i = lo, j = hi;
    std::int32_t pivot = list[(lo + hi) / 2];
    while (i <= j) {
      while (list[i] < pivot && i < hi) ++i;
      while (pivot < list[j] && j > lo) --j;
      if (i <= j) {
        std::swap(list[i], list[j]);
        if (withCompanion) std::swap(companion[i], companion[j]);
        ++i;
        --j;
      }
    }
    if (lo < j) QuickSortLongs(list, lo, static_cast<std::int16_t>(j), companion, withCompanion);
    if (i >= hi) return;
    lo = static_cast<std::int16_t>(i);
  }
}

} // namespace pu
