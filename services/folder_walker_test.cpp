#include "services/folder_walker.h"

#include <gtest/gtest.h>

#include <system_error>

#include "services/test_file_system.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::MemoryFileSystem;
using testing::Native;

// The walk as lines "<step> <path below the root>", with `/` for the separator.
std::vector<std::string> Steps(const std::string& root, WalkOptions options) {
  static const char* const kNames[] = {"folder", "done", "file",  "passed",
                                       "link",   "odd",  "special"};
  std::vector<std::string> steps;
  FolderWalker walker(root, std::move(options));
  while (walker.Next()) {
    std::string relative(walker.relative());
    for (char& c : relative) {
      if (c == NativeSeparator()) c = '/';
    }
    std::string line = std::string(kNames[static_cast<int>(walker.step())]) + " " + relative;
    if (walker.step() == WalkStep::kFolder && walker.error().failed()) line += " (unlisted)";
    if (walker.step() == WalkStep::kFolder && walker.holds_others()) line += " (others)";
    steps.push_back(line);
  }
  return steps;
}

class FolderWalkerTest : public ::testing::Test {
 protected:
  FolderWalkerTest() : scoped_(fs_) {
    fs_.AddFile(Native("/m/r/b.txt"), "b");
    fs_.AddFile(Native("/m/r/sub/c.txt"), "c");
    fs_.AddFile(Native("/m/r/sub/deep/d.bak"), "d");
    fs_.AddFile(Native("/m/r/.git/e.txt"), "e");
    fs_.AddFolder(Native("/m/r/link"), attr::kReparsePoint);
    fs_.AddFile(Native("/m/r/a.txt"), "a");
  }
  const std::string root_ = Native("/m/r");
  MemoryFileSystem fs_;
  ScopedFileSystem scoped_;
};

TEST_F(FolderWalkerTest, DepthFirstInListingOrderWithTheOneRuleForFolders) {
  EXPECT_EQ(Steps(root_, {}),
            (std::vector<std::string>{"folder ", "file b.txt", "folder sub/", "file sub/c.txt",
                                      "folder sub/deep/", "file sub/deep/d.bak", "done sub/deep/",
                                      "done sub/", "passed .git/", "link link/", "file a.txt",
                                      "done "}));
  WalkOptions flat;
  flat.subfolders = false;
  EXPECT_EQ(Steps(root_, flat),
            (std::vector<std::string>{"folder ", "file b.txt", "passed sub/", "passed .git/",
                                      "passed link/", "file a.txt", "done "}));
  // Only folders: each tells whether it held anything else.
  WalkOptions folders;
  folders.folders_only = true;
  EXPECT_EQ(Steps(root_, folders),
            (std::vector<std::string>{"folder  (others)", "folder sub/ (others)",
                                      "folder sub/deep/ (others)", "done sub/deep/", "done sub/",
                                      "passed .git/", "link link/", "done "}));
}

TEST_F(FolderWalkerTest, OddEntriesSetApartOnlyWhenAsked) {
  fs_.AddFile(Native("/m/o/line\nbreak.txt"), "x");
  fs_.AddFile(Native("/m/o/odd\x01/inside.txt"), "x");
  fs_.AddFile(Native("/m/o/.tsl-1234-0123abcd.tmp"), "half a copy");
  fs_.AddSpecial(Native("/m/o/pipe"));
  const std::string root = Native("/m/o");
  EXPECT_EQ(Steps(root, {}),
            (std::vector<std::string>{"folder ", "file line\nbreak.txt", "folder odd\x01/",
                                      "file odd\x01/inside.txt", "done odd\x01/",
                                      "file .tsl-1234-0123abcd.tmp", "file pipe", "done "}));
  WalkOptions apart;
  apart.odd_entries_apart = true;
  EXPECT_EQ(Steps(root, apart),
            (std::vector<std::string>{"folder ", "odd line\nbreak.txt", "odd odd\x01/",
                                      "special pipe", "done "}));
  // The selector decides for specials too, never for odd names.
  testing::NameMasks masks("*.txt");
  apart.selector = &masks;
  EXPECT_EQ(Steps(root, apart), (std::vector<std::string>{"folder ", "odd line\nbreak.txt",
                                                           "odd odd\x01/", "done "}));
}

TEST_F(FolderWalkerTest, UnlistedFoldersAreReportedAndCancelEndsTheWalk) {
  fs_.MakeUnreadable(Native("/m/r/sub"));
  std::vector<std::string> steps = Steps(root_, {});
  ASSERT_GE(steps.size(), 4u);
  EXPECT_EQ(steps[2], "folder sub/ (unlisted)");
  EXPECT_EQ(steps[3], "done sub/");
  EXPECT_EQ(steps.back(), "done ");
  FolderWalker missing(Native("/m/none"), {});
  ASSERT_TRUE(missing.Next());
  EXPECT_EQ(missing.error().kind, ErrorKind::kPathNotFound);

  // Once the flag is set, the walk ends at the next step.
  bool cancel = false;
  WalkOptions cancelling;
  cancelling.cancel = &cancel;
  FolderWalker walker(root_, cancelling);
  ASSERT_TRUE(walker.Next());
  ASSERT_TRUE(walker.Next());
  EXPECT_EQ(walker.path(), Native("/m/r/b.txt"));
  cancel = true;
  EXPECT_FALSE(walker.Next());
}

TEST_F(FolderWalkerTest, TheFolderToSkipIsPassedOverAndMasksSelectFiles) {
  FileIdentity deep;
  ASSERT_TRUE(fs_.GetIdentity(Native("/m/r/sub/deep"), &deep).ok());
  testing::NameMasks masks("*.*;~b.txt");
  WalkOptions options;
  options.skip_folder = deep;
  options.selector = &masks;
  EXPECT_EQ(Steps(root_, options),
            (std::vector<std::string>{"folder ", "folder sub/", "file sub/c.txt",
                                      "passed sub/deep/", "done sub/", "passed .git/",
                                      "link link/", "file a.txt", "done "}));
}

TEST_F(FolderWalkerTest, FoldersToPassOverAreNotEntered) {
  const std::vector<std::string> pass_over = {Native("/m/r/sub/deep/"), Native("/m/x/")};
  WalkOptions options;
  options.pass_over = &pass_over;
  EXPECT_EQ(Steps(root_, options),
            (std::vector<std::string>{"folder ", "file b.txt", "folder sub/", "file sub/c.txt",
                                      "passed sub/deep/", "done sub/", "passed .git/",
                                      "link link/", "file a.txt", "done "}));
}

}  // namespace
}  // namespace tsl
