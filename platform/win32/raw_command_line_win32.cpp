#include <windows.h>

#include "platform/raw_command_line.h"

namespace tsl {

// Skips the program name the way the system's own start-up code does: a quoted name runs to
// the next quote, an unquoted one to the next blank; the blanks after it are skipped too.
std::optional<std::string> RawCommandLineTail() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return std::string(p);
}

}  // namespace tsl
