#include "filereplace/backup_and_undo.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "services/settings.h"
#include "tests/support/registry_support.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using namespace std::string_literals;
using testing::Native;

bool Windows() { return NativePathStyle() == PathStyle::kWindows; }

TEST(BackupPathTest, PathFoldersThenThePathBelowItsFolder) {
  const std::vector<std::string> one = {Native("/d/a/"), "*.*"};
  const std::vector<std::string> list = {Native("/d/x ; /d/y"), "*.*"};
  const std::vector<std::string> two = {Native("/d/a/"), "*.*", Native("/d/x;/d/y"), "*.*"};
  struct Case {
    const char* root;
    const std::vector<std::string>& pairs;
    std::size_t pair;
    const char *file, *backup;
  } cases[] = {
      {"/b", one, 0, "/d/a/s/f", "/b/s/f"},    {"/b/", one, 0, "/d/a/f", "/b/f"},
      {"/b", list, 0, "/d/x/f", "/b/Path1/f"}, {"/b", list, 0, "/d/y/s/f", "/b/Path2/s/f"},
      {"/b", two, 0, "/d/a/f", "/b/Path1/f"},  {"/b", two, 1, "/d/y/f", "/b/Path2/Path2/f"},
      {"/b", one, 0, "/d/ab/f", "/b/d/ab/f"},  {"/b", list, 0, "/d/z/f", "/b/d/z/f"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BackupPathFor(Native(c.root), c.pairs, c.pair, Native(c.file)), Native(c.backup))
        << c.file;
  }
  // Letter case counts on Linux only.
  EXPECT_EQ(BackupPathFor(Native("/b"), one, 0, Native("/D/A/f")),
            Native(Windows() ? "/b/f" : "/b/D/A/f"));
  EXPECT_EQ(PathWithoutRoot("C:\\a\\b.txt", PathStyle::kWindows), "a\\b.txt");
  EXPECT_EQ(PathWithoutRoot("\\\\server\\share\\x", PathStyle::kWindows), "server\\share\\x");
}

TEST(UndoScriptTest, LinesKeepTheInterpreterFromExpandingNames) {
  EXPECT_EQ(UndoScriptLine("C:\\b\\100%.txt", "C:\\%PATH% & x", PathStyle::kWindows),
            "COPY \"C:\\b\\100%%.txt\" \"C:\\%%PATH%% & x\"\r\n");
  EXPECT_EQ(UndoScriptLine("/b/it's", "/d/$x", PathStyle::kPosix),
            "cp -p -- '/b/it'\\''s' '/d/$x'\n");
}

// Emptied by the first line of the process, whatever it held; then appended, through any object.
TEST(UndoScriptTest, EmptiedOncePerProcessThenAppended) {
  ForgetEmptiedUndoScripts();
  testing::ScopedTempDir dir;
  const PathStyle style = NativePathStyle();
  UndoScript script(dir.path() + testing::Separator());
  testing::WriteFile(script.path(), "left from another run\n");
  ASSERT_TRUE(script.AddCopy("b1", "f1").ok());
  ASSERT_TRUE(UndoScript(dir.path() + testing::Separator()).AddCopy("b2", "f2").ok());
  EXPECT_EQ(testing::ReadFile(script.path()), UndoScriptHeader(style) +
                                                  UndoScriptLine("b1", "f1", style) +
                                                  UndoScriptLine("b2", "f2", style));
  ForgetEmptiedUndoScripts();
  ASSERT_TRUE(script.AddCopy("b3", "f3").ok());
  EXPECT_EQ(testing::ReadFile(script.path()),
            UndoScriptHeader(style) + UndoScriptLine("b3", "f3", style));
}

// Backups under names that a shell or the command interpreter would take for more than a name:
// the script puts each back byte for byte and does nothing else (an injected command would
// leave a file "injected").
TEST(UndoScriptTest, RunningTheScriptPutsTheBackupsBack) {
  ForgetEmptiedUndoScripts();
  testing::ScopedTempDir dir;
  std::vector<std::string> names = {"a b", "100% sure", "%PATH%", "semi;colon & amp"};
  if (!Windows()) {
    names.insert(names.end(), {"it's", "x'; touch injected; '", "$(touch injected) $HOME",
                               "`touch injected`", "new\nline"});
  }
  testing::MakeFolders(dir / "backup");
  testing::MakeFolders(dir / "files");
  testing::FileTree expected = {{"backup", testing::kFolderMark}, {"files", testing::kFolderMark}};
  UndoScript script(dir.path() + testing::Separator());
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string original = "original " + std::to_string(i) + "\r\n\0\xff"s;
    testing::WriteFile(dir / "backup/" + names[i], original);
    testing::WriteFile(dir / "files/" + names[i], "replaced");
    ASSERT_TRUE(script.AddCopy(dir / "backup/" + names[i], dir / "files/" + names[i]).ok());
    expected["backup/" + names[i]] = expected["files/" + names[i]] = original;
  }
  expected[UndoScriptName(NativePathStyle())] = testing::ReadFile(script.path());
  ProcessOptions options;
  options.working_folder = dir.path();
  // On Linux the script runs as a program: its mode must let it.
  ProcessResult result = Windows() ? RunProcess("cmd.exe", {"/c", script.path()}, options)
                                   : RunProcess(script.path(), {}, options);
  EXPECT_EQ(result.exit_code, 0) << result.output << result.errors;
  EXPECT_EQ(testing::ReadTree(dir.path()), expected);
}

TEST(WorkFolderTest, TheSettingElseTheSystemsDefaultCreated) {
  testing::ScopedRegistry registry;  // on Windows the settings are the real ones: put back below
  testing::ScopedTempDir dir;
  const std::string unset = "\x01", saved = ReadSettingString("Settings", "Work Path", unset);
  ASSERT_TRUE(WriteSettingString("Settings", "Work Path", dir / "work/sub/"));
  EXPECT_EQ(WorkFolder(), dir / "work/sub/");
  EXPECT_TRUE(PathExists(dir / "work/sub"));
  reg::Key key;
  ASSERT_EQ(reg::OpenKey(reg::Key(reg::Root::kCurrentUser),
                         std::string(kSettingsKeyPath) + "\\Settings", reg::access::kAll, &key),
            reg::kOk);
  ASSERT_EQ(saved == unset ? reg::DeleteValue(key, "Work Path")
                           : reg::SetValue(key, "Work Path", reg::type::kString, saved + '\0'),
            reg::kOk);
  if (Windows()) return;  // the default there is the program's folder or the temporary folder

  testing::ScopedEnvironment state("XDG_STATE_HOME", dir / "state");
  EXPECT_EQ(WorkFolder(), dir / "state/tessaline/");
  EXPECT_TRUE(PathExists(dir / "state/tessaline"));
  testing::ScopedEnvironment home("HOME", dir / "home"), no_state("XDG_STATE_HOME", "");
  EXPECT_EQ(WorkFolder(), dir / "home/.local/state/tessaline/");
}

}  // namespace
}  // namespace tsl
