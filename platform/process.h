// Starting other programs and waiting for them: used to hand text to system tools (the
// clipboard and printing tools on Linux) and by the end-to-end tests to run our own programs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace tsl {

struct ProcessOptions {
  std::string working_folder;  // empty: the current one
  /// Variables set (or, with an empty value and `unset` true, removed) for the program only.
  std::vector<std::pair<std::string, std::string>> environment;
  std::vector<std::string> unset_environment;
  std::string stdin_file;  // empty: no input
  bool capture_output = true;
};

struct ProcessResult {
  SysError error;      // the program could not be started
  int exit_code = -1;  // its exit status
  std::string output;  // what it wrote to standard output
  std::string errors;  // what it wrote to standard error
};

/// Runs `program` with `arguments` (each passed as one argument) and waits for it to end.
/// A program without a folder part is looked up on PATH.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

/// The path as the host system names it, for its own programs started by RunProcess: the path
/// itself on POSIX; on Windows running under Wine, the Unix path that Wine maps it to (Wine
/// starts Unix programs given by their Unix path). Empty on Windows proper. The tests use it to
/// make what Windows programs cannot make under Wine: Unix links, names differing only in case.
std::string HostPath(const std::string& path);

}  // namespace tsl
