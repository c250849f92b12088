#pragma once
// File, path and text routines shared by start-up, the prefix commands, the
// folder dialog and the table layer. File routines never report file-system
// errors: callers see failure as a false result or a missing file.
// Positions are 1-based; text comparisons are by character code.
#include <cstdint>

#include "platform/text/ansi.h"
#include "util/bounded_array.h"

namespace pu {

bool FileExists(const Text& path);
bool FolderExists(const Text& path);
void DeleteFile(const Text& path);
// Never leaves a partial copy under the destination name.
void CopyFile(const Text& source, const Text& destination);
bool MakeDirectory(const Text& folder);

Text FileExtension(const Text& path);
Text FileBaseName(const Text& path);
Text FolderOfPath(const Text& path);

bool IsDigitChar(const Text& c);
bool IsLetterChar(const Text& c);
bool IsAlphanumericChar(const Text& c);

// Leading and trailing spaces removed (spaces only, as the callers' Trim).
Text TrimSpaces(const Text& text);
// a..z to A..Z; other characters unchanged.
Text UpperAscii(Text text);

Text RemoveAll(const Text& text, const Text& part);
Text ReplaceAll(const Text& text, const Text& find, const Text& replacement);
Text ReplaceAt(const Text& text, int position, int length, const Text& replacement);

using TextList = BoundedArray<Text>;
using LongList = BoundedArray<std::int32_t>;

// Fills list from index 1.
void SplitText(const Text& text, TextList& list, const Text& delimiter, bool skipBlank);
// Index of the first equal element, -1 when none.
std::int16_t FindText(const TextList& list, const Text& text);

void SortLongs(LongList& list);
void QuickSortLongs(LongList& list, std::int16_t lo, std::int16_t hi, LongList& companion, bool withCompanion);

} // namespace pu
