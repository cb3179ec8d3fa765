#include <windows.h>

#include <cstring>
#include <map>

#include "platform/file_system.h"
#include "platform/process.h"

namespace tsl {
namespace {

// Quotes one argument the way the C runtime splits command lines.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"')
      quoted.append(backslashes * 2 + 1, '\\');
    else
      quoted.append(backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

// The environment block: the current one with the options' changes, sorted as Windows wants.
std::string EnvironmentBlock(const ProcessOptions& options) {
  std::map<std::string, std::string> vars;  // upper-cased name -> "name=value"
  auto upper = [](std::string s) {
    if (!s.empty()) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
  };
  char* block = GetEnvironmentStringsA();
  for (const char* p = block; *p; p += strlen(p) + 1) {
    std::string entry = p;
    std::size_t eq = entry.find('=', 1);
    vars[upper(entry.substr(0, eq))] = entry;
  }
  FreeEnvironmentStringsA(block);
  for (const auto& name : options.unset_environment) vars.erase(upper(name));
  for (const auto& [name, value] : options.environment) vars[upper(name)] = name + "=" + value;
  std::string result;
  for (const auto& [key, entry] : vars) {
    result += entry;
    result += '\0';
  }
  result += '\0';
  return result;
}

HANDLE InheritableFile(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string TakeFile(const std::string& path) {
  std::string content;
  RealFileSystem().ReadWholeFile(path, &content);
  RealFileSystem().RemoveFile(path);
  return content;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options) {
  ProcessResult result;
  FileSystem& fs = RealFileSystem();
  std::string out_path, err_path;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  HANDLE in = options.stdin_file.empty() ? InheritableFile("NUL", false)
                                         : InheritableFile(options.stdin_file, false);
  HANDLE out = INVALID_HANDLE_VALUE, err = INVALID_HANDLE_VALUE;
  if (options.capture_output) {
    fs.CreateTempFile(fs.TempFolder(), "tso", &out_path);
    fs.CreateTempFile(fs.TempFolder(), "tse", &err_path);
    out = InheritableFile(out_path, true);
    err = InheritableFile(err_path, true);
  }
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;

  std::string command_line = QuoteArgument(program);
  for (const auto& arg : arguments) command_line += " " + QuoteArgument(arg);
  std::string environment = EnvironmentBlock(options);
  PROCESS_INFORMATION info{};
  BOOL started = CreateProcessA(
      nullptr, command_line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, environment.data(),
      options.working_folder.empty() ? nullptr : options.working_folder.c_str(), &startup, &info);
  if (!started) {
    result.error = NativeError(static_cast<int>(GetLastError()));
  } else {
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    result.exit_code = static_cast<int>(code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  for (HANDLE h : {in, out, err}) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  if (options.capture_output) {
    result.output = TakeFile(out_path);
    result.errors = TakeFile(err_path);
  }
  return result;
}

// Wine's kernel32 names a path's Unix form; Windows has no such function.
std::string HostPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(const WCHAR*);
  // Through void*: a FARPROC cast straight to another function type is refused as a warning.
  auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!to_unix || path.empty()) return {};
  int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
  char* unix_path = to_unix(wide.c_str());
  if (!unix_path) return {};
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

}  // namespace tsl
