// What the escapes and mask lists fuzz target does with one input, shared with the test that
// replays the kept inputs. The input is cut into a flags byte, a length byte, a first text and a
// second text. The first text is decoded, escaped and control-coded, and searched with the
// escape-aware scanners, each compared with a plain reading of its rule; a search and replace
// with the head of the second text is compared with a plain loop. Then the first text is a mask
// list and the lines of the second text are paths matched against it, compared with the masks
// applied one at a time by the list order rule.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "script/escapes.h"
#include "pattern/mask_list.h"

namespace tsl::fuzzing {

/// At most this many masks and paths are compared one by one per input.
inline constexpr std::size_t kComparedMasks = 16;
inline constexpr std::size_t kComparedPaths = 16;

inline std::size_t CountOf(std::string_view text, std::string_view set) {
  std::size_t count = 0;
  for (char c : text) count += set.find(c) != std::string_view::npos;
  return count;
}

/// True when a backslash stands before t, n or r in either case: DecodeControls would take it
/// for a coded control although EncodeControls did not write it.
inline bool HoldsControlLookalike(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\\' && std::string_view("tnrTNR").find(text[i + 1]) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

inline void CheckEscapes(std::string_view text) {
  std::string decoded = DecodeEscapes(text);
  Check(decoded.size() <= text.size());
  if (text.find('\\') == std::string_view::npos) Check(decoded == text);
  // Escaping for the pattern language, backslashes first, is undone by decoding.
  for (std::string_view set : {std::string_view("\\+*?[]()!|-$^"), std::string_view("\\%<>")}) {
    std::string escaped(text);
    Check(static_cast<std::size_t>(EscapeChars(escaped, set)) == CountOf(text, set));
    Check(escaped.size() == text.size() + CountOf(text, set));
    Check(DecodeEscapes(escaped) == text);
  }
  std::string encoded = EncodeControls(text);
  Check(CountOf(encoded, "\t\n\r") == 0);
  Check(encoded.size() == text.size() + CountOf(text, "\t\n\r"));
  if (!HoldsControlLookalike(text)) Check(DecodeControls(encoded) == text);
  Check(DecodeControls(text).size() <= text.size());
}

inline bool EqualAt(std::string_view text, std::size_t at, std::string_view find, bool match_case) {
  for (std::size_t i = 0; i < find.size(); ++i) {
    auto a = static_cast<unsigned char>(text[at + i]);
    auto b = static_cast<unsigned char>(find[i]);
    if (match_case ? a != b : cp::ToUpper(a) != cp::ToUpper(b)) return false;
  }
  return true;
}

inline void CheckReplaceAll(std::string_view text, std::string_view find,
                            std::string_view replacement, bool match_case) {
  std::string expected;
  std::size_t at = 0;
  if (!find.empty()) {
    while (at + find.size() <= text.size()) {
      if (EqualAt(text, at, find, match_case)) {
        expected.append(replacement);
        at += find.size();
      } else {
        expected += text[at++];
      }
    }
  }
  expected.append(text.substr(at));
  Check(ReplaceAll(text, find, replacement, match_case) == expected);
}

inline void CheckScanning(std::string_view text, std::string_view set) {
  auto unescaped_member = [&](std::size_t i) {
    return set.find(text[i]) != std::string_view::npos &&
           !IsEscaped(text, static_cast<std::ptrdiff_t>(i));
  };
  std::ptrdiff_t expected = -1;
  for (std::size_t i = 0; i < text.size() && expected < 0; ++i) {
    if (unescaped_member(i)) expected = static_cast<std::ptrdiff_t>(i);
  }
  Check(FindUnescapedOneOf(text, set) == expected);

  BalancedSpan plain;
  std::ptrdiff_t depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsEscaped(text, static_cast<std::ptrdiff_t>(i))) continue;
    if (text[i] == '(') {
      if (plain.open < 0) plain.open = static_cast<std::ptrdiff_t>(i);
      ++depth;
    } else if (text[i] == ')' && plain.open >= 0 && --depth == 0) {
      plain.end = static_cast<std::ptrdiff_t>(i) + 1;
      break;
    }
  }
  if (plain.end < 0) plain = BalancedSpan{};
  BalancedSpan span = FindBalanced(text, '(', ')');
  Check(span.open == plain.open && span.end == plain.end);
}

/// The selection rule applied mask by mask: each piece of the list compiled alone as an include
/// mask, the list order deciding which pieces are tried.
inline void CheckMaskList(const std::string& text, MaskStyle style, const std::string& root,
                          const std::vector<std::string>& paths) {
  MaskList list(text, style, root);
  struct Piece {
    MaskList mask;
    bool include;
  };
  std::vector<Piece> pieces;
  bool comparable = true;
  std::string::size_type start = 0;
  while (start <= text.size() && comparable) {
    std::string::size_type end = std::min(text.find(';', start), text.size());
    std::string piece = text.substr(start, end - start);
    start = end + 1;
    bool include = piece.empty() || piece[0] != '~';
    if (!include) piece.erase(0, 1);
    if (piece.empty()) continue;
    // A piece that still begins with `~` would be an exclude mask again when compiled alone.
    comparable = piece[0] != '~' && pieces.size() < kComparedMasks;
    pieces.push_back({MaskList(piece, style, root), include});
  }
  Check(list.empty() == pieces.empty());
  for (const std::string& path : paths) {
    const bool selected = list.Selects(path);
    if (list.empty()) Check(!selected);
    // Both sides are upper-cased: the letter case of a path never matters.
    Check(list.Selects(cp::ToUpper(path)) == selected);
    if (!comparable) continue;
    bool expected = false;
    for (const Piece& piece : pieces) {
      if (piece.include != expected && piece.mask.Selects(path)) expected = piece.include;
    }
    Check(selected == expected);
  }
}

inline void RunEscapesFuzzInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return;
  const std::uint8_t flags = data[0];
  const std::size_t first_length = std::min<std::size_t>(data[1], size - 2);
  const char* bytes = reinterpret_cast<const char*>(data + 2);
  std::string first(bytes, first_length);
  std::string second(bytes + first_length, size - 2 - first_length);

  CheckEscapes(first);
  CheckEscapes(second);
  const std::size_t find_length = std::min<std::size_t>(flags & 7, second.size());
  const std::string_view find = std::string_view(second).substr(0, find_length);
  const std::string_view replacement = std::string_view(second).substr(find_length);
  CheckReplaceAll(first, find, replacement, (flags & 8) != 0);
  std::string set;
  for (char c : find) {
    if (c != '\\') set += c;  // a backslash is what escapes, never a member that counts
  }
  CheckScanning(first, set);

  const char sep = NativeSeparator();
  std::string root;
  if (flags & 16) root = std::string(1, sep) + "Root" + ((flags & 32) ? std::string(1, sep) : "");
  std::vector<std::string> paths;
  for (std::size_t at = 0; at <= second.size() && paths.size() < kComparedPaths;) {
    std::size_t end = std::min(second.find('\n', at), second.size());
    std::string line = second.substr(at, end - at);
    paths.push_back((flags & 64) && !root.empty() ? root + sep + line : line);
    at = end + 1;
  }
  CheckMaskList(first, (flags & 128) ? MaskStyle::kFileJobs : MaskStyle::kSynchronization, root,
                paths);
}

}  // namespace tsl::fuzzing
