// The Windows file service with links in the tree. Under Wine the links are unix symbolic links,
// made by /bin/ln (Wine starts unix programs; its CreateSymbolicLink makes nothing). What Wine 8
// shows of them: a link to a folder is a folder with FILE_ATTRIBUTE_REPARSE_POINT; a link to a
// file looks exactly like the file (no reparse point, the target's attributes, size and file
// index, whatever flags CreateFile gets), and SetFileAttributes through it changes the target; a
// broken link is not listed at all. Elsewhere these tests are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::SortedListing;

using testing::ScopedTempDir;
using testing::WriteFile;

// The unix path of a Windows path, under Wine; empty elsewhere.
std::string UnixPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(const WCHAR*);
  // Through void*: a FARPROC cast straight to another function type is refused as a warning.
  auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!to_unix) return {};
  std::wstring wide(path.begin(), path.end());  // the test's paths are ASCII
  char* unix_path = to_unix(wide.c_str());
  if (!unix_path) return {};
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

// Makes `link` a unix symbolic link to `target` with /bin/ln; false when that cannot be done.
bool MakeUnixLink(const std::string& target, const std::string& link) {
  std::string unix_target = UnixPath(target), unix_link = UnixPath(link);
  if (unix_target.empty() || unix_link.empty()) return false;
  std::string command = "/bin/ln -s \"" + unix_target + "\" \"" + unix_link + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA("/bin/ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  // Wine does not pass a unix program's exit code on: the link is looked at instead.
  for (int i = 0; i < 100 && GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
    Sleep(10);
  }
  return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(Win32FileSystemTest, UnixLinksUnderWine) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  ASSERT_TRUE(fs.MakeFolder(dir / "sub").ok());
  WriteFile(dir / "sub/inner.txt", "inner");
  WriteFile(dir / "file.txt", "12345");
  if (!MakeUnixLink(dir / "sub", dir / "to-sub")) GTEST_SKIP() << "no unix links here";
  ASSERT_TRUE(MakeUnixLink(dir / "file.txt", dir / "to-file"));
  // A broken link: made to a file that is then removed.
  WriteFile(dir / "doomed", "x");
  ASSERT_TRUE(MakeUnixLink(dir / "doomed", dir / "broken"));
  ASSERT_TRUE(fs.RemoveFile(dir / "doomed").ok());

  std::vector<DirEntry> entries = SortedListing(dir.path());
  ASSERT_EQ(entries.size(), 4u);  // the broken link is not listed
  EXPECT_EQ(entries[0].name, "file.txt");
  EXPECT_FALSE(entries[0].link);
  EXPECT_EQ(entries[1].name, "sub");
  EXPECT_FALSE(entries[1].link);
  EXPECT_EQ(entries[2].name, "to-file");
  EXPECT_EQ(entries[2].size, 5u);
  EXPECT_EQ(entries[3].name, "to-sub");
  EXPECT_TRUE(entries[3].link);
  EXPECT_EQ(entries[3].attributes & (attr::kDirectory | attr::kReparsePoint),
            attr::kDirectory | attr::kReparsePoint);

  DirEntry entry;
  ASSERT_TRUE(fs.GetEntry(dir / "to-sub", &entry).ok());
  EXPECT_TRUE(entry.link && entry.is_folder());
  EXPECT_EQ(fs.GetEntry(dir / "broken", &entry).kind, ErrorKind::kNotFound);

  // Attributes set on the link to a folder do not reach the folder.
  ASSERT_TRUE(fs.SetAttributes(dir / "to-sub", attr::kHidden).ok());
  std::uint32_t attributes = 0;
  ASSERT_TRUE(fs.GetAttributes(dir / "sub", &attributes).ok());
  EXPECT_FALSE(attributes & attr::kHidden);
  ASSERT_TRUE(fs.GetAttributes(dir / "to-sub", &attributes).ok());
  EXPECT_TRUE(attributes & attr::kReparsePoint);
}

// The temporary file of a copy is named with the writing process's id, and no copy leaves one.
TEST(Win32FileSystemTest, CopyTemporariesCarryTheProcessId) {
  ScopedTempDir dir;
  WriteFile(dir / "src.txt", "data");
  std::string seen;
  ASSERT_TRUE(RealFileSystem()
                  .CopyFileKeepingTimes(dir / "src.txt", dir / "dst.txt", CopyMode::kReplace,
                                        [&](CopyStep step) {
                                          if (step == CopyStep::kPlace) {
                                            for (const std::string& name :
                                                 testing::Names(dir.path())) {
                                              if (name != "src.txt") seen = name;
                                            }
                                          }
                                          return SysError{};
                                        })
                  .ok());
  EXPECT_TRUE(IsCopyTemporaryName(seen)) << seen;
  EXPECT_EQ(seen.rfind(".tsl-" + std::to_string(GetCurrentProcessId()) + "-", 0), 0u) << seen;
  EXPECT_EQ(testing::Names(dir.path()), (std::vector<std::string>{"dst.txt", "src.txt"}));
}

}  // namespace
}  // namespace tsl
