// Search entries made ready for a run, and the variables filled in per file and per occurrence:
// binary texts taken in, escapes and environment markers expanded, ignore-whitespace and HTML
// searches turned into patterns, patterns compiled; the file's folder, name, date, time and size,
// the date and time now, and the found text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filereplace/file_replace_script.h"
#include "pattern/search_pattern.h"
#include "platform/clock.h"

namespace tsl {

class JobServices;

/// What the pattern language needs escaped when a variable's value is put into a search
/// pattern, and into a replace pattern.
inline constexpr std::string_view kSearchPatternSpecials = "\\+*?[]()!|-$^";
inline constexpr std::string_view kReplacePatternSpecials = "\\%<>";

/// Makes an entry ready for a run: whole-file modes decided, escapes decoded, environment markers
/// expanded, `H` and `T` turned into patterns, a pattern compiled with `options` (its case
/// switch from the entry). False when the pattern does not compile, after the message
/// "Error parsing: " and the compiler's text.
bool PrepareEntry(SearchEntry& entry, const PatternOptions& options, JobServices& services);

/// The file that the per-file variables describe: its path and, when known, its listing data.
struct VariableFile {
  std::string path;
  bool data_known = false;
  FileTime modified_utc = 0;
  std::uint64_t size = 0;
};

/// Replaces every variable but the found text (names in any letter case) with its value for
/// `file`; dates and times in the user's formats.
std::string ExpandVariables(std::string_view text, const VariableFile& file, JobServices& services);

/// Replaces every found-text variable (any letter case) with `found`.
std::string ReplaceFound(std::string_view text, std::string_view found);

/// Replaces every environment marker with the variable's value (empty when it is not set), the
/// value escaped with a backslash before each byte of `escape_set`.
std::string ExpandEnvironment(std::string_view text, std::string_view escape_set);

/// The named character reference written for a byte ("&lt;"), or empty when the byte has none.
std::string_view HtmlReference(unsigned char byte);
/// Decodes the named character references of the HTML table; anything else stays as it is.
std::string DecodeHtmlReferences(std::string_view text);

}  // namespace tsl
