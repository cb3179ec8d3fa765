// Links written by the codec, read by the system's shell link object, and the other way round.
// Only Windows has one (the tests run under Wine); elsewhere the tests are skipped.
#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/process_services.h"
#include "platform/system_shell_link.h"
#include "shortcuts/shell_link.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

SystemLinkFields Sample(const std::string& path) {
  SystemLinkFields f;
  f.path = path;
  f.working_folder = "C:\\Work \xE9t\xE9";
  f.description = "A sample link";
  f.arguments = "/q \"a b\"";
  f.icon_file = "C:\\Icons\\set.dll";
  f.icon_index = 4;
  f.hot_key = 0x0641;
  f.show_command = 7;
  return f;
}

TEST(SystemLinkPeerTest, ReadsTheLinksTheCodecWrites) {
  ProcessServices services;
  testing::ScopedTempDir dir;
  for (bool unicode : {false, true}) {
    SCOPED_TRACE(unicode);
    const SystemLinkFields want = Sample("C:\\Program Files\\App\\app.exe");
    ShellLink link = ShellLink::Empty(unicode);
    link.SetPath(want.path);
    link.SetWorkingFolder(want.working_folder);
    link.SetDescription(want.description);
    link.SetArguments(want.arguments);
    link.SetIconLocation(want.icon_file, want.icon_index);
    link.SetHotKey(want.hot_key);
    const std::string path = dir / (unicode ? "unicode.lnk" : "ansi.lnk");
    ASSERT_TRUE(SaveShellLink(path, link).ok());

    SystemLinkFields got;
    const SystemLinkStatus status = ReadSystemLink(path, &got);
    if (status == SystemLinkStatus::kUnavailable) GTEST_SKIP() << "no shell link object here";
    ASSERT_EQ(status, SystemLinkStatus::kOk);
    EXPECT_EQ(got.path, want.path);
    EXPECT_EQ(got.working_folder, want.working_folder);
    EXPECT_EQ(got.description, want.description);
    EXPECT_EQ(got.arguments, want.arguments);
    EXPECT_EQ(got.icon_file, want.icon_file);
    EXPECT_EQ(got.icon_index, want.icon_index);
    EXPECT_EQ(got.hot_key, want.hot_key);
  }
}

TEST(SystemLinkPeerTest, CodecReadsTheLinksTheSystemWrites) {
  ProcessServices services;
  testing::ScopedTempDir dir;
  for (const char* target : {"C:\\windows\\notepad.exe", "C:\\Missing\\tool.exe"}) {
    SCOPED_TRACE(target);
    const SystemLinkFields want = Sample(target);
    const std::string path = dir / "system.lnk";
    const SystemLinkStatus status = WriteSystemLink(path, want);
    if (status == SystemLinkStatus::kUnavailable) GTEST_SKIP() << "no shell link object here";
    ASSERT_EQ(status, SystemLinkStatus::kOk);

    ShellLink link;
    ASSERT_EQ(LoadShellLink(path, &link), LinkError::kNone);
    EXPECT_EQ(cp::ToUpper(link.Path()), cp::ToUpper(want.path));
    EXPECT_EQ(link.WorkingFolder(), want.working_folder);
    EXPECT_EQ(link.Description(), want.description);
    EXPECT_EQ(link.Arguments(), want.arguments);
    EXPECT_EQ(link.IconFile(), want.icon_file);
    EXPECT_EQ(link.IconIndex(), want.icon_index);
    EXPECT_EQ(link.HotKey(), want.hot_key);
    EXPECT_EQ(link.ShowCommand(), want.show_command);
  }
}

TEST(SystemLinkPeerTest, RefusesWhatTheCodecRefuses) {
  ProcessServices services;
  testing::ScopedTempDir dir;
  SystemLinkFields got;
  if (ReadSystemLink(dir / "none.lnk", &got) == SystemLinkStatus::kUnavailable) {
    GTEST_SKIP() << "no shell link object here";
  }
  EXPECT_EQ(ReadSystemLink(dir / "none.lnk", &got), SystemLinkStatus::kNotFound);
  testing::WriteFile(dir / "site.url", "[InternetShortcut]\r\nURL=http://x/\r\n");
  EXPECT_EQ(ReadSystemLink(dir / "site.url", &got), SystemLinkStatus::kGeneralFailure);
}

}  // namespace
}  // namespace tsl
