// Folding file names for comparisons that ignore letter case.
//
// POSIX names are taken as UTF-8 and cut into units: a valid character (shortest form, no
// surrogate, at most U+10FFFF) is one unit and folds by Unicode's simple case folding; every
// other byte is a unit of its own that compares exactly. Folding a valid character gives a valid
// character again, so the folded text cuts into the same units and two names fold to the same
// text exactly when their units fold to the same units.
#include "platform/file_names.h"

#include <algorithm>
#include <cstdint>

#include "platform/code_page.h"

namespace tsl {
namespace {

struct CaseFoldingRun {
  std::uint32_t first;
  std::uint16_t count;
  std::uint8_t stride;
  std::int32_t delta;
};

#include "platform/case_folding_table.inc"

char32_t FoldCodePoint(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
  // The last run that starts at or before c.
  const CaseFoldingRun* end = std::end(kCaseFoldingRuns);
  const CaseFoldingRun* run =
      std::upper_bound(std::begin(kCaseFoldingRuns), end, c,
                       [](char32_t value, const CaseFoldingRun& r) { return value < r.first; });
  if (run == std::begin(kCaseFoldingRuns)) return c;
  --run;
  std::uint32_t offset = c - run->first;
  if (offset % run->stride != 0 || offset / run->stride >= run->count) return c;
  return static_cast<char32_t>(static_cast<std::int64_t>(c) + run->delta);
}

// Units of a name outside Unicode's range: a byte of an invalid sequence stands for itself.
constexpr char32_t kRawByte = 0x110000;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The unit at `*at` (advanced past it): a code point, or kRawByte + the byte.
char32_t NextUnit(std::string_view text, std::size_t* at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  std::size_t i = *at;
  unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead < 0x80) {
    ++*at;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // shorter forms are overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  }
  bool valid = length > 0 && text.size() - i >= length && byte(i + 1) >= low && byte(i + 1) <= high;
  for (std::size_t k = 2; valid && k < length; ++k) valid = IsContinuation(byte(i + k));
  if (!valid) {
    ++*at;
    return kRawByte + lead;
  }
  char32_t c = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (byte(i + k) & 0x3F);
  *at = i + length;
  return c;
}

void AppendUnit(char32_t unit, std::string* out) {
  if (unit >= kRawByte) {
    out->push_back(static_cast<char>(unit - kRawByte));
  } else {
    cp::AppendUtf8(unit, out);
  }
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

}  // namespace

std::string FoldFileName(std::string_view name, PathStyle style) {
  std::string folded;
  folded.reserve(name.size());
  if (style == PathStyle::kWindows) {
    for (char c : name)
      folded.push_back(static_cast<char>(cp::ToUpper(static_cast<unsigned char>(c))));
    return folded;
  }
  std::size_t at = 0;
  while (at < name.size()) {
    if (IsAscii(name[at])) {  // most names are ASCII throughout
      folded.push_back(FoldAscii(name[at++]));
      continue;
    }
    char32_t unit = NextUnit(name, &at);
    AppendUnit(unit < kRawByte ? FoldCodePoint(unit) : unit, &folded);
  }
  return folded;
}

bool FileNamesEqual(std::string_view a, std::string_view b, PathStyle style) {
  if (style == PathStyle::kWindows) return cp::EqualsIgnoreCase(a, b);
  // Folding can change a character's length (U+212A KELVIN SIGN is k): walk both by units.
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsAscii(a[i]) && IsAscii(b[j])) {
      if (FoldAscii(a[i++]) != FoldAscii(b[j++])) return false;
      continue;
    }
    char32_t x = NextUnit(a, &i), y = NextUnit(b, &j);
    if (x != y && (x >= kRawByte || y >= kRawByte || FoldCodePoint(x) != FoldCodePoint(y))) {
      return false;
    }
  }
  return i == a.size() && j == b.size();
}

std::uint64_t FoldedNameHash(std::string_view name, PathStyle style) {
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  auto add = [&hash](char c) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  };
  if (style == PathStyle::kWindows) {
    for (char c : name) add(static_cast<char>(cp::ToUpper(static_cast<unsigned char>(c))));
  } else if (std::all_of(name.begin(), name.end(), IsAscii)) {
    for (char c : name) add(FoldAscii(c));
  } else {
    for (char c : FoldFileName(name, style)) add(c);
  }
  return hash;
}

}  // namespace tsl
