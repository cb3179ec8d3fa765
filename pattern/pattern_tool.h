// The pattern test tool (TslPattern): lets a user try an expression on a file before running
// it over many. It scans a whole text as the file replace engine does (find a match, report it,
// go on at its end) and prints one line per match.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/search_pattern.h"

namespace tsl {

/// One match of a scan: LINE is 1 + the line breaks before the match; `start`/`end` are byte
/// offsets (end exclusive).
struct PatternHit {
  std::int64_t line = 1;
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::string matched;
  std::string replacement;
};

/// Scans `text` whole, as one text that ends where the file ends. An empty match (a pattern of
/// line-break nodes only) is reported once, and the scan goes on one byte after it.
std::vector<PatternHit> ScanWholeText(SearchPattern& pattern, std::string_view text,
                                      bool build_replacements);

/// Bytes for display: 0x20-0x7E as they are except `\` (written `\\`); LF, CR and tab as `\n`,
/// `\r`, `\t`; every other byte as `\xHH` with lower-case hex digits.
std::string EscapeForDisplay(std::string_view bytes);

struct PatternToolOptions {
  bool help = false;
  bool version = false;                    // --version
  bool case_insensitive = false;           // -i
  bool postfix = false;                    // -u
  bool wildcard = false;                   // -W
  std::optional<int> repetition_bound;     // -b N
  std::optional<std::string> replacement;  // -r REPLACE
  std::string pattern;
  std::string file;  // empty or "-": standard input

  // Mask mode (--mask MASKLIST [--root FOLDER] PATH...): which paths a mask list selects.
  bool mask_mode = false;
  std::string mask_list;
  std::string root;  // empty: the current folder
  std::vector<std::string> paths;
};

/// Reads the command line (without the program's name). False with `*error` set when it cannot
/// be used.
bool ParsePatternToolArguments(const std::vector<std::string>& arguments,
                               PatternToolOptions* options, std::string* error);

/// Mask mode: one line per path, "1 PATH" when the mask list (as the file and shortcut jobs
/// read it) selects it and "0 PATH" when it does not; a relative path is taken below `root`.
/// Returns 0 when some path was selected, else 1.
int RunMaskCheck(const std::string& mask_list, const std::string& root,
                 const std::vector<std::string>& paths, std::string* out);

/// The text `--help` prints.
std::string PatternToolUsage();

/// Runs the tool on `input` with the given operator order setting; fills standard output and
/// standard error; returns the exit status (0 matched, 1 nothing matched, 2 faulty pattern).
int RunPatternTool(const PatternToolOptions& options, OperatorOrder configured_order,
                   std::string_view input, std::string* out, std::string* err);

}  // namespace tsl
