// Fast scanning for the matcher. The substring search filters 16 candidate starts at a time by
// their first and last byte (each in every spelling that folds to the literal's byte) and checks
// the survivors in full; the line-break counter classifies 16 bytes at a time. Both use the
// compiler's vector extensions, which GCC and Clang turn into SSE2 on x86-64.
#include "pattern/skip_search.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tsl::pattern_internal {
namespace {

using Bytes16 = unsigned char __attribute__((vector_size(16)));
constexpr int kLanes = 16;

Bytes16 Load(const unsigned char* p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

Bytes16 Splat(unsigned char b) { return Bytes16{} + b; }

Bytes16 Equal(Bytes16 a, Bytes16 b) { return reinterpret_cast<Bytes16>(a == b); }

/// The lanes of a comparison result as two 64-bit halves, 8 bits per lane.
struct LaneBits {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  explicit LaneBits(Bytes16 v) {
    std::memcpy(&low, &v, 8);
    std::memcpy(&high, reinterpret_cast<const char*>(&v) + 8, 8);
  }
  bool any() const { return (low | high) != 0; }
  /// Removes and returns the lowest set lane; -1 when none is left.
  int PopLowest() {
    if (low != 0) {
      int lane = std::countr_zero(low) / 8;
      low &= ~(std::uint64_t{0xFF} << (lane * 8));
      return lane;
    }
    if (high != 0) {
      int lane = std::countr_zero(high) / 8;
      high &= ~(std::uint64_t{0xFF} << (lane * 8));
      return 8 + lane;
    }
    return -1;
  }
  int Highest() const {
    if (high != 0) return 8 + (63 - std::countl_zero(high)) / 8;
    if (low != 0) return (63 - std::countl_zero(low)) / 8;
    return -1;
  }
};

/// The byte values that fold to `folded`, repeated to fill four slots; false when there are
/// more than four (the search then goes byte by byte).
bool CollectSpellings(unsigned char folded, const FoldTable& fold, unsigned char* out) {
  int count = 0;
  for (int b = 0; b < 256; ++b) {
    if (fold[static_cast<std::size_t>(b)] != folded) continue;
    if (count == 4) return false;
    out[count++] = static_cast<unsigned char>(b);
  }
  if (count == 0) return false;
  for (int i = count; i < 4; ++i) out[i] = out[0];
  return true;
}

Bytes16 MatchAny(Bytes16 t, const unsigned char* spellings) {
  return Equal(t, Splat(spellings[0])) | Equal(t, Splat(spellings[1])) |
         Equal(t, Splat(spellings[2])) | Equal(t, Splat(spellings[3]));
}

}  // namespace

LiteralSearch::LiteralSearch(std::string literal, const FoldTable& fold)
    : literal_(std::move(literal)), fold_(&fold), identity_(&fold == &IdentityTable()) {
  vector_filter_ = CollectSpellings(static_cast<unsigned char>(literal_.front()), fold, first_) &&
                   CollectSpellings(static_cast<unsigned char>(literal_.back()), fold, last_);
}

bool LiteralSearch::MatchesAt(const unsigned char* text, Pos p) const {
  if (identity_) return std::memcmp(text + p, literal_.data(), literal_.size()) == 0;
  const FoldTable& fold = *fold_;
  for (std::size_t i = 0; i < literal_.size(); ++i) {
    if (fold[text[p + static_cast<Pos>(i)]] != static_cast<unsigned char>(literal_[i])) {
      return false;
    }
  }
  return true;
}

Pos LiteralSearch::FindBytewise(const unsigned char* text, Pos from, Pos last_start) const {
  const unsigned char first = static_cast<unsigned char>(literal_[0]);
  const FoldTable& fold = *fold_;
  for (Pos p = from; p <= last_start; ++p) {
    if (fold[text[p]] == first && MatchesAt(text, p)) return p;
  }
  return -1;
}

Pos LiteralSearch::Find(const unsigned char* text, Pos length, Pos from, Pos last_start) const {
  const Pos l = static_cast<Pos>(literal_.size());
  last_start = std::min(last_start, length - l);
  if (from < 0) from = 0;
  if (from > last_start) return -1;
  if (identity_ && l == 1) {
    const void* hit =
        std::memchr(text + from, literal_[0], static_cast<std::size_t>(last_start - from + 1));
    return hit == nullptr ? -1 : static_cast<const unsigned char*>(hit) - text;
  }
  Pos p = from;
  if (vector_filter_) {
    for (; p + kLanes - 1 <= last_start && p + l - 1 + kLanes <= length; p += kLanes) {
      LaneBits hits(MatchAny(Load(text + p), first_) & MatchAny(Load(text + p + l - 1), last_));
      for (int lane = hits.PopLowest(); lane >= 0; lane = hits.PopLowest()) {
        if (MatchesAt(text, p + lane)) return p + lane;
      }
    }
  }
  return FindBytewise(text, p, last_start);
}

Pos FindTableByte(const unsigned char* text, Pos from, Pos to, const ByteTable& table) {
  Pos p = from;
  for (; p + 4 <= to; p += 4) {
    if (table[text[p]]) return p;
    if (table[text[p + 1]]) return p + 1;
    if (table[text[p + 2]]) return p + 2;
    if (table[text[p + 3]]) return p + 3;
  }
  for (; p < to; ++p) {
    if (table[text[p]]) return p;
  }
  return -1;
}

bool IsLineBreakAt(const unsigned char* text, Pos length, Pos p, bool utf16, bool text_ends_file) {
  if (text[p] == '\n') return true;
  if (text[p] != '\r') return false;
  Pos next = p + (utf16 ? 2 : 1);
  if (next < length) return text[next] != '\n';
  return text_ends_file;
}

BreakScan ScanLineBreaks(const unsigned char* text, Pos length, Pos from, Pos to, bool utf16,
                         bool text_ends_file) {
  BreakScan scan;
  if (from < 0) from = 0;
  if (to > length) to = length;
  const Pos step = utf16 ? 2 : 1;
  const Bytes16 lf = Splat('\n');
  const Bytes16 cr = Splat('\r');
  Pos p = from;
  Pos last_chunk = -1;
  Bytes16 last_breaks{};
  while (p + kLanes <= to && p + kLanes + step <= length) {
    // Per-lane counters of at most 255 breaks, added up before they can overflow.
    Bytes16 counts{};
    for (int round = 0; round < 255 && p + kLanes <= to && p + kLanes + step <= length;
         ++round, p += kLanes) {
      Bytes16 t = Load(text + p);
      Bytes16 breaks = Equal(t, lf) | (Equal(t, cr) & ~Equal(Load(text + p + step), lf));
      counts -= breaks;  // a matching lane is 0xFF, that is -1
      if (LaneBits(breaks).any()) {
        last_chunk = p;
        last_breaks = breaks;
      }
    }
    for (int lane = 0; lane < kLanes; ++lane) scan.count += counts[lane];
  }
  if (last_chunk >= 0) scan.last = last_chunk + LaneBits(last_breaks).Highest();
  for (; p < to; ++p) {
    if (IsLineBreakAt(text, length, p, utf16, text_ends_file)) {
      ++scan.count;
      scan.last = p;
    }
  }
  return scan;
}

}  // namespace tsl::pattern_internal
