#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::SortedListing;

// A full disk that the buffered writer only meets when it flushes: the failure must reach Close.
TEST(PosixFileSystemTest, FullDiskIsReportedAtClose) {
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(RealFileSystem().OpenForWriting("/dev/full", WriteMode::kAppend, &file).ok());
  EXPECT_TRUE(file->Write("abc", 3).ok());  // still in the buffer
  EXPECT_EQ(file->Close().kind, ErrorKind::kDiskFull);
}

TEST(PosixFileSystemTest, AttributesFollowPermissionsAndNames) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / ".hidden", "x");
  std::uint32_t attributes = 0;
  ASSERT_TRUE(RealFileSystem().GetAttributes(dir / ".hidden", &attributes).ok());
  EXPECT_EQ(attributes, attr::kHidden | attr::kArchive);
  ASSERT_TRUE(RealFileSystem().GetAttributes(dir.path(), &attributes).ok());
  EXPECT_EQ(attributes, attr::kDirectory);
}

TEST(PosixFileSystemTest, MakeExecutableSetsMode0755WhateverTheUmaskMade) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / "run.sh", "");
  ASSERT_TRUE(MakeExecutable(dir / "run.sh").ok());
  struct stat st {};
  ASSERT_EQ(::stat((dir / "run.sh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_EQ(MakeExecutable(dir / "gone").kind, ErrorKind::kNotFound);
}

// Links: one to a file is listed as that file, one to a folder as a folder marked as a link,
// a broken one not at all; and a broken link is no failure of the listing.
TEST(PosixFileSystemTest, ListingFollowsLinksAndSkipsBrokenOnes) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / "file.txt", "12345");
  ASSERT_TRUE(RealFileSystem().MakeFolder(dir / "sub").ok());
  ASSERT_EQ(::symlink((dir / "file.txt").c_str(), (dir / "to-file").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "sub").c_str(), (dir / "to-sub").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "broken").c_str()), 0);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(RealFileSystem().ListFolder(dir.path(), &entries).ok());
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "file.txt");
  EXPECT_EQ(entries[1].name, "sub");
  EXPECT_EQ(entries[1].attributes, attr::kDirectory);
  EXPECT_EQ(entries[2].name, "to-file");
  EXPECT_EQ(entries[2].attributes, attr::kArchive);
  EXPECT_EQ(entries[2].size, 5u);
  EXPECT_EQ(entries[3].name, "to-sub");
  EXPECT_EQ(entries[3].attributes, attr::kDirectory | attr::kReparsePoint);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(entries[i].link, i >= 2) << entries[i].name;
    EXPECT_FALSE(entries[i].special) << entries[i].name;
  }

  // A broken link as the last entry of a folder.
  ASSERT_TRUE(RealFileSystem().MakeFolder(dir / "lonely").ok());
  ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "lonely/broken").c_str()), 0);
  EXPECT_TRUE(RealFileSystem().ListFolder(dir / "lonely", &entries).ok());
  EXPECT_TRUE(entries.empty());
}

// Pipes, sockets and devices, and links to them, are marked special, in listings and for one
// path alike; the listing opens none of them (a pipe opened for reading would wait for a writer).
TEST(PosixFileSystemTest, PipesSocketsAndDevicesAreSpecial) {
  testing::ScopedTempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  struct sockaddr_un address {};
  address.sun_family = AF_UNIX;
  std::string socket_path = dir / "socket";
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socket_path.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<struct sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::symlink((dir / "pipe").c_str(), (dir / "to-pipe").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/null", (dir / "to-null").c_str()), 0);
  testing::WriteFile(dir / "plain", "x");
  std::vector<DirEntry> entries = SortedListing(dir.path());
  ::close(sock);
  struct Expected {
    const char* name;
    bool link, special;
  } expected[] = {
      {"pipe", false, true},    {"plain", false, false}, {"socket", false, true},
      {"to-null", true, true},  {"to-pipe", true, true},
  };
  ASSERT_EQ(entries.size(), std::size(expected));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, expected[i].name);
    EXPECT_EQ(entries[i].link, expected[i].link) << entries[i].name;
    EXPECT_EQ(entries[i].special, expected[i].special) << entries[i].name;
    EXPECT_FALSE(entries[i].is_folder()) << entries[i].name;
    EXPECT_EQ((entries[i].attributes & attr::kArchive) != 0, !expected[i].special);
  }
  DirEntry entry;
  ASSERT_TRUE(RealFileSystem().GetEntry(dir / "to-pipe", &entry).ok());
  EXPECT_TRUE(entry.link && entry.special);
  ASSERT_TRUE(RealFileSystem().GetEntry(dir / "plain", &entry).ok());
  EXPECT_FALSE(entry.link || entry.special);
  ASSERT_TRUE(RealFileSystem().GetEntry("/dev/null", &entry).ok());
  EXPECT_TRUE(entry.special && !entry.link);
}

TEST(PosixFileSystemTest, EntryOfALinkToAFolder) {
  testing::ScopedTempDir dir;
  ASSERT_TRUE(RealFileSystem().MakeFolder(dir / "sub").ok());
  ASSERT_EQ(::symlink("sub", (dir / "to-sub").c_str()), 0);
  ASSERT_EQ(::symlink("gone", (dir / "broken").c_str()), 0);
  DirEntry entry;
  ASSERT_TRUE(RealFileSystem().GetEntry(dir / "to-sub", &entry).ok());
  EXPECT_EQ(entry.name, "to-sub");
  EXPECT_TRUE(entry.link);
  EXPECT_EQ(entry.attributes, attr::kDirectory | attr::kReparsePoint);
  ASSERT_TRUE(RealFileSystem().GetEntry(dir / "sub", &entry).ok());
  EXPECT_FALSE(entry.link);
  EXPECT_EQ(RealFileSystem().GetEntry(dir / "broken", &entry).kind, ErrorKind::kNotFound);
}

// The outcome of listing `folder` in a child process that runs as nobody (uid and gid 65534):
// 0 when both listings fail with access denied, 1 when one succeeds, 2 for another failure.
int ListAsNobody(const std::string& folder) {
  pid_t child = ::fork();
  if (child == 0) {
    if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) {
      ::_exit(3);
    }
    std::vector<DirEntry> entries;
    bool others = false;
    SysError listed = RealFileSystem().ListFolder(folder, &entries);
    SysError subfolders = RealFileSystem().ListSubfolders(folder, &entries, &others);
    if (listed.ok() || subfolders.ok()) ::_exit(1);
    bool denied = listed.kind == ErrorKind::kAccessDenied &&
                  subfolders.kind == ErrorKind::kAccessDenied && entries.empty();
    ::_exit(denied ? 0 : 2);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// A folder that can be read but not entered (mode 0644): its names can be listed, but none of
// its entries can be looked at. The listing fails instead of passing for an empty folder, which
// a synchronization would take as "delete everything on the other side".
TEST(PosixFileSystemTest, EntriesThatCannotBeExaminedFailTheListing) {
  testing::ScopedTempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_TRUE(RealFileSystem().MakeFolder(dir / "locked").ok());
  ASSERT_TRUE(RealFileSystem().MakeFolder(dir / "locked/sub").ok());
  testing::WriteFile(dir / "locked/a.txt", "a");
  ASSERT_EQ(::chmod((dir / "locked").c_str(), 0644), 0);
  if (::geteuid() == 0) {
    EXPECT_EQ(ListAsNobody(dir / "locked"), 0);
  } else {
    std::vector<DirEntry> entries;
    bool others = false;
    EXPECT_EQ(RealFileSystem().ListFolder(dir / "locked", &entries).kind,
              ErrorKind::kAccessDenied);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(RealFileSystem().ListSubfolders(dir / "locked", &entries, &others).kind,
              ErrorKind::kAccessDenied);
  }
  ASSERT_EQ(::chmod((dir / "locked").c_str(), 0755), 0);  // so that the folder can be removed
}

// Attributes and times set on a link change the link, never what it points to: a read-only file
// outside the tree stays read-only, and keeps its time.
TEST(PosixFileSystemTest, NothingIsChangedThroughALink) {
  testing::ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  testing::WriteFile(dir / "outside.txt", "keep");
  testing::WriteFile(dir / "writable.txt", "keep");
  ASSERT_EQ(::chmod((dir / "outside.txt").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((dir / "writable.txt").c_str(), 0664), 0);
  constexpr FileTime kTime = 132593328000000000LL;
  ASSERT_TRUE(fs.SetTimes(dir / "outside.txt", kTime, kTime).ok());
  ASSERT_EQ(::symlink((dir / "outside.txt").c_str(), (dir / "link").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "writable.txt").c_str(), (dir / "link2").c_str()), 0);

  EXPECT_TRUE(fs.SetAttributes(dir / "link", attr::kNormal).ok());
  EXPECT_TRUE(fs.SetAttributes(dir / "link2", attr::kReadOnly).ok());
  struct stat st;
  ASSERT_EQ(::stat((dir / "outside.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  ASSERT_EQ(::stat((dir / "writable.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0664u);

  constexpr FileTime kOther = kTime + 864000000000LL;  // a day later
  ASSERT_TRUE(fs.SetTimes(dir / "link", kOther, kOther).ok());
  DirEntry entry;
  ASSERT_TRUE(fs.GetEntry(dir / "outside.txt", &entry).ok());
  EXPECT_EQ(entry.modified, kTime);
  ASSERT_EQ(::lstat((dir / "link").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, (kOther - 116444736000000000LL) / 10000000);

  // The files themselves still change.
  ASSERT_TRUE(fs.SetAttributes(dir / "outside.txt", attr::kNormal).ok());
  ASSERT_EQ(::stat((dir / "outside.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  ASSERT_TRUE(fs.SetAttributes(dir / "writable.txt", attr::kReadOnly).ok());
  ASSERT_EQ(::stat((dir / "writable.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// The folders above a folder, by identity, however the folder is spelled; through a link, the
// physical parent of what the link points to.
TEST(PosixFileSystemTest, FolderAncestryGoesUpPhysically) {
  testing::ScopedTempDir dir;
  FileSystem& fs = RealFileSystem();
  ASSERT_TRUE(fs.MakeFolder(dir / "d").ok());
  ASSERT_TRUE(fs.MakeFolder(dir / "d/sub").ok());
  ASSERT_TRUE(fs.MakeFolder(dir / "other").ok());
  ASSERT_EQ(::symlink((dir / "d").c_str(), (dir / "to-d").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "d/sub").c_str(), (dir / "other/x").c_str()), 0);
  FileIdentity d, sub, other, root;
  ASSERT_TRUE(fs.GetIdentity(dir / "d", &d).ok());
  ASSERT_TRUE(fs.GetIdentity(dir / "d/sub", &sub).ok());
  ASSERT_TRUE(fs.GetIdentity(dir / "other", &other).ok());
  ASSERT_TRUE(fs.GetIdentity("/", &root).ok());
  EXPECT_FALSE(d == sub);

  std::vector<FileIdentity> ancestry;
  for (const std::string& spelling : {dir / "d", dir / "d/.", dir / "d//", dir / "d/../d",
                                      dir / "to-d", dir / "to-d/", dir / "d/sub/.."}) {
    ASSERT_TRUE(FolderAncestry(spelling, &ancestry).ok()) << spelling;
    ASSERT_GE(ancestry.size(), 2u) << spelling;
    EXPECT_TRUE(ancestry.front() == d) << spelling;
    EXPECT_TRUE(ancestry.back() == root) << spelling;
  }

  ASSERT_TRUE(FolderAncestry(dir / "d/sub", &ancestry).ok());
  ASSERT_GE(ancestry.size(), 3u);
  EXPECT_TRUE(ancestry[0] == sub);
  EXPECT_TRUE(ancestry[1] == d);

  ASSERT_TRUE(FolderAncestry(dir / "other/x", &ancestry).ok());
  ASSERT_GE(ancestry.size(), 3u);
  EXPECT_TRUE(ancestry[0] == sub);
  EXPECT_TRUE(ancestry[1] == d);  // not `other`, where the link is
  EXPECT_EQ(std::count(ancestry.begin(), ancestry.end(), other), 0);

  ASSERT_TRUE(FolderAncestry("/", &ancestry).ok());
  EXPECT_EQ(ancestry, std::vector<FileIdentity>{root});
  EXPECT_EQ(FolderAncestry(dir / "none", &ancestry).kind, ErrorKind::kNotFound);
}

}  // namespace
}  // namespace tsl

namespace tsl {
namespace {

// A file opened with its listed size reads as it is; a folder given by mistake fails at its
// first read instead of being taken for an empty file.
TEST(PosixFileSystemTest, OpeningAListedFile) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / "a.txt", "content");
  std::unique_ptr<ReadableFile> file;
  ASSERT_TRUE(Files().OpenListedForReading(dir / "a.txt", 7, &file).ok());
  EXPECT_EQ(file->Size(), 7u);
  char buffer[16];
  std::size_t got = 0;
  ASSERT_TRUE(file->Read(buffer, sizeof buffer, &got).ok());
  EXPECT_EQ(std::string(buffer, got), "content");

  ASSERT_TRUE(Files().OpenListedForReading(dir.path(), 0, &file).ok());
  EXPECT_TRUE(file->Read(buffer, sizeof buffer, &got).failed());
  EXPECT_FALSE(Files().OpenListedForReading(dir / "missing", 0, &file).ok());
}

}  // namespace
}  // namespace tsl
