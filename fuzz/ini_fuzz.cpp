// Reads and rewrites INI text of any shape, as a document and through the
// profile calls on a file: must neither crash nor hang, reading keeps every
// byte, a value is cut to the caller's buffer, and a written value reads back.
// Input: the file's text; its length modulo 37 is the caller's buffer size.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/memory_file_system.h"
#include "platform/profile/ini_document.h"
#include "platform/profile/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const auto bufferSize = static_cast<std::uint32_t>(size % 37);

  pu::IniDocument document(text);
  (void)document.value("Strings", "StandardOrdinal1");
  if (document.text() != text) __builtin_trap();  // reading keeps every byte
  document.setValue("Strings", "Key", "value");
  pu::IniDocument reread(document.text());
  auto value = reread.value("strings", "key");
  if (!value || *value != "value") __builtin_trap();

  auto& fs = pu::fuzz::MemoryFileSystem::installed();
  fs.files.clear();
  const std::string path = "/p.ini";
  fs.files[path] = text;
  // Exactly the size the caller gives, so a write past it is caught.
  std::unique_ptr<char[]> buffer(new char[bufferSize == 0 ? 1 : bufferSize]);
  std::uint32_t n = pu::GetPrivateProfileStringA("Strings", "StandardOrdinal1", "none  ", buffer.get(), bufferSize, path);
  if (bufferSize == 0 ? n != 0 : (n >= bufferSize || buffer[n] != '\0' || std::strlen(buffer.get()) > n)) __builtin_trap();

  if (pu::WritePrivateProfileStringA("Strings", "Key", "value", path) != 1) __builtin_trap();
  char back[8];
  if (pu::GetPrivateProfileStringA("STRINGS", "KEY", "", back, sizeof back, path) != 5 || std::strcmp(back, "value") != 0)
    __builtin_trap();
  fs.files.clear();
  return 0;
}
