// Matching and classification. The pairing rules are those of a linear search of the target
// list for every source file; indexes keyed by relative path, folded name, CRC-32 and checksum
// find the same first candidate, because each index keeps its candidates in list order and a
// cursor skips the ones already paired. Names are folded as the file system folds them.
#include "synch/matching.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include <unordered_map>

#include "platform/file_names.h"
#include "platform/paths.h"

namespace tsl {
namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;

enum class TimeRelation { kSourceOlder, kSourceNewer, kSame, kSameByOffset };

TimeRelation RelateTimes(const FileRecord& source, const FileRecord& target, int offset,
                         int precision) {
  // UTC: local times of dates on either side of a change of offset are an hour off each other.
  std::int64_t d = source.modified_utc - target.modified_utc;
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

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Eight bytes at a time, each word mixed in with a multiply; the index's slot mixes again.
std::uint64_t Hash(std::string_view text) {
  std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ text.size();
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 32;
  }
  std::uint64_t rest = 0;
  if (at < text.size()) std::memcpy(&rest, text.data() + at, text.size() - at);
  hash = (hash ^ rest) * 0xC4CEB9FE1A85EC53ull;
  return hash ^ (hash >> 29);
}

// Names compare as the file system of the platform compares them.
std::string Folded(std::string_view text) { return FoldFileName(text, NativePathStyle()); }

// Target indexes grouped by a 64-bit key (a hash, or the CRC-32 or checksum itself), each group
// chained in list order. A group's head is moved past the members already paired, so walking a
// group from its head meets the free candidates in the order a linear search would.
class ChainIndex {
 public:
  explicit ChainIndex(std::size_t count) : next_(count, kNone) {
    std::size_t size = 16;
    while (size < 2 * count + 2) size *= 2;
    slots_.resize(size);
  }

  // No key was added twice: no group has more than one member.
  bool keys_unique() const { return keys_unique_; }

  // Asks for the key's first slot to be brought into the cache ahead of its probe.
  void Prefetch(std::uint64_t key) const { __builtin_prefetch(&slots_[SlotOf(key)]); }

  void Add(std::uint64_t key, std::uint32_t index) {
    Slot& slot = Probe(key);
    if (slot.tail != kNone) keys_unique_ = false;
    if (slot.head == kNone) {
      slot.key = key;
      slot.head = index;
    } else {
      next_[slot.tail] = index;
    }
    slot.tail = index;
  }

  // The first member of the key's group that is not taken and satisfies `accept`; kNone when
  // there is none.
  template <typename Accept>
  std::uint32_t FirstFree(std::uint64_t key, const std::vector<bool>& taken, Accept accept) {
    Slot& slot = Probe(key);
    while (slot.head != kNone && taken[slot.head]) slot.head = next_[slot.head];
    for (std::uint32_t t = slot.head; t != kNone; t = next_[t]) {
      if (!taken[t] && accept(t)) return t;
    }
    return kNone;
  }

 private:
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t head = kNone;  // kNone: an empty slot (or a group fully skipped)
    std::uint32_t tail = kNone;
  };

  // The key's slot, or the empty slot where it belongs (linear probing). A group whose head
  // moved past its last member keeps its tail, so the slot stays reserved for its key.
  Slot& Probe(std::uint64_t key) {
    std::size_t mask = slots_.size() - 1;
    std::size_t i = SlotOf(key);
    while (slots_[i].tail != kNone && slots_[i].key != key) i = (i + 1) & mask;
    return slots_[i];
  }

  std::size_t SlotOf(std::uint64_t key) const {
    return static_cast<std::size_t>((key ^ (key >> 29)) * 0x9E3779B97F4A7C15ull) &
           (slots_.size() - 1);
  }

  std::vector<Slot> slots_;
  std::vector<std::uint32_t> next_;
  bool keys_unique_ = true;
};

class Matcher {
 public:
  Matcher(FileLists* lists, const MatchContext& context)
      : lists_(*lists),
        context_(context),
        taken_(lists->target.size(), false),
        partner_(lists->source.size(), kNone),
        found_anywhere_(lists->source.size(), false) {}

  void Run() {
    const SynchSettings& s = context_.settings;
    bool in_subfolders = s.match_in_subfolders;
    same_folder_ = lists_.relation == FolderRelation::kSame ||
                   FileNamesEqual(s.source_folder, s.target_folder, NativePathStyle());
    if (!(in_subfolders && same_folder_)) PairByRelativePath();
    if (in_subfolders) PairAnywhere();
    MovePairs();
  }

 private:
  bool Cancelled() const { return context_.cancel && *context_.cancel; }

  void ShowPosition(std::size_t i) {
    // The bar moves every two files of the nominal 1000; past them, the window is still pumped
    // often enough for its Cancel button.
    if (context_.progress && (i % 64 == 0 || i < 1000)) {
      context_.progress->SetPosition(static_cast<std::int64_t>(i));
    }
  }

  // An index is filled with each key taken this many items ahead and its slot prefetched, so
  // that the additions to a large index do not wait for memory one by one.
  static constexpr std::size_t kAhead = 16;

  template <typename KeyOf>
  ChainIndex BuildIndex(KeyOf key_of) {
    std::size_t count = lists_.target.size();
    ChainIndex index(count);
    std::array<std::uint64_t, kAhead> keys;
    for (std::size_t t = 0; t < count + kAhead; ++t) {
      std::size_t u = t - kAhead;  // the item whose key was taken kAhead steps ago
      if (t >= kAhead && !taken_[u]) index.Add(keys[u % kAhead], static_cast<std::uint32_t>(u));
      if (t < count && !taken_[t]) {
        keys[t % kAhead] = key_of(t);
        index.Prefetch(keys[t % kAhead]);
      }
    }
    return index;
  }

  // Exact relative paths pair first; then a path that differs in letter case only pairs when it
  // is the only free one of its kind on both sides. So `a.txt` never takes the place of a
  // separate `A.TXT`, and no file is paired twice over. The pairs keep the source list's order.
  void PairByRelativePath() {
    FileRecordList& sources = lists_.source;
    FileRecordList& targets = lists_.target;
    ChainIndex exact = BuildIndex([&](std::size_t t) { return Hash(targets[t].RelativePath()); });
    // Both trees are usually listed in the same order, so the target after the one taken last
    // is tried first. When no two targets share a path, a free target of the source's path is
    // the first free one there is.
    bool in_step = exact.keys_unique();
    std::size_t next = 0;
    for (std::size_t i = 0; i < sources.size() && !Cancelled(); ++i) {
      ShowPosition(i);
      std::string_view relative = sources[i].RelativePath();
      std::uint32_t t = kNone;
      if (in_step && next < targets.size() && !taken_[next] &&
          targets[next].RelativePath() == relative) {
        t = static_cast<std::uint32_t>(next);
      } else {
        t = exact.FirstFree(Hash(relative), taken_, [&](std::uint32_t c) {
          return targets[c].RelativePath() == relative;
        });
      }
      if (t == kNone) continue;
      Take(i, t);
      next = t + 1;
    }
    if (!Cancelled()) PairIgnoringCase();
  }

  void PairIgnoringCase() {
    struct Group {
      std::uint32_t sources = 0, targets = 0;
      std::uint32_t target = kNone;
    };
    std::unordered_map<std::string, Group> groups;
    for (std::size_t t = 0; t < lists_.target.size(); ++t) {
      if (taken_[t]) continue;
      Group& group = groups[Folded(lists_.target[t].RelativePath())];
      ++group.targets;
      group.target = static_cast<std::uint32_t>(t);
    }
    if (groups.empty()) return;
    std::vector<Group*> group_of(lists_.source.size(), nullptr);
    for (std::size_t i = 0; i < lists_.source.size(); ++i) {
      if (partner_[i] != kNone) continue;
      auto found = groups.find(Folded(lists_.source[i].RelativePath()));
      if (found == groups.end()) continue;
      group_of[i] = &found->second;
      ++found->second.sources;
    }
    for (std::size_t i = 0; i < lists_.source.size(); ++i) {
      const Group* group = group_of[i];
      if (group && group->sources == 1 && group->targets == 1) {
        Take(i, group->target);
      }
    }
  }

  // With both sides one folder, a file must not be paired with itself: the relative paths tell.
  bool DifferentPath(std::size_t s, std::uint32_t t) const {
    const FileRecord& source = lists_.source[s];
    const FileRecord& target = lists_.target[t];
    PathStyle style = NativePathStyle();
    return same_folder_ ? !FileNamesEqual(source.RelativePath(), target.RelativePath(), style)
                        : !FileNamesEqual(source.Path(), target.Path(), style);
  }

  // Among the free candidates of the same name, the first that classifies as identical, else
  // the first one. Candidates are classified in list order, as a linear search would.
  std::uint32_t ByName(ChainIndex& index, const std::vector<std::string>& target_names,
                       std::size_t s) {
    std::string name = Folded(lists_.source[s].Name());
    std::uint32_t first = kNone;
    std::uint32_t identical = index.FirstFree(Hash(name), taken_, [&](std::uint32_t t) {
      if (target_names[t] != name || !DifferentPath(s, t)) return false;
      if (first == kNone) first = t;
      return ComparePair(lists_.source[s], lists_.target[t], context_.settings,
                         context_.cancel_check);
    });
    return identical != kNone ? identical : first;
  }

  // The pairs found here follow the others in the pair list.
  void PairAnywhere() {
    bool crc = context_.extra.crc32, checksum = !crc && context_.extra.checksum;
    auto number = [crc](const FileRecord& r) -> std::uint64_t {
      return crc ? r.crc32 : r.checksum;
    };
    std::vector<std::string> target_names;
    if (!crc && !checksum) {
      target_names.resize(lists_.target.size());
      for (std::size_t t = 0; t < lists_.target.size(); ++t) {
        if (!taken_[t]) target_names[t] = Folded(lists_.target[t].Name());
      }
    }
    ChainIndex index = (crc || checksum)
                           ? BuildIndex([&](std::size_t t) { return number(lists_.target[t]); })
                           : BuildIndex([&](std::size_t t) { return Hash(target_names[t]); });
    for (std::size_t i = 0; i < lists_.source.size() && !Cancelled(); ++i) {
      if (partner_[i] != kNone) continue;
      ShowPosition(i);
      std::uint32_t t = kNone;
      if (crc || checksum) {
        t = index.FirstFree(number(lists_.source[i]), taken_,
                            [&](std::uint32_t c) { return DifferentPath(i, c); });
      } else {
        t = ByName(index, target_names, i);
      }
      if (t != kNone) {
        Take(i, t);
        found_anywhere_[i] = true;
      }
    }
  }

  void Take(std::size_t s, std::size_t t) {
    taken_[t] = true;
    partner_[s] = static_cast<std::uint32_t>(t);
  }

  // Moves the pairs into the pair list: first those paired by relative path, then those paired
  // anywhere, each kind in the source list's order. Both lists are taken apart from their
  // fronts, so that their memory goes as the pairs' comes: the source list record by record,
  // the target list as far as its front records have gone into pairs or stay unpaired. The
  // records left on either side stay in their order.
  void MovePairs() {
    FilePairList anywhere;
    FileRecordList kept_sources, kept_targets;
    std::vector<bool> moved(lists_.target.size(), false);
    std::size_t target_front = 0;  // the index of the target list's first record
    auto drop_target_front = [&] {
      while (!lists_.target.empty() && (!taken_[target_front] || moved[target_front])) {
        if (!taken_[target_front]) kept_targets.push_back(std::move(lists_.target.front()));
        lists_.target.pop_front();
        ++target_front;
      }
    };
    for (std::size_t s = 0; s < partner_.size(); ++s) {
      FileRecord& source = lists_.source.front();
      std::uint32_t t = partner_[s];
      if (t == kNone) {
        kept_sources.push_back(std::move(source));
      } else {
        FilePairList& into = found_anywhere_[s] ? anywhere : lists_.pairs;
        into.push_back(
            FilePair{std::move(source), std::move(lists_.target[t - target_front]), false});
        moved[t] = true;
      }
      lists_.source.pop_front();
      drop_target_front();
    }
    lists_.source.swap(kept_sources);
    while (!anywhere.empty()) {
      lists_.pairs.push_back(std::move(anywhere.front()));
      anywhere.pop_front();
    }
    drop_target_front();  // every paired target has been moved by now: the list empties
    lists_.target.swap(kept_targets);
  }

  FileLists& lists_;
  const MatchContext& context_;
  std::vector<bool> taken_;
  std::vector<std::uint32_t> partner_;  // the target each source is paired with, or kNone
  std::vector<bool> found_anywhere_;    // paired by name, CRC-32 or checksum anywhere in the tree
  bool same_folder_ = false;
};

// The content step of a pair: true when the contents are equal.
bool ContentsEqual(FileRecord& source, FileRecord& target, const SynchSettings& s,
                   const CancelCheck& cancel) {
  if (s.ignore_whitespace) {
    return CompareTextSkippingWhiteSpace(source.Path(), target.Path(), s.ignore_case, cancel);
  }
  if (source.size != target.size) return false;
  return CompareContents(source, target, s.ignore_case, cancel);
}

// Bytes below 32 as \xHH, so that a log keeps one line per entry.
std::string WithControlsShown(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (char c : path) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 32) {
      shown += c;
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    }
  }
  return shown;
}

}  // namespace

std::string LeftAloneLine(const LeftAlone& entry) {
  switch (entry.reason) {
    case LeftAloneReason::kUnlisted:
      return SystemErrorText(entry.error.code) + ": " + entry.path;
    case LeftAloneReason::kLinkToFolder:
      return "Link to a folder, not followed: " + WithControlsShown(entry.path);
    case LeftAloneReason::kSpecialFile:
      return "Not a regular file, left alone: " + WithControlsShown(entry.path);
    case LeftAloneReason::kUnusualName:
      return "Name with control characters, skipped: " + WithControlsShown(entry.path);
  }
  return entry.path;
}

int CompareTimes(const FileRecord& source, const FileRecord& target, int offset, int precision) {
  switch (RelateTimes(source, target, offset, precision)) {
    case TimeRelation::kSourceOlder:
      return -1;
    case TimeRelation::kSourceNewer:
      return 1;
    default:
      return 0;
  }
}

bool ComparePair(FileRecord& source, FileRecord& target, const SynchSettings& s,
                 const CancelCheck& cancel) {
  bool compared = s.check_same_size_files;
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
  if (s.case_sensitive && source.Name() != target.Name()) return false;
  if (compared && !equal_contents) return false;
  source.compare_state = kIdentical;
  target.compare_state = kIdentical;
  return true;
}

void MatchLists(FileLists* lists, const MatchContext& context) {
  Matcher(lists, context).Run();
  if (!context.settings.show_files_in_one_folder) {
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
    bool keep = pair.identical ? s.show_identical : s.show_different;
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
