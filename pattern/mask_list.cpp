// Mask lists: splitting the text, compiling each mask into a wildcard pattern (with its folder
// part, while the root of an enumeration is known), and the order-dependent selection.
//
// Masks are matched on upper-cased names and folders, so they are compiled case-sensitive, with
// the default repetition bound, whatever a search that runs at the same time uses.
#include "pattern/mask_list.h"

#include <string_view>
#include <vector>

#include "pattern/search_pattern.h"
#include "platform/code_page.h"
#include "platform/paths.h"

namespace tsl {
namespace {

// Both sides are upper-cased already.
constexpr PatternOptions kMaskOptions{.case_sensitive = true,
                                      .repetition_bound = kDefaultRepetitionBound,
                                      .operator_order = OperatorOrder::kPrefix};

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  std::string::size_type first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string DoubledBackslashes(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\\') result += '\\';
    result += c;
  }
  return result;
}

struct FolderSplit {
  std::string name;
  std::string folder;  // empty: no folder part
  bool any_depth_before = false;
  bool any_depth_below = false;
};

// Splits a mask into its name part and its folder part with the any-depth switches.
FolderSplit SplitFolderPart(std::string mask, char sep) {
  FolderSplit split;
  if (mask.find(sep) != std::string::npos && mask[0] != sep) mask.insert(0, 1, sep);
  if (mask.empty() || mask[0] != sep) {
    split.name = mask;
    return split;
  }
  mask.erase(0, 1);
  std::string::size_type last = mask.rfind(sep);
  if (last == std::string::npos) {
    split.name = mask;
    split.folder = std::string(1, sep);
  } else {
    split.name = mask.substr(last + 1);
    split.folder = mask.substr(0, last + 1);
  }
  const std::string star_sep = std::string("*") + sep;
  if (split.folder.compare(0, 2, star_sep) == 0) {
    split.any_depth_before = true;
    split.folder.erase(0, 2);
  }
  const std::string sep_star_sep = sep + star_sep;
  if (split.folder.size() >= 3 &&
      split.folder.compare(split.folder.size() - 3, 3, sep_star_sep) == 0) {
    split.any_depth_below = true;
    split.folder.erase(split.folder.size() - 2);
  }
  if (split.folder.empty()) split.folder = std::string(1, sep);
  if (split.folder.front() != sep) split.folder.insert(0, 1, sep);
  if (split.folder.back() != sep) split.folder += sep;
  if (split.name.empty()) split.name = "*.*";
  return split;
}

struct CompiledMask {
  SearchPattern pattern;
  bool include;
  // `*` or `*.*` without a folder part: every name the wildcards can match at all.
  bool every_name = false;
};

std::string_view NameOf(std::string_view path, char sep) {
  std::string_view::size_type last = path.rfind(sep);
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

bool MatchesEveryName(const std::string& upper_mask) {
  return upper_mask == "*" || upper_mask == "*.*";
}

// A wildcard never matches LF, CR or a byte from 1 to 8; a name without them is matched by `*`
// and, once it has its dot, by `*.*`.
bool WildcardsMatchAll(std::string_view name) {
  for (char c : name) {
    if ((c >= 1 && c <= 8) || c == '\n' || c == '\r') return false;
  }
  return true;
}

}  // namespace

struct MaskList::Impl {
  std::vector<CompiledMask> masks;
  std::string root;
  char sep;

  bool Matches(SearchPattern& mask, const std::string& path) const;
  bool FolderMatches(SearchPattern& folder_pattern, bool before, bool below,
                     const std::string& relative) const;
};

MaskList::MaskList(const std::string& text, MaskStyle style, const std::string& root)
    : impl_(std::make_unique<Impl>()) {
  impl_->root = root;
  impl_->sep = NativeSeparator();
  std::string::size_type start = 0;
  while (start <= text.size()) {
    std::string::size_type end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string mask = text.substr(start, end - start);
    start = end + 1;
    if (mask.empty()) continue;
    bool include = mask[0] != '~';
    if (!include && (mask.erase(0, 1), mask.empty())) continue;
    // A mask that ends with a separator names a folder (every file directly in it): it gets
    // no dot, which would leave it selecting only files named ".".
    if (style == MaskStyle::kFileJobs) {
      if (mask.find_first_of(".*") == std::string::npos && mask.back() != impl_->sep) mask += '.';
      else if (mask[0] == '.') mask.insert(0, 1, '*');
    }
    mask = Trimmed(mask);
    if (root.empty()) {
      std::string upper = cp::ToUpper(mask);
      impl_->masks.push_back(
          {SearchPattern(upper, std::nullopt, PatternSyntax::kWildcard, kMaskOptions), include,
           MatchesEveryName(upper)});
      continue;
    }
    FolderSplit split = SplitFolderPart(mask, impl_->sep);
    SearchPattern pattern(cp::ToUpper(split.name), std::nullopt, PatternSyntax::kWildcard,
                          kMaskOptions);
    if (!split.folder.empty()) {
      pattern.SetFolderPart(DoubledBackslashes(cp::ToUpper(split.folder)), split.any_depth_before,
                            split.any_depth_below);
    }
    bool every_name = split.folder.empty() && MatchesEveryName(cp::ToUpper(split.name));
    impl_->masks.push_back({std::move(pattern), include, every_name});
  }
}

MaskList::~MaskList() = default;
MaskList::MaskList(MaskList&&) noexcept = default;
MaskList& MaskList::operator=(MaskList&&) noexcept = default;

bool MaskList::empty() const { return impl_->masks.empty(); }

bool MaskList::Selects(const std::string& path) const {
  bool selected = false;
  for (CompiledMask& mask : impl_->masks) {
    if (mask.include == selected) continue;
    if (mask.every_name ? WildcardsMatchAll(NameOf(path, impl_->sep))
                        : impl_->Matches(mask.pattern, path)) {
      selected = mask.include;
    }
  }
  return selected;
}

bool MaskList::Impl::Matches(SearchPattern& mask, const std::string& path) const {
  std::string::size_type last = path.rfind(sep);
  std::string name = last == std::string::npos ? path : path.substr(last + 1);
  if (name.find('.') == std::string::npos) name += '.';
  if (!mask.MatchesWhole(cp::ToUpper(name))) return false;
  if (!mask.has_folder_part()) return true;
  std::string folder = last == std::string::npos ? std::string() : path.substr(0, last + 1);
  std::string::size_type cut = root.size() - (!root.empty() && root.back() == sep ? 1 : 0);
  std::string relative = folder.size() >= cut ? folder.substr(cut) : std::string();
  if (relative.empty() || relative[0] != sep) return false;  // not below the root
  return FolderMatches(*mask.folder_pattern(), mask.any_depth_before(), mask.any_depth_below(),
                       cp::ToUpper(relative));
}

// Judges where the folder pattern occurs in the relative folder: covering all of it (the file
// lies in that folder), at its start (that folder or below), at its end (a folder whose trailing
// path is the given one), or anywhere. Every occurrence is considered, not only the leftmost,
// so that `*\sub\*.txt` also takes `\sub\x\sub\a.txt`.
bool MaskList::Impl::FolderMatches(SearchPattern& folder_pattern, bool before, bool below,
                                   const std::string& relative) const {
  const auto length = static_cast<std::int64_t>(relative.size());
  for (std::int64_t from = 0; from < length; ++from) {
    std::int64_t last_break = -1, lines = 0;
    std::int64_t end = folder_pattern.Find(relative.data() + from, length - from, 0, 0, from,
                                           &last_break, &lines);
    if (end < 0) return false;
    std::int64_t match_end = from + end;
    std::int64_t match_start =
        match_end - static_cast<std::int64_t>(folder_pattern.MatchedText().size());
    bool starts_ok = before || match_start == 0;
    bool ends_ok = below || match_end == length;
    if (starts_ok && ends_ok) return true;
    if (!before) return false;  // later occurrences cannot start at the beginning
    from = match_start;
  }
  return false;
}

}  // namespace tsl
