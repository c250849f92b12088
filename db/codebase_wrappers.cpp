#include "db/codebase_wrappers.h"

#include "db/codebase.h"
#include "db/result_code.h"
#include "platform/fs/file_system.h"

namespace pu {

std::int32_t LastResult = 0;
std::int32_t CodeBaseHandle = 0;

namespace {

LibraryHooks& hooks() {
  static LibraryHooks set;
  return set;
}

std::int32_t ask(const Text& message, std::int32_t options, const std::optional<Text>& title = std::nullopt) {
  return hooks().ask ? hooks().ask(message, options, title) : 0;
}

// Copies n bytes the library points at into a text; a null pointer gives "".
Text copyBytes(const char* pointer, std::int32_t n) {
  if (!pointer || n <= 0) return Text();
  std::string bytes(static_cast<std::size_t>(n), ' ');
  u4memCpy(bytes.data(), pointer, n);
  return fromAnsi(bytes);
}

bool fileExists(const Text& path) {
  FileSystem& fs = FileSystem::instance();
  return fs.modifiedTime(fs.resolve(toUtf8(path))).has_value();
}

} // namespace

void setLibraryHooks(LibraryHooks set) { hooks() = std::move(set); }

Text CPtrToStr(const char* pointer) {
  if (!pointer) return Text();
  char buffer[256];
  std::int32_t n = u4ncpy(buffer, pointer, sizeof buffer);
  return fromAnsi(std::string_view(buffer, static_cast<std::size_t>(n)));
}

Text DbfFileName(std::int32_t table) {
  const char* name = d4fileNameVB(table);
  return name ? fromUtf8(name) : Text();
}

Text FieldStr(std::int32_t field) { return copyBytes(f4ptr(field), f4len_v(field)); }

Text MemoFieldStr(std::int32_t field) {
  std::int32_t length = f4memoLenVB(field);
  return copyBytes(f4memoPtr(field), length);
}

std::int16_t AssignFieldStr(std::int32_t field, const Text& text) {
  std::string bytes = toAnsi(text);
  return f4assignNVB(field, bytes.c_str(), static_cast<std::int16_t>(bytes.size()));
}

std::int16_t AssignFieldInt(std::int32_t field, std::int16_t value) { return f4assignIntVB(field, value); }

void InitCodeBase() {
  CodeBaseHandle = d4init_v();
  LastResult = code4autoOpen(CodeBaseHandle, 1);
  (void)code4errTagName(CodeBaseHandle, 0);
}

std::int32_t OpenDbf(const Text& path, std::int16_t emptyIfCreated) {
  // 1. A missing table is first made from its blank copy.
  if (!fileExists(path) && hooks().createMissingTable) hooks().createMissingTable(path, emptyIfCreated);
  // 2. Clear a pending library error, trying at most three times.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (code4errorCode(CodeBaseHandle, 0) == 0) break;
    LastResult = code4errOff(CodeBaseHandle, 0);
  }
  // 3. Open with the library's own messages off.
  LastResult = code4errOff(CodeBaseHandle, 1);
  std::int32_t table = d4open(CodeBaseHandle, toUtf8(path).c_str());
  LastResult = table;
  // 4. A table that cannot be opened ends the program; the reason (in
  // exclusive use elsewhere, no right to change it) goes with the message.
  if (table == 0) {
    (void)ask(u"Table: " + path + u" could not be opened.\r\n\r\n" + fromUtf8(code4errorText(CodeBaseHandle)), 16);
    if (hooks().endProgram) hooks().endProgram();
  }
  // 5. Messages back on.
  LastResult = code4errOff(CodeBaseHandle, 0);
  return table;
}

void CloseDbf(std::int32_t& table) {
  if (table == 0) return;
  LastResult = d4close(table);
  table = 0;
}

void EmptyDbf(std::int32_t table) {
  d4tagSelect(table, 0);
  LastResult = d4top(table);
  while (LastResult == kResultSuccess) {
    d4delete(table);
    LastResult = d4skip(table, 1);
  }
  LastResult = d4pack(table);
}

bool SeekTag(std::int32_t table, std::int32_t tag, const Text& key) {
  d4tagSelect(table, tag);
  std::string ansiKey = toAnsi(key);
  LastResult = d4seek(table, ansiKey.c_str());
  return LastResult == kResultSuccess;
}

void AppendBlank(std::int32_t table) {
  LastResult = d4appendStartVB(table, 0);
  d4blank(table);
}

namespace {

// Calls attempt again every 10 ms, window events running, while another
// program holds what it needs (kResultLocked); after every
// kLockWaitAttempts tries the user chooses, answering `question` under
// `title`, to wait on (Retry) or to give up (Cancel). *waited: events ran.
template <class Attempt, class Question>
std::int16_t retryWhileLocked(Attempt attempt, Question question, const char16_t* title, bool* waited) {
  constexpr std::int32_t kRetryCancelExclamation = 5 | 48;
  constexpr std::int32_t kRetry = 4;
  std::int16_t result = attempt();
  for (int tries = 1; result == kResultLocked; ++tries) {
    if (tries % kLockWaitAttempts == 0 && ask(question(), kRetryCancelExclamation, Text(title)) != kRetry) break;
    FileSystem::instance().sleepMilliseconds(10);
    if (hooks().runPendingEvents) hooks().runPendingEvents();
    *waited = true;
    result = attempt();
  }
  return result;
}

} // namespace

// The record is the one current at entry, whatever the events that run
// while it waits do to the table (a click in the tree seeks it elsewhere).
std::int16_t LockRecord(std::int32_t table) {
  const std::int32_t recno = d4recNo(table);
  if (recno == 0) return kResultBadArgument;
  bool waited = false;
  std::int16_t result = retryWhileLocked(
      [&] { return d4lock(table, recno); },
      [&] {
        return u"Record " + fromUtf8(std::to_string(recno)) + u" of \"" + DbfFileName(table) +
               u"\" is being changed by another user.\r\n\r\nRetry to wait for it, or Cancel to leave it unchanged.";
      },
      u"Record in Use", &waited);
  if (result == kResultSuccess && waited && (result = d4go(table, recno)) != kResultSuccess) (void)d4unlock(table);
  LastResult = result;
  return result;
}

std::int16_t AppendRecord(std::int32_t table) {
  bool waited = false;
  std::int16_t result = retryWhileLocked(
      [&] { return d4append(table); },
      [&] {
        return u"A record is being added to \"" + DbfFileName(table) +
               u"\" by another user.\r\n\r\nRetry to wait for it, or Cancel to leave your new record unsaved.";
      },
      u"Table in Use", &waited);
  LastResult = result;
  return result;
}

} // namespace pu
