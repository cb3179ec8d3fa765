#include "synch/folder_scan.h"

#include <gtest/gtest.h>

#include "platform/checksums.h"
#include "platform/clock.h"
#include "resources/string_table.h"
#include "services/test_file_system.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::MemoryFileSystem;
using testing::NameMasks;
using testing::Native;

std::vector<std::string> RelativePaths(const FileRecordList& list) {
  std::vector<std::string> paths;
  for (const FileRecord& r : list) paths.emplace_back(r.RelativePath());
  return paths;
}

class FolderScanTest : public ::testing::Test {
 protected:
  FolderScanTest() : scoped_(fs_) {}

  std::vector<std::string> Scan(const std::string& mask, JobProgress* progress = nullptr,
                                const bool* cancel = nullptr) {
    NameMasks masks(mask);
    ScanContext context{settings_, extra_, masks, progress, cancel};
    EXPECT_TRUE(ScanSide(Native("/m/src/"), context, &texts_, &list_));
    return RelativePaths(list_);
  }

  MemoryFileSystem fs_;
  ScopedFileSystem scoped_;
  SynchSettings settings_;
  ExtraDataSwitches extra_;
  RecordTexts texts_;
  FileRecordList list_;
};

TEST_F(FolderScanTest, WalksDepthFirstInListingOrderWithMasks) {
  fs_.AddFolder(Native("/m/src"));
  fs_.AddFile(Native("/m/src/b.txt"), "b");
  fs_.AddFile(Native("/m/src/sub/c.txt"), "c");
  fs_.AddFile(Native("/m/src/sub/deeper/d.bak"), "d");
  fs_.AddFile(Native("/m/src/a.txt"), "a");
  fs_.AddFile(Native("/m/src/.cache/e.txt"), "e");
  fs_.AddFile(Native("/m/src/README"), "r");
  EXPECT_EQ(Scan("*.*"), (std::vector<std::string>{"b.txt", Native("sub/c.txt"),
                                                   Native("sub/deeper/d.bak"), "a.txt", "README"}));
  EXPECT_EQ(Scan("*.*;~*.bak"),
            (std::vector<std::string>{"b.txt", Native("sub/c.txt"), "a.txt", "README"}));
  EXPECT_TRUE(Scan("~*.bak").empty());
  settings_.search_subfolders = 0;
  EXPECT_EQ(Scan("*.txt"), (std::vector<std::string>{"b.txt", "a.txt"}));
  EXPECT_EQ(list_[0].Path(), Native("/m/src/b.txt"));
  EXPECT_EQ(list_[0].Root(), Native("/m/src/"));
}

TEST_F(FolderScanTest, LinksToFoldersAndUnreadableFoldersAddNothing) {
  fs_.AddFile(Native("/m/src/a.txt"), "a");
  fs_.AddFile(Native("/m/src/link/x.txt"), "x");
  fs_.AddFile(Native("/m/src/locked/y.txt"), "y");
  fs_.AddFolder(Native("/m/src/loop"), attr::kReparsePoint);
  fs_.AddFile(Native("/m/src/loop/z.txt"), "z");
  fs_.MakeUnreadable(Native("/m/src/locked"));
  EXPECT_EQ(Scan("*.*"), (std::vector<std::string>{"a.txt", Native("link/x.txt")}));

  // The locked folder is noted with its error, the link to a folder as such; a missing root is
  // empty, not unlisted.
  NameMasks masks("*.*");
  std::vector<LeftAlone> unlisted;
  ScanContext context{settings_, extra_, masks, nullptr, nullptr};
  context.left_alone = &unlisted;
  EXPECT_TRUE(ScanSide(Native("/m/src/"), context, &texts_, &list_));
  ASSERT_EQ(unlisted.size(), 2u);
  EXPECT_EQ(unlisted[0].path, Native("/m/src/locked/"));
  EXPECT_EQ(unlisted[0].reason, LeftAloneReason::kUnlisted);
  EXPECT_EQ(unlisted[0].error.kind, ErrorKind::kAccessDenied);
  EXPECT_EQ(unlisted[1].path, Native("/m/src/loop/"));
  EXPECT_EQ(unlisted[1].reason, LeftAloneReason::kLinkToFolder);
  unlisted.clear();
  EXPECT_TRUE(ScanSide(Native("/m/none/"), context, &texts_, &list_));
  EXPECT_TRUE(list_.empty());
  EXPECT_TRUE(unlisted.empty());
  EXPECT_FALSE(ScanSide("", context, &texts_, &list_));
}

// What never becomes a record: pipes and devices (never opened, even when their contents are
// asked for), names with control characters, the copies' own temporaries (silently); a link to
// a file is scanned as that file, marked.
TEST_F(FolderScanTest, EntriesLeftAloneAndLinksToFiles) {
  fs_.AddFile(Native("/m/src/a.txt"), "a");
  fs_.AddSpecial(Native("/m/src/fifo"));
  fs_.AddSpecial(Native("/m/src/fifo.skip"));  // not selected by the mask: not even noted
  fs_.AddFile(Native("/m/src/line\nfeed.txt"), "lf");
  fs_.AddFile(Native("/m/src/bell\x07.txt"), "bel");
  fs_.AddFile(Native("/m/src/sub\r/in.txt"), "cr");
  fs_.AddFile(Native("/m/src/.tsl-1234-0123abcd.tmp"), "partial copy");
  fs_.AddFile(Native("/m/src/.tsl-0123abcd.tmp"), "partial copy");
  fs_.AddFile(Native("/m/src/tab\tname.txt"), "tab is fine");
  fs_.AddFileLink(Native("/m/src/link.txt"), "linked");
  extra_.crc32 = extra_.checksum = true;
  NameMasks masks("*.*;~*.skip");
  std::vector<LeftAlone> left;
  ScanContext context{settings_, extra_, masks, nullptr, nullptr};
  context.left_alone = &left;
  EXPECT_TRUE(ScanSide(Native("/m/src/"), context, &texts_, &list_));
  EXPECT_EQ(RelativePaths(list_), (std::vector<std::string>{"a.txt", "tab\tname.txt", "link.txt"}));
  EXPECT_FALSE(list_[0].link);
  EXPECT_TRUE(list_[2].link);
  EXPECT_EQ(list_[2].crc32, Crc32Update(0, "linked", 6));
  std::vector<std::pair<std::string, LeftAloneReason>> noted;
  for (const LeftAlone& entry : left) noted.emplace_back(entry.path, entry.reason);
  EXPECT_EQ(noted, (std::vector<std::pair<std::string, LeftAloneReason>>{
                       {Native("/m/src/fifo"), LeftAloneReason::kSpecialFile},
                       {Native("/m/src/line\nfeed.txt"), LeftAloneReason::kUnusualName},
                       {Native("/m/src/bell\x07.txt"), LeftAloneReason::kUnusualName},
                       {Native("/m/src/sub\r/"), LeftAloneReason::kUnusualName}}));
  for (const std::string& path : fs_.opened()) {
    EXPECT_EQ(path.find("fifo"), std::string::npos) << "opened " << path;
  }
}

// A record keeps both its local time (for reports) and its UTC time (for comparisons).
TEST_F(FolderScanTest, RecordsKeepTheUtcModifiedTime) {
  FileTime utc = 133430000000000000LL;  // 2023
  fs_.AddFile(Native("/m/src/a.txt"), "a", utc);
  ASSERT_EQ(Scan("*.*").size(), 1u);
  EXPECT_EQ(list_[0].modified_utc, utc);
  EXPECT_EQ(list_[0].modified, UtcToLocal(utc));
}

// How two folders lie is judged by what they are, not how they are spelt; the outer scan never
// enters the inner folder.
TEST_F(FolderScanTest, NestedAndAliasedFolders) {
  fs_.AddFile(Native("/m/x/a.txt"), "a");
  fs_.AddFile(Native("/m/x/sub/b.txt"), "b");
  fs_.AddFile(Native("/m/y/c.txt"), "c");
  fs_.AddFolder(Native("/m/link"), attr::kReparsePoint);
  fs_.AddAlias(Native("/m/link"), Native("/m/x"));
  struct Case {
    std::string source, target;
    FolderRelation relation;
  } cases[] = {
      {"/m/x/", "/m/y/", FolderRelation::kApart},
      {"/m/x/", "/m/x/./", FolderRelation::kSame},
      {"/m/x/", "/m//x/", FolderRelation::kSame},
      {"/m/x/", "/m/x/../x/", FolderRelation::kSame},
      {"/m/x/", "/m/link/", FolderRelation::kSame},
      {"/m/x/", "/m/x/sub/", FolderRelation::kTargetInsideSource},
      {"/m/link/sub/", "/m/x/", FolderRelation::kSourceInsideTarget},
      {"/m/x/", "/m/none/", FolderRelation::kApart},
  };
  for (const Case& c : cases) {
    std::optional<FileIdentity> inner;
    EXPECT_EQ(RelateFolders(Native(c.source), Native(c.target), &inner), c.relation)
        << c.source << " " << c.target;
    EXPECT_EQ(inner.has_value(), c.relation == FolderRelation::kTargetInsideSource ||
                                     c.relation == FolderRelation::kSourceInsideTarget);
  }
  std::optional<FileIdentity> inner;
  ASSERT_EQ(RelateFolders(Native("/m/x/"), Native("/m/x/sub/"), &inner),
            FolderRelation::kTargetInsideSource);
  NameMasks masks("*.*");
  ScanContext context{settings_, extra_, masks, nullptr, nullptr};
  context.skip_folder = inner;
  EXPECT_TRUE(ScanSide(Native("/m/x/"), context, &texts_, &list_));
  EXPECT_EQ(RelativePaths(list_), std::vector<std::string>{"a.txt"});
}

// Deeper than any path Linux allows (4096 characters), with 5000 levels.
TEST_F(FolderScanTest, DeepTreesNeedNoDeepStack) {
  std::string folder = Native("/m/src");
  for (int depth = 0; depth < 5000; ++depth) folder += Native("/d");
  fs_.AddFile(folder + Native("/deep.txt"), "x");
  std::vector<std::string> found = Scan("*.*");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(list_[0].Path(), folder + Native("/deep.txt"));
}

TEST_F(FolderScanTest, ProgressTextEveryTenthFileAndCancel) {
  for (int i = 0; i < 25; ++i) fs_.AddFile(Native("/m/src/f" + std::to_string(i)), "");
  fs_.AddFile(Native("/m/src/sub/g"), "");
  std::vector<std::string> log;
  bool cancel = false;
  testing::RecordingProgress progress(&log, &cancel, -1);
  settings_.search_subfolders = 0;
  EXPECT_EQ(Scan("*.*", &progress).size(), 25u);
  EXPECT_EQ(log, (std::vector<std::string>{"text Found 10 files in 1 directory",
                                           "text Found 20 files in 1 directory"}));
  log.clear();
  settings_.search_subfolders = 1;
  for (int i = 0; i < 5; ++i) fs_.AddFile(Native("/m/src/z" + std::to_string(i)), "");
  Scan("*.*", &progress);
  EXPECT_EQ(log, (std::vector<std::string>{"text Found 10 files in 1 directory",
                                           "text Found 20 files in 1 directory",
                                           "text Found 30 files in 2 directories"}));
  // A cancel pressed while the text of the 10th file is shown ends the scan there.
  log.clear();
  testing::RecordingProgress cancelling(&log, &cancel, 0);
  EXPECT_EQ(Scan("*.*", &cancelling, &cancel).size(), 10u);
  EXPECT_TRUE(cancel);
}

TEST_F(FolderScanTest, RecordsCarryLocalTimesAndTheLowAttributeByte) {
  FileTime utc = 132000000000000000LL;  // 2019
  fs_.AddFile(Native("/m/src/a.txt"), "12345", utc, attr::kArchive | attr::kReadOnly | 0x400);
  ASSERT_EQ(Scan("*.*").size(), 1u);
  EXPECT_EQ(list_[0].modified, UtcToLocal(utc));
  EXPECT_EQ(list_[0].size, 5u);
  EXPECT_EQ(list_[0].attributes, attr::kArchive | attr::kReadOnly);
  extra_.crc32 = true;
  Scan("*.*");
  EXPECT_EQ(list_[0].crc32, Crc32Update(0, "12345", 5));
  EXPECT_EQ(list_[0].checksum, 0u);  // not asked for
}

// A scan on a helper thread makes the records a scan on the calling thread makes, and shows its
// count once it ends; a stop ends the scan at the next entry.
TEST_F(FolderScanTest, ScanOnAHelperThreadIsTheSameScan) {
  for (int i = 0; i < 25; ++i) fs_.AddFile(Native("/m/src/f" + std::to_string(i)), "");
  fs_.AddFile(Native("/m/src/sub/g"), "");
  fs_.AddFile(Native("/m/src/.hidden/h"), "");
  std::vector<std::string> plain = Scan("*.*");
  ASSERT_EQ(plain.size(), 26u);
  NameMasks masks("*.*");
  ScanContext context{settings_, extra_, masks, nullptr, nullptr};
  std::vector<std::string> log;
  bool cancel = false;
  testing::RecordingProgress progress(&log, &cancel, -1);
  RecordTexts texts;
  FileRecordList list;
  SideScan helper(Native("/m/src/"), context, &texts, &list, true);
  EXPECT_TRUE(helper.Finish(&progress, &cancel));
  EXPECT_EQ(RelativePaths(list), plain);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "text Found 26 files in 2 directories");

  ScanShared shared;
  context.shared = &shared;
  ASSERT_TRUE(ScanSide(Native("/m/src/"), context, &texts, &list));
  EXPECT_EQ(shared.files, 26u);
  EXPECT_EQ(shared.folders, 2);
  shared.stop = true;
  ASSERT_TRUE(ScanSide(Native("/m/src/"), context, &texts, &list));
  EXPECT_TRUE(list.empty());
}

TEST(FilterTest, DateSizeAndAttributeRules) {
  struct Case {
    std::int64_t min_size, max_size;
    int reverse;
    std::uint64_t size;
    bool kept;
  } sizes[] = {
      {100, 0, 0, 100, true},    {100, 0, 0, 99, false},   {0, 200, 0, 200, true},
      {0, 200, 0, 201, false},   {100, 200, 1, 100, true}, {100, 200, 1, 200, true},
      {100, 200, 1, 150, false}, {100, 200, 1, 99, true},  {100, 200, 1, 201, true},
      {100, 0, 1, 150, false},   {100, 0, 1, 50, true},    {0, 200, 1, 150, false},
      {0, 200, 1, 250, true},    {0, 0, 1, 5, true},
  };
  for (const Case& c : sizes) {
    SynchSettings s;
    s.min_size = c.min_size;
    s.max_size = c.max_size;
    s.reverse_filters = c.reverse;
    EXPECT_EQ(PassesFilters(0, c.size, attr::kArchive, s), c.kept)
        << c.min_size << ".." << c.max_size << " reverse " << c.reverse << " size " << c.size;
  }
  SynchSettings dates;
  dates.min_date = 1000;
  dates.max_date = 2000;
  EXPECT_TRUE(PassesFilters(1000, 0, 0, dates));
  EXPECT_TRUE(PassesFilters(2000, 0, 0, dates));
  EXPECT_FALSE(PassesFilters(999, 0, 0, dates));
  EXPECT_FALSE(PassesFilters(2001, 0, 0, dates));
  dates.reverse_filters = 1;
  EXPECT_FALSE(PassesFilters(1500, 0, 0, dates));
  EXPECT_TRUE(PassesFilters(2500, 0, 0, dates));

  struct AttributeCase {
    int skip, ignored, reverse;
    std::uint32_t attributes;
    bool kept;
  } attributes[] = {
      // Skip read-only files, everything else ignored.
      {1, 54, 0, attr::kReadOnly | attr::kArchive, false},
      {1, 54, 0, attr::kArchive, true},
      // Reverse 1 keeps exactly them.
      {1, 54, 1, attr::kReadOnly | attr::kArchive, true},
      {1, 54, 1, attr::kArchive, false},
      // Reverse 2: rejected when any skip bit is set; 3: when none is.
      {3, 0, 2, attr::kHidden, false},
      {3, 0, 2, attr::kArchive, true},
      {3, 0, 3, attr::kHidden, true},
      {3, 0, 3, attr::kArchive, false},
      // Ignored attributes 55 switch the filter off; with 0 the whole pattern counts.
      {0, 55, 0, 0, true},
      {0, 0, 0, 0, false},
      {32, 0, 0, attr::kArchive, false},
      {32, 0, 0, attr::kArchive | attr::kHidden, true},
  };
  for (const AttributeCase& c : attributes) {
    SynchSettings s;
    s.skip_attributes = c.skip;
    s.ignored_attributes = c.ignored;
    s.reverse_filters = c.reverse;
    EXPECT_EQ(PassesFilters(0, 0, c.attributes, s), c.kept)
        << "skip " << c.skip << " ignored " << c.ignored << " reverse " << c.reverse
        << " attributes " << c.attributes;
  }
}

TEST(SortTest, KeysAndDirections) {
  RecordTexts texts;
  auto record = [&texts](const std::string& relative, FileTime modified, std::uint64_t size) {
    FileRecord r;
    r.SetPath(texts, Native("/r/"), Native(relative));
    r.modified = modified;
    r.size = size;
    r.checksum = static_cast<std::uint32_t>(size * 7 % 5);
    return r;
  };
  FileRecordList list = {
      record("sub/b.TXT", 3, 30),
      record("A.doc", 1, 20),
      record("sub/x/c", 2, 10),
      record("d.txt", 4, 40),
  };
  struct Case {
    int key;
    bool ascending;
    std::vector<std::string> order;
  } cases[] = {
      {0, true, {"A.doc", "sub/b.TXT", "sub/x/c", "d.txt"}},
      {0, false, {"d.txt", "sub/x/c", "sub/b.TXT", "A.doc"}},
      {1, true, {"sub/x/c", "A.doc", "sub/b.TXT", "d.txt"}},
      {2, true, {"A.doc", "sub/x/c", "sub/b.TXT", "d.txt"}},
      {3, false, {"d.txt", "sub/b.TXT", "A.doc", "sub/x/c"}},
      {4, true, {"A.doc", "d.txt", "sub/b.TXT", "sub/x/c"}},
      {4, false, {"sub/x/c", "sub/b.TXT", "d.txt", "A.doc"}},
      {-1, true, {"sub/b.TXT", "A.doc", "sub/x/c", "d.txt"}},
  };
  for (const Case& c : cases) {
    FileRecordList sorted = list;
    SortList(&sorted, c.key, c.ascending);
    std::vector<std::string> expected;
    for (const std::string& p : c.order) expected.push_back(Native(p));
    EXPECT_EQ(RelativePaths(sorted), expected) << "key " << c.key << " ascending " << c.ascending;
  }
}

}  // namespace
}  // namespace tsl
