// Under Wine a Windows program can start a Linux program by its path, but
// detached: no process handle, no pipes, no exit status. So the command
// writes its output and then its status into files, and we wait for the
// status file. Windows paths in the command ('C:/...') become the host's.
#include "tests/support/host_command.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cctype>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace pu::test {
namespace {

std::wstring wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), static_cast<int>(out.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// Wine's own call for the host path behind a Windows path.
std::string hostPath(const std::string& path) {
  using Convert = char*(__cdecl*)(const wchar_t*);
  static auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* host = convert ? convert(wide(path).c_str()) : nullptr;
  if (!host) return path;
  std::string result = host;
  ::HeapFree(::GetProcessHeap(), 0, host);
  return result;
}

bool isWindowsPath(const std::string& s) {
  return s.size() > 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' && (s[2] == '/' || s[2] == '\\');
}

// Windows paths among the words of the command, bare or in single quotes.
std::string withHostPaths(const std::string& command) {
  std::string out;
  for (std::size_t i = 0; i < command.size();) {
    bool quoted = command[i] == '\'';
    bool wordStart = quoted || i == 0 || command[i - 1] == ' ';
    std::size_t from = i + (quoted ? 1 : 0);
    std::size_t end = wordStart ? command.find(quoted ? '\'' : ' ', from) : std::string::npos;
    if (wordStart && !quoted && end == std::string::npos) end = command.size();
    if (end == std::string::npos || !isWindowsPath(command.substr(from, end - from))) {
      out += command[i++];
      continue;
    }
    std::string quote = quoted ? "'" : "";
    out += quote + hostPath(command.substr(from, end - from)) + quote;
    i = end + quote.size();
  }
  return out;
}

} // namespace

std::string runHostCommand(const std::string& command, int* status) {
  TempDir dir;
  const std::string out = hostPath(dir.file("out")), done = hostPath(dir.file("status"));
  writeWholeFile(dir.file("run.sh"), withHostPaths(command) + " > '" + out + "'\necho $? > '" + done + ".part' && mv '" +
                                         done + ".part' '" + done + "'\n");
  std::wstring line = L"/bin/sh \"" + wide(hostPath(dir.file("run.sh"))) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    if (status) *status = -1;
    return {};
  }
  while (!std::filesystem::exists(dir.file("status"))) ::Sleep(2);
  if (status) *status = std::stoi(readWholeFile(dir.file("status")));
  return readWholeFile(dir.file("out"));
}

} // namespace pu::test
