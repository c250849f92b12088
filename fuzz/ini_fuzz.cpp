// Reads and rewrites INI text of any shape: must neither crash nor hang, and a
// written value must read back.
#include <cstdint>
#include <string>

#include "platform/profile/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  pu::IniDocument document(text);
  (void)document.value("Strings", "StandardOrdinal1");
  if (document.text() != text) __builtin_trap();  // reading keeps every byte
  document.setValue("Strings", "Key", "value");
  pu::IniDocument reread(document.text());
  auto value = reread.value("strings", "key");
  if (!value || *value != "value") __builtin_trap();
  return 0;
}
