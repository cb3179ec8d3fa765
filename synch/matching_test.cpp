#include "synch/matching.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/code_page.h"
#include "synch/test_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::Native;

constexpr FileTime kSecond = 10000000;

FileRecord Record(const std::string& root, const std::string& relative, FileTime modified = 0,
                  std::uint64_t size = 0) {
  FileRecord r;
  r.path = Native(root) + Native(relative);
  r.root_length = Native(root).size();
  r.modified = modified;
  r.size = size;
  return r;
}

// The pairing rules as a plain linear search of the target list for every source file: the
// slow reference that the indexed matching must agree with.
void LinearMatch(FileLists* lists, const MatchContext& context) {
  const SynchSettings& s = context.settings;
  std::vector<FileRecord>& sources = lists->source;
  std::vector<FileRecord>& targets = lists->target;
  std::vector<FilePair> pairs;
  auto take = [&](std::size_t i, std::size_t t) {
    pairs.push_back(FilePair{sources[i], targets[t], false});
    sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
    targets.erase(targets.begin() + static_cast<std::ptrdiff_t>(t));
  };
  bool in_subfolders = s.match_in_subfolders != 0;
  if (!(in_subfolders && cp::EqualsIgnoreCase(s.source_folder, s.target_folder))) {
    for (std::size_t i = 0; i < sources.size();) {
      std::size_t t = 0;
      while (t < targets.size() &&
             !(targets[t].RelativePath().size() == sources[i].RelativePath().size() &&
               cp::EqualsIgnoreCase(targets[t].RelativePath(), sources[i].RelativePath()))) {
        ++t;
      }
      if (t < targets.size()) {
        take(i, t);
      } else {
        ++i;
      }
    }
  }
  if (in_subfolders) {
    for (std::size_t i = 0; i < sources.size();) {
      FileRecord& source = sources[i];
      std::int64_t chosen = -1, first = -1;
      for (std::size_t t = 0; t < targets.size() && chosen < 0; ++t) {
        FileRecord& target = targets[t];
        if (cp::EqualsIgnoreCase(target.path, source.path)) continue;
        if (context.extra.crc32) {
          if (target.crc32 == source.crc32) chosen = static_cast<std::int64_t>(t);
        } else if (context.extra.checksum) {
          if (target.checksum == source.checksum) chosen = static_cast<std::int64_t>(t);
        } else if (target.Name().size() == source.Name().size() &&
                   cp::EqualsIgnoreCase(target.Name(), source.Name())) {
          if (first < 0) first = static_cast<std::int64_t>(t);
          if (ComparePair(source, target, s, nullptr)) chosen = static_cast<std::int64_t>(t);
        }
      }
      if (chosen < 0) chosen = first;
      if (chosen >= 0) {
        take(i, static_cast<std::size_t>(chosen));
      } else {
        ++i;
      }
    }
  }
  lists->pairs = std::move(pairs);
  if (s.show_files_in_one_folder == 0) {
    sources.clear();
    targets.clear();
  }
}

std::string Describe(const FileRecord& r) { return r.path + "#" + std::to_string(r.compare_state); }

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
std::vector<FileRecord> RandomSide(std::mt19937& random, const std::string& root, int count) {
  static const char* const kFolders[] = {"", "x/", "X/", "y/z/", "Y/Z/", "q/"};
  static const char* const kNames[] = {"a.txt", "A.TXT", "b.doc", "B.doc", "c", "dd.x", "e.txt"};
  std::vector<FileRecord> side;
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
    indexed.source = RandomSide(random, s.source_folder, static_cast<int>(random() % 40));
    indexed.target = RandomSide(random, s.target_folder, static_cast<int>(random() % 40));
    FileLists linear = indexed;
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
  EXPECT_EQ(lists.pairs[0].target.path, Native("/t/A.TXT"));
  EXPECT_EQ(lists.pairs[1].target.path, Native("/t/SUB/b.TXT"));
  ASSERT_EQ(lists.source.size(), 1u);
  EXPECT_EQ(lists.source[0].path, Native("/s/c.txt"));
  ASSERT_EQ(lists.target.size(), 1u);
  EXPECT_EQ(lists.target[0].path, Native("/t/d.txt"));
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
  EXPECT_EQ(lists.pairs[0].source.path, Native("/same/a.txt"));
  EXPECT_EQ(lists.pairs[0].target.path, Native("/same/x/a.txt"));
  EXPECT_EQ(lists.pairs[1].source.path, Native("/same/x/a.txt"));
  EXPECT_EQ(lists.pairs[1].target.path, Native("/same/a.txt"));
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
  EXPECT_EQ(lists.pairs[0].target.path, Native("/t/q/A.TXT"));
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
    source_.path = dir / "s";
    target_ = Record("/", "t", target_time, testing::ReadFile(dir / target).size());
    target_.path = dir / target;
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
  EXPECT_EQ(lists.pairs[0].source.path, Native("/s/old"));
  s.show_identical = 1;
  s.show_different = 0;
  lists = lists_of();
  ClassifyPairs(&lists, MatchContext{s, {}, nullptr, nullptr, nullptr});
  ASSERT_EQ(lists.pairs.size(), 1u);
  EXPECT_EQ(lists.pairs[0].source.path, Native("/s/same"));
}

}  // namespace
}  // namespace tsl
