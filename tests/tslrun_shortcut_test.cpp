// The shortcut job through TslRun: a shortcut script over a folder of links, with its results
// file, the questions a user answers and the links left on disk.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/paths.h"
#include "services/settings.h"
#include "shortcuts/shell_link.h"
#include "tests/support/registry_support.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

class TslRunShortcutTest : public ::testing::Test {
 protected:
  std::string Here(const std::string& name) { return dir_ / name; }
  void Link(const std::string& name, const std::string& target) {
    ShellLink link = ShellLink::Empty(false);
    link.SetPath(target);
    // An icon of its own, so that no icon extractor's choice comes into play.
    link.SetIconLocation(Here("icons/link.ico"), 0);
    MakeFolders(FolderPart(Here(name), NativePathStyle()));
    ASSERT_TRUE(SaveShellLink(Here(name), link).ok());
  }
  std::string Target(const std::string& name) {
    ShellLink link;
    EXPECT_EQ(LoadShellLink(Here(name), &link), LinkError::kNone);
    return link.Path();
  }
  // Runs the shortcut script `text`; gives the result file's lines, sorted (the walk's order is
  // the system's) but for the summary, which stays last.
  std::vector<std::string> Run(const std::string& text, const std::string& answers = "") {
    WriteFile(Here("links.ini"), text);
    RemoveTree(Here("out.txt"));
    ProcessResult result =
        RunTslRun("|" + Here("links.ini") + "||", dir_.path(), answers, &transcript_);
    EXPECT_TRUE(result.error.ok());
    EXPECT_EQ(result.exit_code, 0);
    std::vector<std::string> lines = SplitLines(ReadFile(Here("out.txt")));
    if (!lines.empty()) std::sort(lines.begin(), lines.end() - 1);
    return lines;
  }

  ScopedTempDir dir_;
  std::vector<std::string> transcript_;
};

TEST_F(TslRunShortcutTest, ReplaceWithPromptsThenCheck) {
  MakeFolders(Here("new"));
  WriteFile(Here("new/a.exe"), "a");
  WriteFile(Here("new/b.exe"), "b");
  Link("links/a.lnk", Here("old/a.exe"));
  Link("links/sub/b.lnk", Here("old/b.exe"));
  Link("links/c.lnk", Here("old/c.exe"));  // no c.exe in the new folder
  const std::string script = "[Default]\r\nPath=" + Here("links") +
                             "\r\nSearch_subdir=1\r\nOutput_File=" + Here("out.txt") + "\r\n";
  std::vector<std::string> lines =
      Run(script + "Show All=1\r\n[Action1]\r\nSearch_string=" + Here("OLD") +
              "\r\nReplace_string=" + Here("new") + "\r\n",
          "Skip This;Repl. All Remaining");
  EXPECT_EQ(transcript_.size(), 2u);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "No occurrences found!"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Changed target: " + Here("new/a.exe")) +
                std::count(lines.begin(), lines.end(), "Changed target: " + Here("new/b.exe")),
            1);
  EXPECT_EQ(lines.back(), "Found 3 files in 1 directories");
  int changed = (Target("links/a.lnk") == Here("new/a.exe")) +
                (Target("links/sub/b.lnk") == Here("new/b.exe"));
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(Target("links/c.lnk"), Here("old/c.exe"));

  lines = Run(script + "[Action1]\r\nIgnore Drives=C.EXE\r\n");  // a check
  EXPECT_TRUE(transcript_.empty());
  EXPECT_EQ(lines.size(), 5u);  // one link not found: its file line, an empty line and the target
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.starts_with("Target not found: "); }),
            1);
  EXPECT_EQ(lines.back(), "Found 3 files in 1 directories");

  // An empty mask selects no file.
  lines = Run(script + "[Action1]\r\nMask=\r\n");
  EXPECT_EQ(lines,
            std::vector<std::string>{"Found 0 files in 1 directories - All shortcuts are valid"});
}

TEST_F(TslRunShortcutTest, TrackingRunsChangeOneBitOfNetworkLinks) {
  Link("links/net.lnk", "\\\\server\\share\\a.exe");
  Link("links/local.lnk", Here("a.exe"));
  WriteFile(Here("links/web.url"), "[InternetShortcut]\r\nURL=file://\\\\server\\x\r\n");
  const FileTree before = ReadTree(Here("links"));
  const std::string script = "[Default]\r\nPath=" + Here("links") +
                             "\r\nOutput_File=" + Here("out.txt") +
                             "\r\n[Action1]\r\nMake Non Tracking=1\r\n";
  std::vector<std::string> lines = Run(script);
  FileTree after = ReadTree(Here("links"));
  std::string net = before.at("net.lnk");
  net[kTrackingByteOffset] = static_cast<char>(net[kTrackingByteOffset] | 1);
  EXPECT_EQ(after.at("net.lnk"), net);
  EXPECT_EQ(after.at("local.lnk"), before.at("local.lnk"));
  EXPECT_EQ(after.at("web.url"), before.at("web.url"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Shortcut was made non-tracking"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Failed to load shortcut."), 1);

  Run(script + "Make tracking=1\r\n");  // both switches: tracking
  EXPECT_EQ(ReadTree(Here("links")), before);
}

TEST_F(TslRunShortcutTest, DriveMapFindsWindowsTargetsOnLinux) {
  if (NativePathStyle() == PathStyle::kWindows) GTEST_SKIP() << "Windows paths are tested as such";
  ScopedRegistry registry;
  ASSERT_TRUE(WriteSettingString("Settings", "Drive Map", "Q:=" + Here("q")));
  MakeFolders(Here("q/App"));
  WriteFile(Here("q/App/run.exe"), "x");
  Link("links/there.lnk", "q:\\App\\run.exe");
  Link("links/unmapped.lnk", "R:\\App\\run.exe");
  std::vector<std::string> lines =
      Run("[Action1]\r\nPath=" + Here("links") + "\r\nOutput_File=" + Here("out.txt") + "\r\n");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Target not found: R:\\App\\run.exe"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Target not found: q:\\App\\run.exe"), 0);
}

}  // namespace
}  // namespace tsl::testing
