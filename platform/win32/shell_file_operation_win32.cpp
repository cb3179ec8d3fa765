// The shell's file operation (SHFileOperationA): the lists become the shell's double-zero
// terminated path lists, and the shell shows its own confirmations and progress.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "platform/shell_file_operation.h"

namespace tsl {
namespace {

// Paths laid end to end, each with its zero, and one more zero at the end.
std::string DoubleZeroList(const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& path : paths) {
    list += path;
    list += '\0';
  }
  list += '\0';
  return list;
}

}  // namespace

bool HasShellFileOperation() { return true; }

int RunShellFileOperation(int kind, const std::vector<std::string>& from,
                          const std::vector<std::string>& to, unsigned flags, bool* aborted) {
  std::string from_list = DoubleZeroList(from);
  std::string to_list = DoubleZeroList(to);
  SHFILEOPSTRUCTA operation{};
  operation.hwnd = nullptr;
  operation.wFunc = static_cast<UINT>(kind);
  operation.pFrom = from_list.c_str();
  operation.pTo = to.empty() ? nullptr : to_list.c_str();
  operation.fFlags = static_cast<FILEOP_FLAGS>(flags);
  int result = SHFileOperationA(&operation);
  *aborted = operation.fAnyOperationsAborted != FALSE;
  return result;
}

}  // namespace tsl
