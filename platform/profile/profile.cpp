#include "platform/profile/profile.h"

#include <algorithm>
#include <memory>

#include "platform/fs/file_system.h"
#include "platform/profile/ini_document.h"

namespace pu {
namespace {

// Larger files are not profile files; reading them as missing keeps a stray
// path from costing the program its memory.
constexpr std::uint64_t kMaxProfileBytes = 16u << 20;

enum class Load { Missing, Loaded, Unreadable };

Load loadFile(std::string_view path, std::string* text) {
  std::unique_ptr<File> file;
  Status s = FileSystem::instance().openFile(path, false, &file);
  if (!s) return s.code() == Status::Code::NotFound ? Load::Missing : Load::Unreadable;
  std::uint64_t size = 0;
  if (!file->size(&size) || size > kMaxProfileBytes) return Load::Unreadable;
  text->resize(size);
  std::size_t n = 0;
  if (!file->readAt(0, text->data(), text->size(), &n)) return Load::Unreadable;
  text->resize(n);
  return Load::Loaded;
}

std::uint32_t copyOut(std::string_view value, char* buffer, std::uint32_t size) {
  if (!buffer || size == 0) return 0;
  auto n = static_cast<std::uint32_t>(std::min<std::size_t>(value.size(), size - 1));
  std::copy_n(value.data(), n, buffer);
  buffer[n] = '\0';
  return n;
}

std::string_view trimTrailingBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

} // namespace

std::uint32_t GetPrivateProfileStringA(std::string_view section, std::string_view key, std::string_view defaultValue,
                                       char* buffer, std::uint32_t size, std::string_view path) {
  std::string text;
  if (loadFile(path, &text) == Load::Loaded) {
    if (auto value = IniDocument(std::move(text)).value(section, key)) return copyOut(*value, buffer, size);
  }
  return copyOut(trimTrailingBlanks(defaultValue), buffer, size);
}

std::int32_t WritePrivateProfileStringA(std::string_view section, std::string_view key, std::string_view value,
                                        std::string_view path) {
  if (section.empty() || key.empty() || path.empty()) return 0;
  std::string text;
  // A file that exists but cannot be read is never overwritten.
  if (loadFile(path, &text) == Load::Unreadable) return 0;
  IniDocument document(std::move(text));
  document.setValue(section, key, value);
  return replaceFileAtomically(path, document.text()).isOk() ? 1 : 0;
}

} // namespace pu
