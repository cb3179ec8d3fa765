#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::Names;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

SysError WriteWith(FileSystem& fs, const std::string& path, WriteMode mode,
                   const std::string& text) {
  std::unique_ptr<WritableFile> file;
  if (SysError e = fs.OpenForWriting(path, mode, &file); e.failed()) return e;
  if (SysError e = file->Write(text.data(), text.size()); e.failed()) return e;
  return file->Close();
}

TEST(FileSystemTest, WriteModes) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  std::string path = dir / "f.txt";
  ASSERT_TRUE(WriteWith(fs, path, WriteMode::kReplace, "one\r\n").ok());
  ASSERT_TRUE(WriteWith(fs, path, WriteMode::kAppend, "two\r\n").ok());
  EXPECT_EQ(ReadFile(path), "one\r\ntwo\r\n");
  EXPECT_EQ(WriteWith(fs, path, WriteMode::kCreateNew, "x").kind, ErrorKind::kAlreadyExists);
  ASSERT_TRUE(WriteWith(fs, path, WriteMode::kReplace, "three").ok());
  EXPECT_EQ(ReadFile(path), "three");
  // A write larger than the buffer, with bytes of every value.
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(WriteWith(fs, path, WriteMode::kReplace, big).ok());
  EXPECT_EQ(ReadFile(path), big);
}

TEST(FileSystemTest, ReadWholeFileReplacesWhatTheStringHeld) {
  ScopedTempDir dir;
  WriteFile(dir / "f.txt", "abc");
  std::string content(200000, 'x');
  ASSERT_TRUE(RealFileSystem().ReadWholeFile(dir / "f.txt", &content).ok());
  EXPECT_EQ(content, "abc");
}

TEST(FileSystemTest, MissingThingsGiveTheirKinds) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  std::string content;
  SysError e = fs.ReadWholeFile(dir / "nope.txt", &content);
  EXPECT_EQ(e.kind, ErrorKind::kNotFound);
  EXPECT_EQ(StandardFileErrorText(e, "X"), "X was not found.");
  std::uint32_t attributes = 0;
  EXPECT_TRUE(fs.GetAttributes(dir / "nope.txt", &attributes).failed());
  EXPECT_FALSE(PathExists(dir / "nope.txt"));
  EXPECT_TRUE(fs.RemoveFile(dir / "nope.txt").ok());             // already gone is success
  EXPECT_TRUE(fs.ReadWholeFile(dir.path(), &content).failed());  // a folder is not a file
  std::vector<DirEntry> entries;
  EXPECT_TRUE(fs.ListFolder(dir / "nope", &entries).failed());
}

// A failure names the call and the path, so that its message needs nothing glued back on.
TEST(FileSystemTest, FailuresCarryTheCallAndThePath) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  std::vector<DirEntry> entries;
  SysError e = fs.ListFolder(dir / "nope", &entries);
  EXPECT_STREQ(e.operation, "ListFolder");
  EXPECT_EQ(e.path, dir / "nope");
  EXPECT_EQ(StandardFileErrorText(e), StandardFileErrorText(e, dir / "nope"));
  e = fs.Rename(dir / "a", dir / "b", false);
  EXPECT_STREQ(e.operation, "Rename");
  EXPECT_EQ(e.path, dir / "a");
  SysError ok = fs.MakeFolder(dir / "new");
  EXPECT_TRUE(ok.ok());
  EXPECT_STREQ(ok.operation, "");
  EXPECT_EQ(ok.path, "");
}

TEST(FileSystemTest, FoldersListingAndAttributes) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  ASSERT_TRUE(fs.MakeFolder(dir / "sub").ok());
  EXPECT_EQ(fs.MakeFolder(dir / "sub").kind, ErrorKind::kAlreadyExists);
  WriteFile(dir / "sub/a.txt", "12345");
  WriteFile(dir / "b.txt", "");
  std::vector<DirEntry> entries;
  ASSERT_TRUE(fs.ListFolder(dir.path(), &entries).ok());
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "b.txt");
  EXPECT_FALSE(entries[0].is_folder());
  EXPECT_TRUE(entries[0].attributes & attr::kArchive);
  EXPECT_EQ(entries[1].name, "sub");
  EXPECT_TRUE(entries[1].is_folder());
  ASSERT_TRUE(fs.ListFolder(dir / "sub", &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_GT(entries[0].modified, 116444736000000000LL);  // after 1970

  std::string file = dir / "sub/a.txt";
  ASSERT_TRUE(fs.SetAttributes(file, attr::kReadOnly).ok());
  std::uint32_t attributes = 0;
  ASSERT_TRUE(fs.GetAttributes(file, &attributes).ok());
  EXPECT_TRUE(attributes & attr::kReadOnly);
  ASSERT_TRUE(fs.SetAttributes(file, attr::kNormal).ok());
  ASSERT_TRUE(fs.GetAttributes(file, &attributes).ok());
  EXPECT_FALSE(attributes & attr::kReadOnly);
  EXPECT_EQ(fs.RemoveFolder(dir / "sub").kind, ErrorKind::kNotEmpty);
}

TEST(FileSystemTest, RenameReplacesOnlyWhenAsked) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  WriteFile(dir / "a", "A");
  WriteFile(dir / "b", "B");
  EXPECT_EQ(fs.Rename(dir / "a", dir / "b", false).kind, ErrorKind::kAlreadyExists);
  EXPECT_EQ(ReadFile(dir / "b"), "B");
  ASSERT_TRUE(fs.Rename(dir / "a", dir / "b", true).ok());
  EXPECT_EQ(ReadFile(dir / "b"), "A");
  EXPECT_FALSE(PathExists(dir / "a"));
  ASSERT_TRUE(fs.Rename(dir / "b", dir / "c", false).ok());
  EXPECT_EQ(ReadFile(dir / "c"), "A");
}

TEST(FileSystemTest, TemporaryFilesHaveUniqueNames) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  std::string a, b;
  ASSERT_TRUE(fs.CreateTempFile(dir.path(), "CLP", &a).ok());
  ASSERT_TRUE(fs.CreateTempFile(dir.path(), "CLP", &b).ok());
  EXPECT_NE(a, b);
  EXPECT_TRUE(PathExists(a));
  EXPECT_EQ(a.rfind(dir.path(), 0), 0u);
  EXPECT_NE(a.find("CLP"), std::string::npos);
  EXPECT_TRUE(testing::Separator() == fs.TempFolder().back());
  EXPECT_FALSE(fs.CurrentFolder().empty());
}

TEST(FileSystemTest, SubfoldersAlone) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  ASSERT_TRUE(fs.MakeFolder(dir / "a").ok());
  ASSERT_TRUE(fs.MakeFolder(dir / "a/one").ok());
  ASSERT_TRUE(fs.MakeFolder(dir / "a/two").ok());
  std::vector<DirEntry> folders;
  bool others = true;
  ASSERT_TRUE(fs.ListSubfolders(dir / "a", &folders, &others).ok());
  EXPECT_FALSE(others);
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_TRUE(folders[0].is_folder() && folders[1].is_folder());
  WriteFile(dir / "a/file.txt", "x");
  ASSERT_TRUE(fs.ListSubfolders(dir / "a", &folders, &others).ok());
  EXPECT_TRUE(others);
  EXPECT_EQ(folders.size(), 2u);
  EXPECT_TRUE(fs.ListSubfolders(dir / "none", &folders, &others).failed());
}

TEST(FileSystemTest, EntryOfOnePath) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  WriteFile(dir / "a.txt", "12345");
  constexpr FileTime kTime = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC
  ASSERT_TRUE(fs.SetTimes(dir / "a.txt", kTime, kTime).ok());
  DirEntry entry;
  ASSERT_TRUE(fs.GetEntry(dir / "a.txt", &entry).ok());
  EXPECT_EQ(entry.name, "a.txt");
  EXPECT_EQ(entry.size, 5u);
  EXPECT_EQ(entry.modified, kTime);
  EXPECT_FALSE(entry.is_folder());
  ASSERT_TRUE(fs.GetEntry(dir.path(), &entry).ok());
  EXPECT_TRUE(entry.is_folder());
  EXPECT_EQ(fs.GetEntry(dir / "none", &entry).kind, ErrorKind::kNotFound);
}

// The names of a copy's temporary files: ".tsl-XXXXXXXX.tmp" on Linux, "tslXXXX.tmp" on Windows.
bool IsCopyTemporary(const std::string& name) {
  bool tmp = name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
  return tmp && (name.rfind(".tsl-", 0) == 0 || name.rfind("tsl", 0) == 0);
}

TEST(FileCopyTest, KeepsTimeAndAttributesAndReplacesOnlyWhenAsked) {
  ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  constexpr FileTime kTime = 132593328123456700LL;  // with a fraction of a second
  WriteFile(dir / "src.txt", "new content");
  ASSERT_TRUE(fs.SetTimes(dir / "src.txt", kTime, kTime).ok());
  ASSERT_TRUE(fs.SetAttributes(dir / "src.txt", attr::kReadOnly).ok());
  WriteFile(dir / "dst.txt", "old");

  EXPECT_EQ(
      fs.CopyFileKeepingTimes(dir / "src.txt", dir / "dst.txt", CopyMode::kFailIfExists, {}).kind,
      ErrorKind::kAlreadyExists);
  EXPECT_EQ(ReadFile(dir / "dst.txt"), "old");
  ASSERT_TRUE(
      fs.CopyFileKeepingTimes(dir / "src.txt", dir / "dst.txt", CopyMode::kReplace, {}).ok());
  DirEntry copy;
  ASSERT_TRUE(fs.GetEntry(dir / "dst.txt", &copy).ok());
  EXPECT_EQ(ReadFile(dir / "dst.txt"), "new content");
  EXPECT_EQ(copy.modified, kTime);
  EXPECT_TRUE(copy.attributes & attr::kReadOnly);

  ASSERT_TRUE(
      fs.CopyFileKeepingTimes(dir / "src.txt", dir / "new.txt", CopyMode::kFailIfExists, {}).ok());
  EXPECT_EQ(ReadFile(dir / "new.txt"), "new content");
  EXPECT_TRUE(fs.CopyFileKeepingTimes(dir / "src.txt", dir / "no/such.txt", CopyMode::kReplace, {})
                  .failed());
  EXPECT_TRUE(
      fs.CopyFileKeepingTimes(dir.path(), dir / "folder.txt", CopyMode::kReplace, {}).failed());
  EXPECT_TRUE(
      fs.CopyFileKeepingTimes(dir / "none.txt", dir / "x.txt", CopyMode::kReplace, {}).failed());
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"dst.txt", "new.txt", "src.txt"}));
}

// Whichever step of a copy fails, the target is the old file (or still missing) and no
// temporary file is left; the run that fails nothing makes the whole copy.
TEST(FileCopyTest, AFailureAtAnyStepLeavesTheTargetAsItWas) {
  for (bool replacing : {true, false}) {
    ScopedTempDir dir;
    std::string content(100000, 'n');
    WriteFile(dir / "src.txt", content);
    FaultInjectingFileSystem faulty(RealFileSystem());
    for (std::int64_t k = 1;; ++k) {
      if (replacing) WriteFile(dir / "dst.txt", "old");
      faulty.FailAt(k, ErrorKind::kDiskFull);
      SysError e =
          faulty.CopyFileKeepingTimes(dir / "src.txt", dir / "dst.txt", CopyMode::kReplace, {});
      if (!faulty.fired()) {
        ASSERT_TRUE(e.ok()) << k;
        EXPECT_EQ(ReadFile(dir / "dst.txt"), content);
        EXPECT_GE(k, 5);  // at least: open, temporary, data, place
        break;
      }
      EXPECT_EQ(e.kind, ErrorKind::kDiskFull) << faulty.log().back();
      if (replacing) {
        EXPECT_EQ(ReadFile(dir / "dst.txt"), "old") << faulty.log().back();
      } else {
        EXPECT_FALSE(PathExists(dir / "dst.txt")) << faulty.log().back();
      }
      for (const std::string& name : Names(dir.path())) {
        EXPECT_FALSE(IsCopyTemporary(name)) << name << " after " << faulty.log().back();
      }
      ASSERT_LT(k, 50);
    }
  }
}

TEST(FileCopyTest, TemporaryNamesAreKnown) {
  struct Case {
    const char* name;
    bool temporary;
  } cases[] = {
      {".tsl-1234-0123abcd.tmp", true},
      {".tsl-1-ffffffff.tmp", true},
      {".tsl-4294967295-00000000.tmp", true},
      {".tsl-0123abcd.tmp", true},  // written by versions without the process id
      {".tsl-1234-0123ABCD.tmp", false},
      {".tsl-1234-0123abc.tmp", false},
      {".tsl-1234-0123abcde.tmp", false},
      {".tsl--0123abcd.tmp", false},
      {".tsl-12a4-0123abcd.tmp", false},
      {".tsl-12345678901-0123abcd.tmp", false},
      {".tsl-1234-0123abcd.tmp.txt", false},
      {".tsl-1234-0123abcd-1.tmp", false},
      {".tsl-0123abcg.tmp", false},
      {".tsl-0123abcd.TMP", false},
      {"tsl-0123abcd.tmp", false},
      {".TSL-0123abcd.tmp", false},
      {"x.tsl-0123abcd.tmp", false},
      {".tsl-.tmp", false},
      {"tsl1A2B.tmp", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsCopyTemporaryName(c.name), c.temporary) << c.name;
}

TEST(FaultInjectionTest, FailsTheChosenOperationOnceOrFromThenOn) {
  ScopedTempDir dir;
  FaultInjectingFileSystem faulty(RealFileSystem());
  // Operations: open, write, close.
  faulty.FailAt(3, ErrorKind::kDiskFull);
  SysError e = WriteWith(faulty, dir / "x", WriteMode::kReplace, "data");
  EXPECT_EQ(e.kind, ErrorKind::kDiskFull);  // a failure at close is a failure
  EXPECT_TRUE(faulty.fired());
  EXPECT_EQ(faulty.operations(), 3);

  faulty.FailAt(2, ErrorKind::kAccessDenied);
  EXPECT_EQ(WriteWith(faulty, dir / "x", WriteMode::kReplace, "data").kind,
            ErrorKind::kAccessDenied);
  EXPECT_TRUE(WriteWith(faulty, dir / "y", WriteMode::kReplace, "data").ok());  // once only

  faulty.FailAt(2, ErrorKind::kIo, /*persistent=*/true);
  std::string content;
  EXPECT_TRUE(faulty.ReadWholeFile(dir / "y", &content).ok());
  EXPECT_EQ(faulty.ReadWholeFile(dir / "y", &content).kind, ErrorKind::kIo);
  EXPECT_EQ(faulty.ReadWholeFile(dir / "y", &content).kind, ErrorKind::kIo);

  faulty.FailAt(0, ErrorKind::kIo);
  EXPECT_TRUE(faulty.ReadWholeFile(dir / "y", &content).ok());
  EXPECT_FALSE(faulty.fired());
}

TEST(FaultInjectionTest, SwapsTheServiceInForce) {
  FaultInjectingFileSystem faulty(RealFileSystem());
  EXPECT_EQ(&Files(), &RealFileSystem());
  {
    ScopedFileSystem scope(faulty);
    EXPECT_EQ(&Files(), &faulty);
  }
  EXPECT_EQ(&Files(), &RealFileSystem());
}

}  // namespace
}  // namespace tsl
