// The pattern test tool's work apart from reading its input and writing its output: the
// command line, the scan and the report lines.
#include "pattern/pattern_tool.h"

#include <charconv>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "pattern/mask_list.h"

namespace tsl {

std::vector<PatternHit> ScanWholeText(SearchPattern& pattern, std::string_view text,
                                      bool build_replacements) {
  std::vector<PatternHit> hits;
  const auto length = static_cast<std::int64_t>(text.size());
  std::int64_t last_line_break = 0;
  std::int64_t line_count = 0;
  std::int64_t pos = 0;
  while (pos <= length) {
    std::int64_t end =
        pattern.Find(text.data() + pos, length - pos, 0, 0, pos, &last_line_break, &line_count);
    if (end < 0) break;
    PatternHit hit;
    hit.matched = pattern.MatchedText();
    hit.end = pos + end;
    hit.start = hit.end - static_cast<std::int64_t>(hit.matched.size());
    hit.line = 1 + line_count;
    if (build_replacements) hit.replacement = pattern.BuildReplacement();
    // Find counted the breaks before the match; the ones inside it (and the byte passed over
    // after an empty match) belong to the scan.
    pos = hit.matched.empty() ? hit.end + 1 : hit.end;
    CountLineBreaks(text.data(), length, hit.start, pos, 0, pattern.widened(), true,
                    &last_line_break, &line_count);
    hits.push_back(std::move(hit));
  }
  return hits;
}

std::string EscapeForDisplay(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string result;
  result.reserve(bytes.size());
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (c == '\\') {
      result += "\\\\";
    } else if (c == '\n') {
      result += "\\n";
    } else if (c == '\r') {
      result += "\\r";
    } else if (c == '\t') {
      result += "\\t";
    } else if (b >= 0x20 && b <= 0x7E) {
      result.push_back(c);
    } else {
      result += "\\x";
      result.push_back(kHex[b >> 4]);
      result.push_back(kHex[b & 15]);
    }
  }
  return result;
}

std::string PatternToolUsage() {
  return "Usage: TslPattern [-i] [-u] [-b N] [-r REPLACE] PATTERN [FILE]\n"
         "       TslPattern -W [-i] [-r REPLACE] WILDCARD [FILE]\n"
         "       TslPattern --mask MASKLIST [--root FOLDER] PATH...\n"
         "\n"
         "Tries a search expression on FILE (standard input when FILE is absent or -), read\n"
         "whole as one text that ends where the file ends. Every match is printed on a line:\n"
         "  LINE:START:END:MATCHED[ -> REPLACEMENT]\n"
         "LINE counts from 1; START and END are byte offsets (END exclusive). Bytes outside\n"
         "0x20-0x7E are shown as \\n, \\r, \\t or \\xHH, and \\ as \\\\.\n"
         "\n"
         "  -i          ignore letter case (the search is case-sensitive by default)\n"
         "  -u          accept operators behind a bracketed group ([0-9]+), whatever the\n"
         "              \"UNIX RegExp\" setting says\n"
         "  -b N        repetition bound: the most that *, + and a leading ^ repeat (300)\n"
         "  -r REPLACE  also print the replacement built from REPLACE (%1, %1>, %1<...)\n"
         "  -W          PATTERN is a wildcard pattern (* and ? only)\n"
         "  --          what follows is PATTERN [FILE], even when it begins with -\n"
         "  --version   print the program's name and version (TslPattern X.Y.Z)\n"
         "\n"
         "\n"
         "--mask checks which files a mask list takes (masks separated by ;, ~ excludes,\n"
         "an optional folder part such as sub" + std::string(1, NativeSeparator()) +
         "*.txt): one line per PATH, \"1 PATH\" when\n"
         "the list selects it and \"0 PATH\" when not. PATHs are taken below FOLDER (the\n"
         "current folder by default) unless absolute; they need not exist.\n"
         "\n"
         "Exit status: 0 when something matched (or was selected), 1 when nothing did, 2\n"
         "when the pattern does not compile (\"Error parsing: ...\" on standard error) or\n"
         "the command line is wrong.\n";
}

namespace {

bool ParseMaskArguments(const std::vector<std::string>& arguments, PatternToolOptions* options,
                        std::string* error) {
  options->mask_mode = true;
  if (arguments.size() < 2) {
    *error = "--mask needs a mask list";
    return false;
  }
  options->mask_list = arguments[1];
  std::size_t i = 2;
  if (i < arguments.size() && arguments[i] == "--root") {
    if (i + 1 >= arguments.size()) {
      *error = "--root needs a folder";
      return false;
    }
    options->root = arguments[i + 1];
    i += 2;
  }
  options->paths.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
  if (options->paths.empty()) {
    *error = "--mask needs at least one path";
    return false;
  }
  return true;
}

bool IsAbsolute(const std::string& path) {
  if (NativePathStyle() == PathStyle::kPosix) return !path.empty() && path[0] == '/';
  return !NeedsBaseFolder(path, PathStyle::kWindows);
}

}  // namespace

int RunMaskCheck(const std::string& mask_list, const std::string& root,
                 const std::vector<std::string>& paths, std::string* out) {
  std::string folder = root.empty() ? Files().CurrentFolder() : root;
  MaskList masks(mask_list, MaskStyle::kFileJobs, folder);
  bool any = false;
  for (const std::string& path : paths) {
    std::string full = IsAbsolute(path) ? path : JoinPath(folder, path, NativePathStyle());
    bool selected = masks.Selects(full);
    any |= selected;
    *out += (selected ? "1 " : "0 ") + path + "\n";
  }
  return any ? 0 : 1;
}

bool ParsePatternToolArguments(const std::vector<std::string>& arguments,
                               PatternToolOptions* options, std::string* error) {
  if (!arguments.empty() && arguments[0] == "--mask") {
    return ParseMaskArguments(arguments, options, error);
  }
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (!positional.empty() || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
    } else if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--version") {
      options->version = true;
    } else if (arg == "-i") {
      options->case_insensitive = true;
    } else if (arg == "-u") {
      options->postfix = true;
    } else if (arg == "-W") {
      options->wildcard = true;
    } else if ((arg == "-b" || arg == "-r") && i + 1 < arguments.size()) {
      const std::string& value = arguments[++i];
      if (arg == "-r") {
        options->replacement = value;
        continue;
      }
      int bound = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), bound);
      if (ec != std::errc() || end != value.data() + value.size() || bound < 1) {
        *error = "-b needs a positive number, not \"" + value + "\"";
        return false;
      }
      options->repetition_bound = bound;
    } else if (arg == "--") {
      positional.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
      break;
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  if (options->help || options->version) return true;
  if (positional.empty() || positional.size() > 2) {
    *error = positional.empty() ? "no pattern given" : "too many arguments";
    return false;
  }
  options->pattern = positional[0];
  if (positional.size() == 2) options->file = positional[1];
  return true;
}

int RunPatternTool(const PatternToolOptions& options, OperatorOrder configured_order,
                   std::string_view input, std::string* out, std::string* err) {
  PatternOptions pattern_options;
  pattern_options.case_sensitive = !options.case_insensitive;
  pattern_options.repetition_bound = options.repetition_bound.value_or(300);
  pattern_options.operator_order = options.postfix ? OperatorOrder::kPostfix : configured_order;
  std::optional<std::string_view> replace;
  if (options.replacement) replace = *options.replacement;
  SearchPattern pattern(options.pattern, replace,
                        options.wildcard ? PatternSyntax::kWildcard : PatternSyntax::kRegex,
                        pattern_options);
  if (!pattern.ok()) {
    *err += "Error parsing: " + pattern.error() + "\n";
    return 2;
  }
  std::vector<PatternHit> hits = ScanWholeText(pattern, input, options.replacement.has_value());
  for (const PatternHit& hit : hits) {
    *out += std::to_string(hit.line) + ":" + std::to_string(hit.start) + ":" +
            std::to_string(hit.end) + ":" + EscapeForDisplay(hit.matched);
    if (options.replacement) *out += " -> " + EscapeForDisplay(hit.replacement);
    *out += "\n";
  }
  return hits.empty() ? 1 : 0;
}

}  // namespace tsl
