#include "filereplace/entry_preparation.h"

#include <array>
#include <cstdlib>
#include <optional>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "script/escapes.h"
#include "services/job_services.h"

namespace tsl {
namespace {

struct HtmlRow {
  unsigned char byte;
  const char* reference;
};

// The first row of a byte is the one written; a second row right after it is only read.
constexpr std::array<HtmlRow, 104> kHtmlTable = {{
    {'&', "&amp;"},      {'"', "&quot;"},     {'<', "&lt;"},       {'>', "&gt;"},
    {0xA0, "&nbsp;"},    {0xA1, "&iexcl;"},   {0xA2, "&cent;"},    {0xA3, "&pound;"},
    {0xA4, "&curren;"},  {0xA5, "&yen;"},     {0xA6, "&brvbar;"},  {0xA6, "&brkbar;"},
    {0xA7, "&sect;"},    {0xA8, "&uml;"},     {0xA8, "&die;"},     {0xA9, "&copy;"},
    {0xAA, "&ordf;"},    {0xAB, "&laquo;"},   {0xAC, "&not;"},     {0xAD, "&shy;"},
    {0xAE, "&reg;"},     {0xAF, "&macr;"},    {0xAF, "&hibar;"},   {0xB0, "&deg;"},
    {0xB1, "&plusmn;"},  {0xB2, "&sup2;"},    {0xB3, "&sup3;"},    {0xB4, "&acute;"},
    {0xB5, "&micro;"},   {0xB6, "&para;"},    {0xB7, "&middot;"},  {0xB8, "&cedil;"},
    {0xB9, "&sup1;"},    {0xBA, "&ordm;"},    {0xBB, "&raquo;"},   {0xBC, "&frac14;"},
    {0xBD, "&frac12;"},  {0xBE, "&frac34;"},  {0xBF, "&iquest;"},  {0xC0, "&Agrave;"},
    {0xC1, "&Aacute;"},  {0xC2, "&Acirc;"},   {0xC3, "&Atilde;"},  {0xC4, "&Auml;"},
    {0xC5, "&Aring;"},   {0xC6, "&AElig;"},   {0xC7, "&Ccedil;"},  {0xC8, "&Egrave;"},
    {0xC9, "&Eacute;"},  {0xCA, "&Ecirc;"},   {0xCB, "&Euml;"},    {0xCC, "&Igrave;"},
    {0xCD, "&Iacute;"},  {0xCE, "&Icirc;"},   {0xCF, "&Iuml;"},    {0xD0, "&ETH;"},
    {0xD0, "&Dstrok;"},  {0xD1, "&Ntilde;"},  {0xD2, "&Ograve;"},  {0xD3, "&Oacute;"},
    {0xD4, "&Ocirc;"},   {0xD5, "&Otilde;"},  {0xD6, "&Ouml;"},    {0xD7, "&215;"},
    {0xD8, "&Oslash;"},  {0xD9, "&Ugrave;"},  {0xDA, "&Uacute;"},  {0xDB, "&Ucirc;"},
    {0xDC, "&Uuml;"},    {0xDD, "&Ygrave;"},  {0xDE, "&THORN;"},   {0xDF, "&szlig;"},
    {0xE0, "&agrave;"},  {0xE1, "&aacute;"},  {0xE2, "&acirc;"},   {0xE3, "&atilde;"},
    {0xE4, "&auml;"},    {0xE5, "&aring;"},   {0xE6, "&aelig;"},   {0xE7, "&ccedil;"},
    {0xE8, "&egrave;"},  {0xE9, "&eacute;"},  {0xEA, "&ecirc;"},   {0xEB, "&euml;"},
    {0xEC, "&igrave;"},  {0xED, "&iacute;"},  {0xEE, "&icirc;"},   {0xEF, "&iuml;"},
    {0xF0, "&eth;"},     {0xF1, "&ntilde;"},  {0xF2, "&ograve;"},  {0xF3, "&oacute;"},
    {0xF4, "&ocirc;"},   {0xF5, "&otilde;"},  {0xF6, "&ouml;"},    {0xF7, "&divide;"},
    {0xF8, "&oslash;"},  {0xF9, "&ugrave;"},  {0xFA, "&uacute;"},  {0xFB, "&ucirc;"},
    {0xFC, "&uuml;"},    {0xFD, "&ygrave;"},  {0xFE, "&thorn;"},   {0xFF, "&yuml;"},
}};

// What an HTML search turns each tabled byte into: a reference of one to six letters or digits.
constexpr std::string_view kAnyReference = "&+1-6[0-9a-zA-Z];";

constexpr std::array<std::string_view, 8> kVariables = {
    "%%FMPATH%%", "%%FMFILE%%", "%%FMFILEDATE%%", "%%FMFILETIME%%",
    "%%FMFILESIZE%%", "%%FMDATE%%", "%%FMTIME%%", "%%FMFOUND%%"};

constexpr std::string_view kEnvironmentMarker = "%%ENVVAR=";
constexpr std::size_t kMaxEnvironmentValue = 10240;

// The position of `what` in `text` from `from` on, letter case ignored; npos when absent.
std::size_t FindIgnoringCase(std::string_view text, std::string_view what, std::size_t from) {
  if (what.empty() || text.size() < what.size()) return std::string_view::npos;
  for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
    if (cp::EqualsIgnoreCase(text.substr(i, what.size()), what)) return i;
  }
  return std::string_view::npos;
}

// A variable's own name with every `%` escaped, so that a replace pattern passes it through.
std::string EscapedVariable(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '%') out += '\\';
    out += c;
  }
  return out;
}

// Takes in the binary search text and decides the whole-file modes from it.
void TakeBinarySearchText(SearchEntry& entry) {
  entry.search_text = entry.binary_search_text;
  const std::string& text = entry.search_text;
  if (text == kAppendSearchText || cp::EqualsIgnoreCase(text, "%%FMAPPEND%%")) {
    entry.append_mode = true;
  } else if (text == kPrependSearchText || cp::EqualsIgnoreCase(text, "%%FMPREPEND%%")) {
    entry.prepend_mode = true;
  } else if (cp::StartsWithIgnoreCase(text, kReformatPrefix)) {
    entry.reformat_width = std::atoi(text.c_str() + kReformatPrefix.size());
  }
  if (entry.append_mode || entry.prepend_mode) entry.regular_expression = false;
}

// A plain block keeps `\[` so that the script reader does not take it for a header; in a plain
// text it stands for the bracket alone.
std::string UnescapeBrackets(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '[') continue;
    out += text[i];
  }
  return out;
}

bool InWhitespaceSet(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

// Ignore whitespace: each run of whitespace becomes one-or-more of the set. True when the
// text had whitespace (the entry then becomes a pattern).
bool MakeWhitespacePattern(SearchEntry& entry) {
  std::string set = DecodeEscapes(entry.whitespace_set);
  std::string escaped = entry.search_text;
  EscapeChars(escaped, kSearchPatternSpecials);
  std::string pattern;
  bool replaced = false;
  for (std::size_t i = 0; i < escaped.size();) {
    if (InWhitespaceSet(escaped[i], set) && !IsEscaped(escaped, static_cast<std::ptrdiff_t>(i))) {
      while (i < escaped.size() && InWhitespaceSet(escaped[i], set)) ++i;
      pattern += "+[" + set + "]";
      replaced = true;
    } else {
      pattern += escaped[i++];
    }
  }
  if (!replaced) return false;
  entry.search_text = std::move(pattern);
  EscapeChars(entry.replace_text, kReplacePatternSpecials);
  return true;
}

// HTML text: each tabled byte of the search text matches any reference; the replacement writes
// the references. True when the search text had such a byte.
bool MakeHtmlPattern(SearchEntry& entry) {
  bool any = false;
  for (char c : entry.search_text) any |= !HtmlReference(static_cast<unsigned char>(c)).empty();
  if (!any) return false;
  // The rest of the text is matched as written.
  std::string escaped = entry.search_text;
  EscapeChars(escaped, kSearchPatternSpecials);
  std::string pattern;
  for (char c : escaped) {
    if (HtmlReference(static_cast<unsigned char>(c)).empty()) {
      pattern += c;
    } else {
      pattern += kAnyReference;
    }
  }
  std::string replacement;
  for (char c : entry.replace_text) {
    std::string_view reference = HtmlReference(static_cast<unsigned char>(c));
    if (reference.empty()) {
      replacement += c;
    } else {
      replacement += reference;
    }
  }
  EscapeChars(replacement, kReplacePatternSpecials);
  entry.search_text = std::move(pattern);
  entry.replace_text = std::move(replacement);
  return true;
}

std::string FormatDate(const CalendarTime& time, JobServices& services) {
  return FormatWithPicture(services.ShortDatePicture(), time).substr(0, 80);
}

std::string FormatClock(const CalendarTime& time, JobServices& services) {
  return FormatWithPicture(services.TimePicture(), time).substr(0, 80);
}

}  // namespace

std::string_view HtmlReference(unsigned char byte) {
  for (const HtmlRow& row : kHtmlTable) {
    if (row.byte == byte) return row.reference;
  }
  return {};
}

std::string DecodeHtmlReferences(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      bool decoded = false;
      for (const HtmlRow& row : kHtmlTable) {
        std::string_view reference = row.reference;
        if (text.substr(i, reference.size()) == reference) {
          out += static_cast<char>(row.byte);
          i += reference.size() - 1;
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
    }
    out += text[i];
  }
  return out;
}

std::string ExpandEnvironment(std::string_view text, std::string_view escape_set) {
  if (text.find("%%") == std::string_view::npos) return std::string(text);
  std::string out;
  std::size_t pos = 0;
  while (true) {
    std::size_t marker = FindIgnoringCase(text, kEnvironmentMarker, pos);
    if (marker == std::string_view::npos) break;
    out.append(text.substr(pos, marker - pos));
    std::size_t name_start = marker + kEnvironmentMarker.size();
    std::size_t close = text.find("%%", name_start);
    if (close == std::string_view::npos) {
      // A marker that is never closed is dropped; the rest stays.
      pos = name_start;
      break;
    }
    std::string value =
        GetEnvironmentValue(std::string(text.substr(name_start, close - name_start))).value_or("");
    if (value.size() > kMaxEnvironmentValue) value.resize(kMaxEnvironmentValue);
    EscapeChars(value, escape_set);
    out += value;
    pos = close + 2;
  }
  out.append(text.substr(pos));
  return out;
}

std::string ReplaceFound(std::string_view text, std::string_view found) {
  return ReplaceAll(text, kFoundVariable, found, /*match_case=*/false);
}

std::string ExpandVariables(std::string_view text, const VariableFile& file,
                            JobServices& services) {
  if (text.find("%%") == std::string_view::npos) return std::string(text);
  std::string result(text);
  // Each value is worked out only when its variable is there: the user's date and time
  // pictures are settings, read afresh for every file.
  std::optional<CalendarTime> modified;
  std::optional<CalendarTime> now;
  auto file_time = [&]() -> const std::optional<CalendarTime>& {
    if (!modified && file.data_known) modified = ToCalendar(UtcToLocal(file.modified_utc));
    return modified;
  };
  auto time_now = [&]() -> const CalendarTime& {
    if (!now) now = services.LocalNow();
    return *now;
  };
  PathStyle style = NativePathStyle();
  // The found text is filled in per occurrence, later.
  for (std::size_t i = 0; i + 1 < kVariables.size(); ++i) {
    if (FindIgnoringCase(result, kVariables[i], 0) == std::string::npos) continue;
    std::string value;
    switch (i) {
      case 0:
        value = FolderPart(file.path, style);
        break;
      case 1:
        value = NamePart(file.path, style);
        break;
      case 2:
        if (file_time()) value = FormatDate(*file_time(), services);
        break;
      case 3:
        if (file_time()) value = FormatClock(*file_time(), services);
        break;
      case 4:
        if (file.data_known) value = std::to_string(file.size);
        break;
      case 5:
        value = FormatDate(time_now(), services);
        break;
      default:
        value = FormatClock(time_now(), services);
        break;
    }
    result = ReplaceAll(result, kVariables[i], value, /*match_case=*/false);
  }
  return result;
}

bool PrepareEntry(SearchEntry& entry, const PatternOptions& options, JobServices& services) {
  entry.append_mode = false;
  entry.prepend_mode = false;
  entry.reformat_width = 0;
  if (entry.search_text == kBinaryModeText) {
    TakeBinarySearchText(entry);
    bool special = entry.append_mode || entry.prepend_mode || entry.reformat_width != 0;
    if (!special && !entry.regular_expression) {
      entry.search_text = services.DecodeEscapes(entry.search_text);
    }
  } else if (!entry.regular_expression) {
    entry.search_text = UnescapeBrackets(entry.search_text);
  }
  if (entry.replace_text == kBinaryModeText) {
    entry.replace_text = entry.binary_replace_text;
    if (!entry.regular_expression) entry.replace_text = services.DecodeEscapes(entry.replace_text);
  } else if (!entry.regular_expression) {
    entry.replace_text = UnescapeBrackets(entry.replace_text);
  }

  bool pattern = entry.regular_expression;
  entry.search_text = ExpandEnvironment(entry.search_text, pattern ? kSearchPatternSpecials : "");
  entry.replace_text =
      ExpandEnvironment(entry.replace_text, pattern ? kReplacePatternSpecials : "");
  if (pattern) {
    entry.ignore_whitespace = false;
    entry.html_text = false;
    for (std::string_view name : kVariables) {
      entry.replace_text =
          ReplaceAll(entry.replace_text, name, EscapedVariable(name), /*match_case=*/false);
    }
  }
  entry.saved_search_text = entry.search_text;
  entry.saved_replace_text = entry.replace_text;
  if (!pattern && !entry.search_text.empty()) {
    if (entry.ignore_whitespace) {
      entry.regular_expression = MakeWhitespacePattern(entry);
    } else if (entry.html_text) {
      entry.regular_expression = MakeHtmlPattern(entry);
    }
  }

  entry.matcher.reset();
  entry.wide_matcher.reset();
  if (!entry.regular_expression) return true;
  PatternOptions entry_options = options;
  entry_options.case_sensitive = entry.case_sensitive;
  auto compiled = std::make_unique<SearchPattern>(entry.search_text, entry.replace_text,
                                                  PatternSyntax::kRegex, entry_options);
  if (!compiled->ok()) {
    services.ShowMessage("Error parsing: " + compiled->error());
    return false;
  }
  entry.matcher = std::move(compiled);
  return true;
}

}  // namespace tsl
