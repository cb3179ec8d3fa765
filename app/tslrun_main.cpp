// TslRun: runs the scripts named by its one argument and exits.
#include "app/command_line.h"
#include "app/startup.h"
#include "platform/memory.h"
#include "platform/raw_command_line.h"

int main(int argc, char** argv) {
  tsl::KeepOneHeap();
  // Windows hands over the raw command line, whose first token is the argument; elsewhere the
  // shell has split the line already and the argument is the first one.
  std::optional<std::string> raw = tsl::RawCommandLineTail();
  std::string argument = raw ? tsl::FirstToken(*raw) : (argc > 1 ? argv[1] : "");
  return tsl::RunTslRun(argument);
}
