// Fast scanning for the matcher. The substring search filters candidate starts by the two
// rarest bytes of the literal and checks the survivors in full; the line-break counter counts
// line feeds 64 bytes at a time and finds the rarer lone CRs with memchr. Both use the
// compiler's vector extensions, which GCC and Clang turn into SSE2 on x86-64.
#include "pattern/skip_search.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tsl::pattern_internal {
namespace {

using Bytes16 = unsigned char __attribute__((vector_size(16)));
using SignedBytes16 = char __attribute__((vector_size(16)));
constexpr int kLanes = 16;

Bytes16 Load(const unsigned char* p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

Bytes16 Splat(unsigned char b) { return Bytes16{} + b; }

Bytes16 Equal(Bytes16 a, Bytes16 b) { return reinterpret_cast<Bytes16>(a == b); }

/// One bit per lane of a comparison result, lane 0 in bit 0.
unsigned MoveMask(Bytes16 v) {
#if defined(__SSE2__)
  return static_cast<unsigned>(__builtin_ia32_pmovmskb128(reinterpret_cast<SignedBytes16>(v)));
#else
  unsigned mask = 0;
  for (int i = 0; i < kLanes; ++i) mask |= static_cast<unsigned>(v[i] >> 7) << i;
  return mask;
#endif
}

/// How common a byte is in ordinary text, roughly: the filter bytes of a literal are its least
/// common ones.
int Commonness(unsigned char b) {
  static constexpr std::string_view kLetters = "etaoinshrdlcumwfgypbvkjxqz";
  if (b == ' ') return 300;
  if (b >= 'a' && b <= 'z') return 260 - 8 * static_cast<int>(kLetters.find(static_cast<char>(b)));
  if (b >= 'A' && b <= 'Z') {
    return 90 - 3 * static_cast<int>(kLetters.find(static_cast<char>(b - 'A' + 'a')));
  }
  if (b == '\n' || b == '.' || b == ',') return 120;
  if (b >= '0' && b <= '9') return 70;
  if (b > ' ' && b < 0x7F) return 40;
  return 10;
}

template <int kCount>
Bytes16 MatchSpellings(Bytes16 t, const unsigned char* bytes) {
  Bytes16 m = Equal(t, Splat(bytes[0]));
  if constexpr (kCount > 1) m |= Equal(t, Splat(bytes[1]));
  if constexpr (kCount > 2) m |= Equal(t, Splat(bytes[2])) | Equal(t, Splat(bytes[3]));
  return m;
}

}  // namespace

LiteralSearch::LiteralSearch(std::string literal, const FoldTable& fold)
    : literal_(std::move(literal)), fold_(&fold), identity_(&fold == &IdentityTable()) {
  std::vector<Spellings> spellings(literal_.size());
  std::vector<int> commonness(literal_.size(), 0);
  for (std::size_t i = 0; i < literal_.size(); ++i) {
    for (int b = 0; b < 256; ++b) {
      if (fold[static_cast<std::size_t>(b)] != static_cast<unsigned char>(literal_[i])) continue;
      commonness[i] += Commonness(static_cast<unsigned char>(b));
      if (spellings[i].count < 4)
        spellings[i].bytes[spellings[i].count] = static_cast<unsigned char>(b);
      ++spellings[i].count;
    }
  }
  // The rarest position, then the rarest other one (the same one for a single byte).
  auto rarest_except = [&](std::size_t skip) {
    std::size_t best = skip == 0 && literal_.size() > 1 ? 1 : 0;
    for (std::size_t i = 0; i < literal_.size(); ++i) {
      if (i != skip && commonness[i] < commonness[best]) best = i;
    }
    return best;
  };
  std::size_t first = rarest_except(literal_.size());
  std::size_t second = literal_.size() > 1 ? rarest_except(first) : first;
  first_offset_ = static_cast<Pos>(first);
  second_offset_ = static_cast<Pos>(second);
  first_ = spellings[first];
  second_ = spellings[second];
  for (Spellings* s : {&first_, &second_}) {
    for (int i = s->count; i < 4; ++i) s->bytes[i] = s->bytes[0];
  }
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

template <int kFirst, int kSecond>
Pos LiteralSearch::FindFiltered(const unsigned char* text, Pos length, Pos from,
                                Pos last_start) const {
  const Pos reach = std::max(first_offset_, second_offset_) + 2 * kLanes;
  Pos p = from;
  for (; p + 2 * kLanes - 1 <= last_start && p + reach <= length; p += 2 * kLanes) {
    const unsigned char* a = text + p + first_offset_;
    const unsigned char* b = text + p + second_offset_;
    unsigned low = MoveMask(MatchSpellings<kFirst>(Load(a), first_.bytes) &
                            MatchSpellings<kSecond>(Load(b), second_.bytes));
    unsigned high = MoveMask(MatchSpellings<kFirst>(Load(a + kLanes), first_.bytes) &
                             MatchSpellings<kSecond>(Load(b + kLanes), second_.bytes));
    for (std::uint32_t hits = low | (high << kLanes); hits != 0; hits &= hits - 1) {
      Pos candidate = p + std::countr_zero(hits);
      if (MatchesAt(text, candidate)) return candidate;
    }
  }
  return FindBytewise(text, p, last_start);
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
  auto width = [](int count) { return count == 1 ? 1 : count == 2 ? 2 : 4; };
  if (first_.count == 0 || second_.count == 0) return -1;  // no byte folds to the literal's
  if (first_.count > 4 || second_.count > 4) return FindBytewise(text, from, last_start);
  switch (width(first_.count) * 10 + width(second_.count)) {
    case 11:
      return FindFiltered<1, 1>(text, length, from, last_start);
    case 12:
      return FindFiltered<1, 2>(text, length, from, last_start);
    case 21:
      return FindFiltered<2, 1>(text, length, from, last_start);
    case 22:
      return FindFiltered<2, 2>(text, length, from, last_start);
    default:
      return FindFiltered<4, 4>(text, length, from, last_start);
  }
}

std::unique_ptr<PairSearch> PairSearch::For(const std::vector<std::string>& alternatives,
                                            const FoldTable& fold) {
  auto search = std::make_unique<PairSearch>();
  int firsts = 0;
  int seconds = 0;
  for (const std::string& alternative : alternatives) {
    if (alternative.size() < 2) return nullptr;
    for (int b = 0; b < 256; ++b) {
      const unsigned char folded = fold[static_cast<std::size_t>(b)];
      const auto byte = static_cast<unsigned char>(b);
      if (folded == static_cast<unsigned char>(alternative[0]) && !search->first_table_[byte]) {
        if (firsts == 4) return nullptr;
        search->first_table_[byte] = true;
        search->first_[firsts++] = byte;
      }
      if (folded == static_cast<unsigned char>(alternative[1]) && !search->second_table_[byte]) {
        if (seconds == 4) return nullptr;
        search->second_table_[byte] = true;
        search->second_[seconds++] = byte;
      }
    }
  }
  if (firsts == 0 || seconds == 0) return nullptr;
  for (int i = firsts; i < 4; ++i) search->first_[i] = search->first_[0];
  for (int i = seconds; i < 4; ++i) search->second_[i] = search->second_[0];
  return search;
}

Pos PairSearch::Find(const unsigned char* text, Pos length, Pos from, Pos last) const {
  last = std::min(last, length - 1);
  Pos p = std::max<Pos>(from, 0);
  for (; p + 2 * kLanes - 1 <= last && p + 2 * kLanes + 1 <= length; p += 2 * kLanes) {
    unsigned low = MoveMask(MatchSpellings<4>(Load(text + p), first_) &
                            MatchSpellings<4>(Load(text + p + 1), second_));
    unsigned high = MoveMask(MatchSpellings<4>(Load(text + p + kLanes), first_) &
                             MatchSpellings<4>(Load(text + p + kLanes + 1), second_));
    std::uint32_t hits = low | (high << kLanes);
    if (hits != 0) return p + std::countr_zero(hits);
  }
  for (; p <= last; ++p) {
    if (first_table_[text[p]] && (p + 1 >= length || second_table_[text[p + 1]])) return p;
  }
  return -1;
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

namespace {

/// Line feeds and lone CRs (a CR whose next code unit is not LF) in text[from, to), counted in one
/// pass 64 bytes at a time: in CR LF text every line has a CR, so CRs cannot be taken one by
/// one. The last break is looked for backwards afterwards.
BreakScan CountBreaks(const unsigned char* text, Pos length, Pos from, Pos to, bool utf16,
                      bool text_ends_file) {
  BreakScan scan;
  const Pos step = utf16 ? 2 : 1;
  const Bytes16 cr = Splat('\r');
  const Bytes16 lf = Splat('\n');
  // The byte after each CR is read too, so the vector loop stops where that would pass the text.
  const Pos vector_end = std::min(to, length - step);
  Pos p = from;
  while (p + 4 * kLanes <= vector_end) {
    // Per-lane counters: at most 4 per round each, added up before they can overflow.
    Bytes16 feeds{};
    Bytes16 lone{};
    for (int round = 0; round < 63 && p + 4 * kLanes <= vector_end; ++round, p += 4 * kLanes) {
      for (int k = 0; k < 4; ++k) {
        const unsigned char* at = text + p + k * kLanes;
        Bytes16 bytes = Load(at);
        feeds -= Equal(bytes, lf);  // a matching lane is 0xFF, that is -1
        lone -= Equal(bytes, cr) & ~Equal(Load(at + step), lf);
      }
    }
    for (int lane = 0; lane < kLanes; ++lane) scan.count += feeds[lane] + lone[lane];
  }
  for (; p < to; ++p) scan.count += IsLineBreakAt(text, length, p, utf16, text_ends_file);
  if (scan.count > 0) {
    // Backwards: line feeds 16 at a time, a CR checked where one is met.
    Pos q = to;
    while (q - kLanes >= from) {
      Bytes16 bytes = Load(text + q - kLanes);
      unsigned mask = MoveMask(Equal(bytes, lf) | Equal(bytes, cr));
      for (; mask != 0; mask &= ~(1u << (31 - std::countl_zero(mask)))) {
        Pos at = q - kLanes + (31 - std::countl_zero(mask));
        if (IsLineBreakAt(text, length, at, utf16, text_ends_file)) {
          scan.last = at;
          return scan;
        }
      }
      q -= kLanes;
    }
    for (--q; q >= from; --q) {
      if (IsLineBreakAt(text, length, q, utf16, text_ends_file)) {
        scan.last = q;
        break;
      }
    }
  }
  return scan;
}

}  // namespace

BreakScan ScanLineBreaks(const unsigned char* text, Pos length, Pos from, Pos to, bool utf16,
                         bool text_ends_file) {
  if (from < 0) from = 0;
  if (to > length) to = length;
  if (from >= to) return {};
  if (to - from < 4 * kLanes) {  // too short for the vector loops to pay
    BreakScan scan;
    for (Pos p = from; p < to; ++p) {
      if (IsLineBreakAt(text, length, p, utf16, text_ends_file)) {
        ++scan.count;
        scan.last = p;
      }
    }
    return scan;
  }
  return CountBreaks(text, length, from, to, utf16, text_ends_file);
}

}  // namespace tsl::pattern_internal
