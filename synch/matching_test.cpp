#include "synch/matching.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "platform/file_names.h"
#include "platform/paths.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::Native;

constexpr FileTime kSecond = 10000000;

// The texts of the records the tests make, kept for the whole run.
RecordTexts& Texts() {
  static RecordTexts texts;
  return texts;
}

FileRecord Record(const std::string& root, const std::string& relative, FileTime modified = 0,
                  std::uint64_t size = 0) {
  FileRecord r;
  r.SetPath(Texts(), Native(root), Native(relative));
  r.modified = r.modified_utc = modified;
  r.size = size;
  return r;
}

std::string Fold(std::string_view text) { return FoldFileName(text, NativePathStyle()); }

// The pairing rules as a plain linear search of the target list for every source file: the
// slow reference that the indexed matching must agree with. By relative path: byte-equal paths
// first, each source taking the first free target; then paths equal ignoring case, only where
// exactly one free source and one free target share the folded path. The pairs of that step
// keep the source list's order.
void LinearMatch(FileLists* lists, const MatchContext& context) {
  const SynchSettings& s = context.settings;
  FileRecordList& sources = lists->source;
  FileRecordList& targets = lists->target;
  std::vector<int> partner(sources.size(), -1);
  std::vector<bool> taken(targets.size(), false);
  std::vector<std::pair<std::size_t, std::size_t>> order;
  bool in_subfolders = s.match_in_subfolders;
  bool same_folder =
      lists->relation == FolderRelation::kSame || Fold(s.source_folder) == Fold(s.target_folder);
  if (!(in_subfolders && same_folder)) {
    for (std::size_t i = 0; i < sources.size(); ++i) {
      for (std::size_t t = 0; t < targets.size(); ++t) {
        if (!taken[t] && targets[t].RelativePath() == sources[i].RelativePath()) {
          partner[i] = static_cast<int>(t);
          taken[t] = true;
          break;
        }
      }
    }
    std::vector<std::pair<std::size_t, std::size_t>> unique;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (partner[i] >= 0) continue;
      std::string folded = Fold(sources[i].RelativePath());
      std::size_t other_sources = 0, free_targets = 0, last = 0;
      for (std::size_t j = 0; j < sources.size(); ++j) {
        other_sources += j != i && partner[j] < 0 && Fold(sources[j].RelativePath()) == folded;
      }
      for (std::size_t t = 0; t < targets.size(); ++t) {
        if (!taken[t] && Fold(targets[t].RelativePath()) == folded) {
          ++free_targets;
          last = t;
        }
      }
      if (other_sources == 0 && free_targets == 1) unique.emplace_back(i, last);
    }
    for (const auto& [i, t] : unique) {
      partner[i] = static_cast<int>(t);
      taken[t] = true;
    }
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (partner[i] >= 0) order.emplace_back(i, static_cast<std::size_t>(partner[i]));
    }
  }
  auto different_path = [&](const FileRecord& a, const FileRecord& b) {
    return same_folder ? Fold(a.RelativePath()) != Fold(b.RelativePath())
                       : Fold(a.Path()) != Fold(b.Path());
  };
  if (in_subfolders) {
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (partner[i] >= 0) continue;
      FileRecord& source = sources[i];
      std::int64_t chosen = -1, first = -1;
      for (std::size_t t = 0; t < targets.size() && chosen < 0; ++t) {
        FileRecord& target = targets[t];
        if (taken[t] || !different_path(source, target)) continue;
        if (context.extra.crc32) {
          if (target.crc32 == source.crc32) chosen = static_cast<std::int64_t>(t);
        } else if (context.extra.checksum) {
          if (target.checksum == source.checksum) chosen = static_cast<std::int64_t>(t);
        } else if (Fold(target.Name()) == Fold(source.Name())) {
          if (first < 0) first = static_cast<std::int64_t>(t);
          if (ComparePair(source, target, s, nullptr)) chosen = static_cast<std::int64_t>(t);
        }
      }
      if (chosen < 0) chosen = first;
      if (chosen >= 0) {
        partner[i] = static_cast<int>(chosen);
        taken[static_cast<std::size_t>(chosen)] = true;
        order.emplace_back(i, static_cast<std::size_t>(chosen));
      }
    }
  }
  FileLists result;
  for (const auto& [i, t] : order) result.pairs.push_back(FilePair{sources[i], targets[t], false});
  if (s.show_files_in_one_folder) {
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (partner[i] < 0) result.source.push_back(sources[i]);
    }
    for (std::size_t t = 0; t < targets.size(); ++t) {
      if (!taken[t]) result.target.push_back(targets[t]);
    }
  }
  lists->pairs = std::move(result.pairs);
  lists->source = std::move(result.source);
  lists->target = std::move(result.target);
}

std::string Describe(const FileRecord& r) {
  return r.Path() + "#" + std::to_string(r.compare_state);
}

std::vector<std::string> Describe(const FileLists& lists) {
  std::vector<std::string> lines;
  for (const FilePair& p : lists.pairs)
    lines.push_back(Describe(p.source) + " = " + Describe(p.target));
  for (const FileRecord& r : lists.source) lines.push_back("1 " + Describe(r));
  for (const FileRecord& r : lists.target) lines.push_back("2 " + Describe(r));
  return lines;
}

// Random trees with many near-collisions: names and folders differing in letter case only,
// equal names in different folders, equal CRCs and checksums, small time and size ranges.
FileRecordList RandomSide(std::mt19937& random, const std::string& root, int count) {
  static const char* const kFolders[] = {"", "x/", "X/", "y/z/", "Y/Z/", "q/"};
  static const char* const kNames[] = {"a.txt", "A.TXT", "b.doc", "B.doc", "c", "dd.x", "e.txt"};
  FileRecordList side;
  for (int i = 0; i < count; ++i) {
    std::string relative = std::string(kFolders[random() % 6]) + kNames[random() % 7];
    FileRecord r =
        Record(root, relative, static_cast<FileTime>(random() % 4) * 3 * kSecond, random() % 3);
    r.crc32 = static_cast<std::uint32_t>(random() % 4);
    r.checksum = static_cast<std::uint32_t>(random() % 4);
    side.push_back(r);
  }
  return side;
}

TEST(MatchingTest, IndexedPairingEqualsTheLinearSearchOnRandomTrees) {
  std::mt19937 random(20240607);
  for (int round = 0; round < 3000; ++round) {
    SynchSettings s;
    s.source_folder = Native("/src/");
    s.target_folder = Native(random() % 4 == 0 ? "/SRC/" : "/dst/");
    s.match_in_subfolders = random() % 3 != 0;
    s.case_sensitive = random() % 2;
    s.second_folder_offset = random() % 3 == 0 ? 3 : 0;
    s.show_files_in_one_folder = random() % 5 != 0;
    ExtraDataSwitches extra;
    int which = random() % 4;
    extra.crc32 = which == 1;
    extra.checksum = which == 2 || (which == 1 && random() % 2);
    FileLists indexed;
    indexed.relation = random() % 6 == 0 ? FolderRelation::kSame : FolderRelation::kApart;
    indexed.source = RandomSide(random, s.source_folder, static_cast<int>(random() % 40));
    indexed.target = RandomSide(random, s.target_folder, static_cast<int>(random() % 40));
    if (round % 2 == 1) {
      // A target listed as a scan lists it: each path once, mostly in the source's order.
      std::set<std::string> seen;
      FileRecordList like;
      for (const FileRecord& r : indexed.source) {
        std::string relative(r.RelativePath());
        if (random() % 8 == 0 || !seen.insert(relative).second) continue;
        FileRecord t = Record(s.target_folder, relative,
                              static_cast<FileTime>(random() % 4) * 3 * kSecond, random() % 3);
        t.crc32 = static_cast<std::uint32_t>(random() % 4);
        t.checksum = static_cast<std::uint32_t>(random() % 4);
        like.push_back(t);
      }
      if (like.size() > 2 && random() % 3 == 0) std::swap(like.front(), like[like.size() / 2]);
      indexed.target = like;
    }
    FileLists linear;  // the records' texts stay in the tests' own store
    linear.relation = indexed.relation;
    linear.source = indexed.source;
    linear.target = indexed.target;
    MatchContext context{s, extra, nullptr, nullptr, nullptr};
    MatchLists(&indexed, context);
    LinearMatch(&linear, context);
    ASSERT_EQ(Describe(indexed), Describe(linear)) << "round " << round;
  }
}

TEST(MatchingTest, PairsByRelativePathIgnoringCaseInListOrder) {
  SynchSettings s;
  FileLists lists;
  lists.source = {Record("/s/", "a.txt"), Record("/s/", "sub/B.txt"), Record("/s/", "c.txt")};
  lists.target = {Record("/t/", "SUB/b.TXT"), Record("/t/", "A.TXT"), Record("/t/", "d.txt")};
  MatchLists(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  ASSERT_EQ(lists.pairs.size(), 2u);
  EXPECT_EQ(lists.pairs[0].target.Path(), Native("/t/A.TXT"));
  EXPECT_EQ(lists.pairs[1].target.Path(), Native("/t/SUB/b.TXT"));
  ASSERT_EQ(lists.source.size(), 1u);
  EXPECT_EQ(lists.source[0].Path(), Native("/s/c.txt"));
  ASSERT_EQ(lists.target.size(), 1u);
  EXPECT_EQ(lists.target[0].Path(), Native("/t/d.txt"));
}

// Names that differ in letter case only: the exact name pairs first, and a name ignoring case
// pairs only when it is the one free candidate on each side; the rest stay one-sided.
TEST(MatchingTest, ExactNamesFirstAndCaseOnlyWhenUnambiguous) {
  struct Case {
    std::vector<std::string> source, target;
    std::vector<std::string> pairs;  // "source=target"
    std::vector<std::string> source_only, target_only;
  } cases[] = {
      {{"a.txt"}, {"a.txt", "A.TXT"}, {"a.txt=a.txt"}, {}, {"A.TXT"}},
      {{"a.txt"}, {"A.TXT", "a.txt"}, {"a.txt=a.txt"}, {}, {"A.TXT"}},
      {{"a.txt", "A.TXT"}, {"a.txt"}, {"a.txt=a.txt"}, {"A.TXT"}, {}},
      {{"A.TXT", "a.txt"}, {"a.txt"}, {"a.txt=a.txt"}, {"A.TXT"}, {}},
      {{"a.txt"}, {"A.TXT"}, {"a.txt=A.TXT"}, {}, {}},
      {{"Sub/a.txt"}, {"sub/A.txt"}, {"Sub/a.txt=sub/A.txt"}, {}, {}},
      // Two of a kind on one side and none exact: no guess.
      {{"a.txt"}, {"A.TXT", "A.txt"}, {}, {"a.txt"}, {"A.TXT", "A.txt"}},
      {{"A.TXT", "A.txt"}, {"a.txt"}, {}, {"A.TXT", "A.txt"}, {"a.txt"}},
      // One of each left after the exact pairs: paired.
      {{"a.txt", "A.txt"}, {"a.txt", "A.TXT"}, {"a.txt=a.txt", "A.txt=A.TXT"}, {}, {}},
  };
  for (const Case& c : cases) {
    SynchSettings s;
    FileLists lists;
    for (const std::string& r : c.source) lists.source.push_back(Record("/s/", r));
    for (const std::string& r : c.target) lists.target.push_back(Record("/t/", r));
    MatchLists(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
    std::vector<std::string> pairs, source_only, target_only, expected_pairs;
    for (const FilePair& p : lists.pairs) {
      pairs.push_back(std::string(p.source.RelativePath()) + "=" +
                      std::string(p.target.RelativePath()));
    }
    for (const FileRecord& r : lists.source) source_only.emplace_back(r.RelativePath());
    for (const FileRecord& r : lists.target) target_only.emplace_back(r.RelativePath());
    auto native = [](std::vector<std::string> paths) {
      for (std::string& p : paths) p = Native(p);
      return paths;
    };
    std::string label =
        ::testing::PrintToString(c.source) + " / " + ::testing::PrintToString(c.target);
    EXPECT_EQ(pairs, native(c.pairs)) << label;
    EXPECT_EQ(source_only, native(c.source_only)) << label;
    EXPECT_EQ(target_only, native(c.target_only)) << label;
  }
}

// Letter case as the file system sees it: names outside ASCII that Windows-1252 would upper-case
// byte by byte are different names on POSIX (here Cyrillic К and Њ share their last UTF-8 byte
// with a Windows-1252 letter pair).
TEST(MatchingTest, NamesCompareAsTheFileSystemComparesThem) {
  if (NativePathStyle() == PathStyle::kWindows) GTEST_SKIP() << "UTF-8 names are POSIX names";
  SynchSettings s;
  FileLists lists;
  lists.source = {Record("/s/", "\xD0\x9A\xD0\xBE\xD1\x82.txt")};  // Кот.txt
  lists.target = {Record("/t/", "\xD0\x8A\xD0\xBE\xD1\x82.txt")};  // Њот.txt
  ASSERT_NE(cp::ToUpper(0x9A), 0x9A) << "the byte table would have folded them together";
  MatchLists(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  EXPECT_TRUE(lists.pairs.empty());
  EXPECT_EQ(lists.source.size(), 1u);
  EXPECT_EQ(lists.target.size(), 1u);
}

// One folder spelt two ways (or reached through a link): with match in subfolders, no file is
// paired with itself.
TEST(MatchingTest, OneFolderSpeltTwiceNeverPairsAFileWithItself) {
  SynchSettings s;
  s.match_in_subfolders = 1;
  s.source_folder = Native("/same/");
  s.target_folder = Native("/same/./");
  FileLists lists;
  lists.relation = FolderRelation::kSame;
  for (const char* relative : {"a.txt", "x/a.txt"}) {
    lists.source.push_back(Record("/same/", relative, 0, 1));
    lists.target.push_back(Record("/same/./", relative, 0, 1));
  }
  MatchLists(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  ASSERT_EQ(lists.pairs.size(), 2u);
  for (const FilePair& p : lists.pairs) {
    EXPECT_NE(p.source.RelativePath(), p.target.RelativePath());
  }
}

TEST(MatchingTest, MatchInSubfoldersOfOneFolderNeverPairsAFileWithItself) {
  SynchSettings s;
  s.match_in_subfolders = 1;
  s.source_folder = s.target_folder = Native("/same/");
  FileLists lists;
  for (const char* relative : {"a.txt", "x/a.txt", "b.txt"}) {
    lists.source.push_back(Record("/same/", relative, 0, 1));
    lists.target.push_back(Record("/same/", relative, 0, 1));
  }
  MatchLists(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  ASSERT_EQ(lists.pairs.size(), 2u);
  EXPECT_EQ(lists.pairs[0].source.Path(), Native("/same/a.txt"));
  EXPECT_EQ(lists.pairs[0].target.Path(), Native("/same/x/a.txt"));
  EXPECT_EQ(lists.pairs[1].source.Path(), Native("/same/x/a.txt"));
  EXPECT_EQ(lists.pairs[1].target.Path(), Native("/same/a.txt"));
  EXPECT_EQ(lists.source.size(), 1u);  // b.txt has no other
}

TEST(MatchingTest, MatchByNamePrefersAnIdenticalCandidate) {
  SynchSettings s;
  s.match_in_subfolders = 1;
  FileLists lists;
  lists.source = {Record("/s/", "a.txt", 100 * kSecond, 5)};
  lists.target = {Record("/t/", "p/a.txt", 0, 5), Record("/t/", "q/A.TXT", 101 * kSecond, 5),
                  Record("/t/", "r/a.txt", 100 * kSecond, 5)};
  MatchLists(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  ASSERT_EQ(lists.pairs.size(), 1u);
  EXPECT_EQ(lists.pairs[0].target.Path(), Native("/t/q/A.TXT"));
}

TEST(MatchingTest, ShowFilesInOneFolderOffDropsTheOneSidedFiles) {
  SynchSettings s;
  s.show_files_in_one_folder = 0;
  FileLists lists;
  lists.source = {Record("/s/", "a"), Record("/s/", "b")};
  lists.target = {Record("/t/", "a"), Record("/t/", "c")};
  MatchLists(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  EXPECT_EQ(lists.pairs.size(), 1u);
  EXPECT_TRUE(lists.source.empty());
  EXPECT_TRUE(lists.target.empty());
}

TEST(MatchingTest, CancelStopsThePairingAndKeepsTheListsWhole) {
  SynchSettings s;
  FileLists lists;
  for (int i = 0; i < 10; ++i) {
    lists.source.push_back(Record("/s/", std::to_string(i)));
    lists.target.push_back(Record("/t/", std::to_string(i)));
  }
  bool cancel = false;
  std::vector<std::string> log;
  testing::RecordingProgress progress(&log, &cancel, 3);  // the 4th update cancels
  MatchLists(&lists, MatchContext{s, {}, &progress, &cancel, nullptr});
  EXPECT_TRUE(cancel);
  EXPECT_EQ(lists.pairs.size(), 4u);
  EXPECT_EQ(lists.source.size(), 6u);
  EXPECT_EQ(lists.target.size(), 6u);
}

TEST(CompareTimesTest, PrecisionAndOffset) {
  struct Case {
    double source, target;  // seconds
    int offset, precision;
    int expected;
  } cases[] = {
      {10, 13, 0, 3, 0},
      {13, 10, 0, 3, 0},
      {10, 13.0000001, 0, 3, -1},
      {13.0000001, 10, 0, 3, 1},
      {10, 10, 0, 0, 0},
      {10, 11, 0, 0, -1},
      // An hour between the folders' clocks, either way.
      {0, 3600, 3600, 3, 0},
      {3600, 0, 3600, 3, 0},
      {0, 3602, 3600, 3, 0},
      {0, 3603, 3600, 3, -1},
      {0, 3598, 3600, 3, 0},
      {0, 3597, 3600, 3, -1},
      {0, 3597, 0, 3, -1},
      {0, 7200, 3600, 3, -1},
      {7200, 0, 3600, 3, 1},
  };
  for (const Case& c : cases) {
    FileRecord s = Record("/s/", "a", static_cast<FileTime>(c.source * kSecond + 0.5));
    FileRecord t = Record("/t/", "a", static_cast<FileTime>(c.target * kSecond + 0.5));
    EXPECT_EQ(CompareTimes(s, t, c.offset, c.precision), c.expected)
        << c.source << " vs " << c.target << " offset " << c.offset << " precision " << c.precision;
  }
}

// Times compare in UTC: a file written at 02:30 local before the clocks go back and one written
// at 02:30 local after are an hour apart, not the same; and two files 50 s apart across the
// change are 50 s apart, whatever their local times say.
TEST(CompareTimesTest, UtcTimesDecide) {
  FileRecord before = Record("/s/", "a", 1000 * kSecond);
  FileRecord after = Record("/t/", "a", 1000 * kSecond);
  after.modified_utc += 3600 * kSecond;  // same local time, an hour later
  EXPECT_EQ(CompareTimes(before, after, 0, 3), -1);
  FileRecord source = Record("/s/", "a", 5000 * kSecond);
  FileRecord target = Record("/t/", "a", 5000 * kSecond + 50 * kSecond);
  source.modified += 3600 * kSecond;  // shown an hour later: the offset before the change
  EXPECT_EQ(CompareTimes(source, target, 0, 3), -1);
  EXPECT_EQ(CompareTimes(target, source, 0, 3), 1);
}

TEST(LeftAloneLineTest, OneLinePerEntry) {
  struct Case {
    LeftAloneReason reason;
    std::string path, line;
  } cases[] = {
      {LeftAloneReason::kLinkToFolder, "/s/lnk/", "Link to a folder, not followed: /s/lnk/"},
      {LeftAloneReason::kSpecialFile, "/s/fifo", "Not a regular file, left alone: /s/fifo"},
      {LeftAloneReason::kUnusualName, "/s/a\nb\r\x01\x1f.txt",
       "Name with control characters, skipped: /s/a\\x0Ab\\x0D\\x01\\x1F.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LeftAloneLine(LeftAlone{c.path, c.reason, {}}), c.line);
  }
  LeftAlone unlisted{"/s/locked/", LeftAloneReason::kUnlisted,
                     ErrorOfKind(ErrorKind::kAccessDenied)};
  EXPECT_EQ(LeftAloneLine(unlisted), SystemErrorText(unlisted.error.code) + ": /s/locked/");
}

class ComparePairTest : public ::testing::Test {
 protected:
  bool Compare(FileTime source_time, FileTime target_time, std::uint64_t source_size,
               std::uint64_t target_size, const std::string& target_name = "a.txt") {
    source_ = Record("/s/", "a.txt", source_time, source_size);
    target_ = Record("/t/", target_name, target_time, target_size);
    return ComparePair(source_, target_, settings_, nullptr);
  }
  SynchSettings settings_;
  FileRecord source_, target_;
};

TEST_F(ComparePairTest, TimesSizesAndNames) {
  FileTime ten = 36000 * kSecond;
  EXPECT_TRUE(Compare(ten, ten + 3 * kSecond, 5, 5, "A.TXT"));
  EXPECT_EQ(source_.compare_state, kIdentical);
  EXPECT_EQ(target_.compare_state, kIdentical);
  settings_.case_sensitive = 1;
  EXPECT_FALSE(Compare(ten, ten + 3 * kSecond, 5, 5, "A.TXT"));
  EXPECT_EQ(source_.compare_state, kNotDecided);
  settings_.case_sensitive = 0;

  EXPECT_FALSE(Compare(ten, ten + 3600 * kSecond, 5, 5));
  EXPECT_EQ(source_.compare_state, kOlder);
  EXPECT_EQ(target_.compare_state, kNotDecided);
  EXPECT_FALSE(Compare(ten + 3600 * kSecond, ten, 5, 5));
  EXPECT_EQ(target_.compare_state, kOlder);
  settings_.second_folder_offset = 3600;
  EXPECT_TRUE(Compare(ten, ten + 3600 * kSecond, 5, 5));
  // Same time by the offset: identical even when the sizes differ.
  EXPECT_TRUE(Compare(ten, ten + 3600 * kSecond, 5, 6));
  settings_.second_folder_offset = 0;

  EXPECT_FALSE(Compare(ten, ten, 5, 6));
  EXPECT_EQ(source_.compare_state, kNotDecided);
  EXPECT_EQ(target_.compare_state, kNotDecided);
}

TEST_F(ComparePairTest, ContentStep) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / "s", "abcdef");
  testing::WriteFile(dir / "t", "abcdeX");
  testing::WriteFile(dir / "u", "abcdef");
  testing::WriteFile(dir / "w", "abc\r\ndef\r\n");
  settings_.check_same_size_files = 1;
  auto compare = [&](const std::string& target, FileTime target_time) {
    source_ = Record("/", "s", 0, 6);
    source_.SetPath(Texts(), "", dir / "s");
    target_ = Record("/", "t", target_time, testing::ReadFile(dir / target).size());
    target_.SetPath(Texts(), "", dir / target);
    return ComparePair(source_, target_, settings_, nullptr);
  };
  // One byte differs at the same time: different, nobody older.
  EXPECT_FALSE(compare("t", 0));
  EXPECT_EQ(source_.compare_state, kNotDecided);
  EXPECT_EQ(target_.compare_state, kNotDecided);
  // Equal contents a day apart: identical.
  EXPECT_TRUE(compare("u", 86400 * kSecond));
  // Unequal contents a day apart: the time decides who is older.
  EXPECT_FALSE(compare("t", 86400 * kSecond));
  EXPECT_EQ(source_.compare_state, kOlder);
  settings_.ignore_whitespace = 1;
  EXPECT_TRUE(compare("w", 86400 * kSecond));  // sizes differ, text without white space agrees
}

TEST(ClassifyPairsTest, DropsWhatIsNotShown) {
  SynchSettings s;
  auto lists_of = [] {
    FileLists lists;
    lists.pairs.push_back(
        FilePair{Record("/s/", "same", 0, 1), Record("/t/", "same", 0, 1), false});
    lists.pairs.push_back(
        FilePair{Record("/s/", "old", 0, 1), Record("/t/", "old", kSecond * 99, 1), false});
    return lists;
  };
  FileLists lists = lists_of();
  ClassifyPairs(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  ASSERT_EQ(lists.pairs.size(), 2u);
  EXPECT_TRUE(lists.pairs[0].identical);
  EXPECT_FALSE(lists.pairs[1].identical);
  s.show_identical = 0;
  lists = lists_of();
  ClassifyPairs(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  ASSERT_EQ(lists.pairs.size(), 1u);
  EXPECT_EQ(lists.pairs[0].source.Path(), Native("/s/old"));
  s.show_identical = 1;
  s.show_different = 0;
  lists = lists_of();
  ClassifyPairs(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  ASSERT_EQ(lists.pairs.size(), 1u);
  EXPECT_EQ(lists.pairs[0].source.Path(), Native("/s/same"));
}

}  // namespace
}  // namespace tsl
