// Matching and classification. The pairing rules are those of a linear search of the target
// list for every source file; indexes keyed by upper-cased relative path, name, CRC-32 and
// checksum find the same first candidate, because each index keeps its candidates in list
// order and a cursor skips the ones already paired.
#include "synch/matching.h"

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/code_page.h"

namespace tsl {
namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;

enum class TimeRelation { kSourceOlder, kSourceNewer, kSame, kSameByOffset };

TimeRelation RelateTimes(const FileRecord& source, const FileRecord& target, int offset,
                         int precision) {
  std::int64_t d = source.modified - target.modified;
  std::int64_t p = static_cast<std::int64_t>(precision) * kTicksPerSecond;
  std::int64_t o = static_cast<std::int64_t>(offset) * kTicksPerSecond;
  if (d < -p) {
    if (o != 0 && -p < d + o && d + o < p) return TimeRelation::kSameByOffset;
    return TimeRelation::kSourceOlder;
  }
  if (d <= p) return TimeRelation::kSame;
  if (o != 0 && -p < d - o && d - o < p) return TimeRelation::kSameByOffset;
  return TimeRelation::kSourceNewer;
}

// Candidates of one key, in target-list order, with a cursor past those already paired.
struct Candidates {
  std::vector<std::uint32_t> indexes;
  std::size_t first_free = 0;
};

template <typename Key>
using Index = std::unordered_map<Key, Candidates>;

class Matcher {
 public:
  Matcher(FileLists* lists, const MatchContext& context)
      : lists_(*lists), context_(context), taken_(lists->target.size(), false) {}

  void Run() {
    const SynchSettings& s = context_.settings;
    bool in_subfolders = s.match_in_subfolders != 0;
    std::vector<std::int64_t> partner(lists_.source.size(), -1);
    std::vector<std::pair<std::size_t, std::size_t>> order;
    if (!(in_subfolders && cp::EqualsIgnoreCase(s.source_folder, s.target_folder))) {
      PairByRelativePath(&partner, &order);
    }
    if (in_subfolders) PairAnywhere(&partner, &order);
    MovePairs(partner, order);
  }

 private:
  bool Cancelled() const { return context_.cancel && *context_.cancel; }

  void ShowPosition(std::size_t i) {
    // The bar moves every two files of the nominal 1000; between, the window is pumped often
    // enough for its Cancel button.
    if (context_.progress && (i % 64 == 0 || i < 1000)) {
      context_.progress->SetPosition(static_cast<std::int64_t>(i));
    }
  }

  template <typename Key, typename KeyOf>
  Index<Key> BuildIndex(KeyOf key_of) {
    Index<Key> index;
    index.reserve(lists_.target.size());
    for (std::size_t t = 0; t < lists_.target.size(); ++t) {
      if (!taken_[t]) index[key_of(lists_.target[t])].indexes.push_back(static_cast<std::uint32_t>(t));
    }
    return index;
  }

  void PairByRelativePath(std::vector<std::int64_t>* partner,
                          std::vector<std::pair<std::size_t, std::size_t>>* order) {
    Index<std::string> index = BuildIndex<std::string>(
        [](const FileRecord& r) { return cp::ToUpper(r.RelativePath()); });
    for (std::size_t i = 0; i < lists_.source.size() && !Cancelled(); ++i) {
      ShowPosition(i);
      auto found = index.find(cp::ToUpper(lists_.source[i].RelativePath()));
      if (found == index.end()) continue;
      Candidates& c = found->second;
      if (c.first_free >= c.indexes.size()) continue;
      Take(i, c.indexes[c.first_free++], partner, order);
    }
  }

  bool DifferentPath(std::size_t s, std::uint32_t t) const {
    return !cp::EqualsIgnoreCase(lists_.source[s].path, lists_.target[t].path);
  }

  // The first free candidate whose full path differs from the source's.
  std::int64_t FirstOther(Candidates& c, std::size_t s) {
    while (c.first_free < c.indexes.size() && taken_[c.indexes[c.first_free]]) ++c.first_free;
    for (std::size_t k = c.first_free; k < c.indexes.size(); ++k) {
      if (!taken_[c.indexes[k]] && DifferentPath(s, c.indexes[k])) return c.indexes[k];
    }
    return -1;
  }

  // Among the free candidates of the same name, the first that classifies as identical, else
  // the first one. Candidates are classified in list order, as a linear search would.
  std::int64_t ByName(Candidates& c, std::size_t s) {
    while (c.first_free < c.indexes.size() && taken_[c.indexes[c.first_free]]) ++c.first_free;
    std::int64_t first = -1;
    for (std::size_t k = c.first_free; k < c.indexes.size(); ++k) {
      std::uint32_t t = c.indexes[k];
      if (taken_[t] || !DifferentPath(s, t)) continue;
      if (first < 0) first = t;
      if (ComparePair(lists_.source[s], lists_.target[t], context_.settings,
                      context_.cancel_check)) {
        return t;
      }
    }
    return first;
  }

  void PairAnywhere(std::vector<std::int64_t>* partner,
                    std::vector<std::pair<std::size_t, std::size_t>>* order) {
    Index<std::uint32_t> by_number;
    Index<std::string> by_name;
    bool crc = context_.extra.crc32, checksum = !crc && context_.extra.checksum;
    if (crc || checksum) {
      by_number = BuildIndex<std::uint32_t>(
          [crc](const FileRecord& r) { return crc ? r.crc32 : r.checksum; });
    } else {
      by_name = BuildIndex<std::string>([](const FileRecord& r) { return cp::ToUpper(r.Name()); });
    }
    for (std::size_t i = 0; i < lists_.source.size() && !Cancelled(); ++i) {
      if ((*partner)[i] >= 0) continue;
      ShowPosition(i);
      const FileRecord& source = lists_.source[i];
      std::int64_t t = -1;
      if (crc || checksum) {
        auto found = by_number.find(crc ? source.crc32 : source.checksum);
        if (found != by_number.end()) t = FirstOther(found->second, i);
      } else {
        auto found = by_name.find(cp::ToUpper(source.Name()));
        if (found != by_name.end()) t = ByName(found->second, i);
      }
      if (t >= 0) Take(i, static_cast<std::size_t>(t), partner, order);
    }
  }

  void Take(std::size_t s, std::size_t t, std::vector<std::int64_t>* partner,
            std::vector<std::pair<std::size_t, std::size_t>>* order) {
    taken_[t] = true;
    (*partner)[s] = static_cast<std::int64_t>(t);
    order->emplace_back(s, t);
  }

  void MovePairs(const std::vector<std::int64_t>& partner,
                 const std::vector<std::pair<std::size_t, std::size_t>>& order) {
    for (const auto& [s, t] : order) {
      lists_.pairs.push_back(
          FilePair{std::move(lists_.source[s]), std::move(lists_.target[t]), false});
    }
    std::size_t kept = 0;
    for (std::size_t s = 0; s < lists_.source.size(); ++s) {
      if (partner[s] >= 0) continue;
      if (kept != s) lists_.source[kept] = std::move(lists_.source[s]);
      ++kept;
    }
    lists_.source.resize(kept);
    kept = 0;
    for (std::size_t t = 0; t < lists_.target.size(); ++t) {
      if (taken_[t]) continue;
      if (kept != t) lists_.target[kept] = std::move(lists_.target[t]);
      ++kept;
    }
    lists_.target.resize(kept);
  }

  FileLists& lists_;
  const MatchContext& context_;
  std::vector<bool> taken_;
};

// The content step of a pair: true when the contents are equal.
bool ContentsEqual(FileRecord& source, FileRecord& target, const SynchSettings& s,
                   const CancelCheck& cancel) {
  if (s.ignore_whitespace != 0) {
    return CompareTextSkippingWhiteSpace(source.path, target.path, s.ignore_case != 0, cancel);
  }
  if (source.size != target.size) return false;
  return CompareContents(source, target, s.ignore_case != 0, cancel);
}

}  // namespace

int CompareTimes(const FileRecord& source, const FileRecord& target, int offset, int precision) {
  switch (RelateTimes(source, target, offset, precision)) {
    case TimeRelation::kSourceOlder: return -1;
    case TimeRelation::kSourceNewer: return 1;
    default: return 0;
  }
}

bool ComparePair(FileRecord& source, FileRecord& target, const SynchSettings& s,
                 const CancelCheck& cancel) {
  bool compared = s.check_same_size_files != 0;
  bool equal_contents = compared && ContentsEqual(source, target, s, cancel);
  if (!equal_contents) {
    switch (RelateTimes(source, target, s.second_folder_offset, s.time_precision)) {
      case TimeRelation::kSourceOlder:
        source.compare_state = kOlder;
        return false;
      case TimeRelation::kSourceNewer:
        target.compare_state = kOlder;
        return false;
      case TimeRelation::kSameByOffset:
        source.compare_state = kIdentical;
        target.compare_state = kIdentical;
        return true;
      case TimeRelation::kSame:
        if (source.size != target.size) return false;
        break;
    }
  }
  if (s.case_sensitive != 0 && source.Name() != target.Name()) return false;
  if (compared && !equal_contents) return false;
  source.compare_state = kIdentical;
  target.compare_state = kIdentical;
  return true;
}

void MatchLists(FileLists* lists, const MatchContext& context) {
  Matcher(lists, context).Run();
  if (context.settings.show_files_in_one_folder == 0) {
    lists->source.clear();
    lists->target.clear();
  }
}

void ClassifyPairs(FileLists* lists, const MatchContext& context) {
  const SynchSettings& s = context.settings;
  std::size_t kept = 0, i = 0;
  for (; i < lists->pairs.size(); ++i) {
    if (context.cancel && *context.cancel) break;
    FilePair& pair = lists->pairs[i];
    pair.identical = ComparePair(pair.source, pair.target, s, context.cancel_check);
    bool keep = pair.identical ? s.show_identical != 0 : s.show_different != 0;
    if (!keep) continue;
    if (kept != i) lists->pairs[kept] = std::move(pair);
    ++kept;
  }
  // After a cancel, the pairs not reached stay as they are.
  for (; i < lists->pairs.size(); ++i, ++kept) {
    if (kept != i) lists->pairs[kept] = std::move(lists->pairs[i]);
  }
  lists->pairs.resize(kept);
}

}  // namespace tsl
