// TslPattern: tries a search expression on a file (or standard input) and prints every match,
// so that users can check an expression before they run it over thousands of files.
#include <string>
#include <string_view>
#include <vector>

#include "pattern/pattern_tool.h"
#include "platform/file_error.h"
#include "platform/mapped_file.h"
#include "platform/std_streams.h"
#include "services/settings.h"
#include "tessaline_version.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  tsl::PatternToolOptions options;
  std::string error;
  if (!tsl::ParsePatternToolArguments(arguments, &options, &error)) {
    tsl::WriteStandardError("TslPattern: " + error + "\n" + tsl::PatternToolUsage());
    return 2;
  }
  if (options.help) {
    tsl::WriteStandardOutput(tsl::PatternToolUsage());
    return 0;
  }
  if (options.version) {
    tsl::WriteStandardOutput("TslPattern " TSL_VERSION_STRING "\n");
    return 0;
  }
  if (options.mask_mode) {
    std::string out;
    int status = tsl::RunMaskCheck(options.mask_list, options.root, options.paths, &out);
    tsl::WriteStandardOutput(out);
    return status;
  }
  // A file is searched where the system maps it, without a copy of its own.
  std::string standard_input;
  tsl::MappedFile file;
  std::string_view input;
  if (options.file.empty() || options.file == "-") {
    if (!tsl::ReadStandardInput(&standard_input)) {
      tsl::WriteStandardError("TslPattern: cannot read standard input\n");
      return 2;
    }
    input = standard_input;
  } else {
    tsl::SysError e = file.Open(options.file);
    if (e.failed()) {
      tsl::WriteStandardError("TslPattern: " + tsl::StandardFileErrorText(e, options.file) + "\n");
      return 2;
    }
    input = file.content();
  }
  // The settings are read only when the command line leaves the operator order open.
  tsl::OperatorOrder order = options.postfix    ? tsl::OperatorOrder::kPostfix
                             : options.wildcard ? tsl::OperatorOrder::kPrefix
                                                : tsl::ConfiguredOperatorOrder();
  std::string out;
  std::string err;
  int status = tsl::RunPatternTool(options, order, input, &out, &err);
  // A page of the file that could not be read was searched as zeros: nothing found is shown.
  if (tsl::SysError e = file.PageFailure(); e.failed()) {
    tsl::WriteStandardError("TslPattern: " + tsl::StandardFileErrorText(e, options.file) + "\n");
    return 2;
  }
  tsl::WriteStandardOutput(out);
  tsl::WriteStandardError(err);
  return status;
}
