#include "services/folders.h"

#include <gtest/gtest.h>

#include "services/settings.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/registry.h"
#include "platform/system_folders.h"
#include "platform/fault_injection.h"
#include "platform/locale.h"
#include "tests/support/registry_support.h"

namespace tsl {
namespace {

using testing::ScopedTempDir;
using testing::WriteFile;

TEST(EnsureParentFoldersTest, CreatesWhatIsMissing) {
  ScopedTempDir dir;
  EXPECT_TRUE(EnsureParentFolders(dir / "a/b/c/file.txt"));
  EXPECT_TRUE(PathExists(dir / "a/b/c"));
  EXPECT_FALSE(PathExists(dir / "a/b/c/file.txt"));  // only the folders
  EXPECT_TRUE(EnsureParentFolders(dir / "a/b/c/other.txt"));
  EXPECT_TRUE(EnsureParentFolders("no-folder-part.txt"));
  // A file standing where a folder must go.
  WriteFile(dir / "blocker", "x");
  EXPECT_FALSE(EnsureParentFolders(dir / "blocker/sub/file.txt"));
  // An existing path succeeds at once, even a folder.
  EXPECT_TRUE(EnsureParentFolders(dir / "a"));
}

TEST(EnsureParentFoldersTest, StopsAtTheFirstFolderThatCannotBeCreated) {
  ScopedTempDir dir;
  FaultInjectingFileSystem faulty(RealFileSystem());
  ScopedFileSystem scope(faulty);
  faulty.FailAt(1, ErrorKind::kAccessDenied, /*persistent=*/true);
  EXPECT_FALSE(EnsureParentFolders(dir / "x/y/z.txt"));
  faulty.FailAt(0, ErrorKind::kNone);
  EXPECT_FALSE(PathExists(dir / "x"));
}

// Builds a tree of folders (names ending in "/") and files (the rest, holding their own name).
void MakeTree(const ScopedTempDir& dir, const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    if (entry.back() == '/') {
      ASSERT_TRUE(RealFileSystem().MakeFolder(dir / entry.substr(0, entry.size() - 1)).ok())
          << entry;
    } else {
      WriteFile(dir / entry, entry);
    }
  }
}

TEST(DeleteFolderTreeTest, DeletesEverythingBelowTheFolder) {
  ScopedTempDir dir;
  MakeTree(dir, {"t/", "t/a.txt", "t/sub/", "t/sub/b.txt", "t/sub/deeper/", "t/sub/deeper/c",
                 "keep.txt"});
  EXPECT_FALSE(DeleteFolderTree(dir / "t"));  // false: no failure
  EXPECT_FALSE(PathExists(dir / "t"));
  EXPECT_TRUE(PathExists(dir / "keep.txt"));
  EXPECT_TRUE(DeleteFolderTree(dir / "missing"));
}

TEST(DeleteFolderTreeTest, FoldersBeginningWithADotAreNotEntered) {
  ScopedTempDir dir;
  MakeTree(dir, {"t/", "t/a.txt", "t/.git/", "t/.git/config"});
  EXPECT_TRUE(DeleteFolderTree(dir / "t"));  // the folder stays, so this is a failure
  EXPECT_TRUE(PathExists(dir / "t/.git/config"));
  EXPECT_FALSE(PathExists(dir / "t/a.txt"));
}

TEST(DeleteFolderTreeTest, DeepTreesDoNotExhaustTheStack) {
  ScopedTempDir dir;
  std::string relative = "d";
  ASSERT_TRUE(RealFileSystem().MakeFolder(dir / relative).ok());
  for (int i = 0; i < 60; ++i) {
    relative += "/d";
    ASSERT_TRUE(RealFileSystem().MakeFolder(dir / relative).ok());
  }
  WriteFile(dir / (relative + "/leaf.txt"), "x");
  EXPECT_FALSE(DeleteFolderTree(dir / "d"));
  EXPECT_FALSE(PathExists(dir / "d"));
}

TEST(FormatFileTimeTest, ShortDateAndTimeWithoutTimeZoneChange) {
  CalendarTime t;
  t.year = 2002;
  t.month = 5;
  t.day = 17;
  t.hour = 14;
  t.minute = 3;
  t.second = 59;
  std::optional<FileTime> time = FromCalendar(t);
  ASSERT_TRUE(time);
  EXPECT_EQ(FormatFileTime(*time), FormatShortDate(t) + " " + FormatTime(t));
  EXPECT_NE(FormatFileTime(*time).find("2002"), std::string::npos);
  EXPECT_EQ(FormatFileTime(-5), "");
}

TEST(FileNameListTest, ReadsBackInOrder) {
  FileNameList list;
  list.Add("C:\\a.txt");
  list.Add("C:\\dir\\", "b.txt");
  list.Add(std::string(2000, 'x'));
  EXPECT_EQ(list.Find("C:\\dir\\b.txt"), 1);
  EXPECT_EQ(list.Find("c:\\a.txt"), -1);  // letter case counts
  list.ResetReading();
  EXPECT_EQ(list.ReadNext(), "C:\\a.txt");
  EXPECT_EQ(list.ReadNext(), "C:\\dir\\b.txt");
  EXPECT_EQ(list.ReadNext().size(), FileNameList::kMaxRead);
  EXPECT_EQ(list.ReadNext(), "");
  list.Clear();
  EXPECT_EQ(list.size(), 0u);
  EXPECT_EQ(list.ReadNext(), "");
}

}  // namespace
}  // namespace tsl

namespace tsl {
namespace {

// A private registry for the test: on Linux a store file of its own; on Windows a scratch key
// below HKEY_CURRENT_USER\Software, deleted afterwards (the settings value it touches is put
// back as it was).
class WorkFolderTest : public ::testing::Test {
 protected:
  void SetWorkPath(std::uint32_t type, const std::string& data) {
    ASSERT_EQ(reg::SetValue(registry_.scratch(), "Work Path", type, data), reg::kOk);
  }
  testing::ScopedRegistry registry_;
  const std::string& key_path_ = registry_.scratch_path();
  ScopedTempDir dir_;
  testing::ScopedEnvironment data_{"XDG_DATA_HOME", dir_ / "data"};  // Linux's default folder
};

TEST_F(WorkFolderTest, TakesTheNamedKeysTextValueAndCreatesTheFolder) {
  std::string work = dir_ / "work/sub";
  SetWorkPath(reg::type::kString, work + std::string(1, NativeSeparator()) + std::string(1, '\0'));
  EXPECT_EQ(WorkFolder(key_path_), work + NativeSeparator());
  EXPECT_TRUE(PathExists(work));
}

TEST_F(WorkFolderTest, OnlyPlainTextCountsElseTheSystemDefault) {
  SetWorkPath(reg::type::kExpandString, dir_ / "expandable");
  std::string folder = WorkFolder(key_path_);
  EXPECT_NE(folder, (dir_ / "expandable") + NativeSeparator());
  EXPECT_EQ(folder.back(), NativeSeparator());
  EXPECT_EQ(folder, WithClosingSeparator(DefaultWorkFolder(""), NativePathStyle()));
  EXPECT_TRUE(PathExists(folder));
}

TEST_F(WorkFolderTest, TheProgramsSettingsServeWhenNoKeyIsNamed) {
  std::string saved = ReadSettingString("Settings", "Work Path", "\x01");
  std::string work = dir_ / "from-settings";
  ASSERT_TRUE(WriteSettingString("Settings", "Work Path", work));
  EXPECT_EQ(WorkFolder(), work + NativeSeparator());
  if (saved == "\x01") {
    reg::Key settings;
    if (reg::OpenKey(reg::Key(reg::Root::kCurrentUser),
                     std::string(kSettingsKeyPath) + "\\Settings", reg::access::kAll,
                     &settings) == reg::kOk) {
      reg::DeleteValue(settings, "Work Path");
    }
  } else {
    WriteSettingString("Settings", "Work Path", saved);
  }
}

}  // namespace
}  // namespace tsl
