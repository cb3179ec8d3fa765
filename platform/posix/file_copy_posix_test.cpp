// The Linux copy under the conditions it was made for: a file system without unnamed files, a
// real full disk, and a process killed half-way through a large file. In each, the target must
// be the old file or the whole copy, and no temporary file may be left (except the one case the
// named temporary file cannot avoid: a killed process).
#include "platform/posix/file_copy_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/fault_injection.h"
#include "platform/process.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace tsl {
namespace {

using testing::Names;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::SplitLines;
using testing::WriteFile;

// The fallback for file systems without O_TMPFILE: a named temporary file beside the target.
TEST(PosixCopyTest, NamedTemporaryFilesAreRenamedOrRemoved) {
  ScopedTempDir dir;
  posix::CopyOptions named{false};
  WriteFile(dir / "src", "new");
  WriteFile(dir / "dst", "old");
  ASSERT_EQ(::chmod((dir / "src").c_str(), 0640), 0);
  EXPECT_EQ(
      posix::CopyKeepingTimes(dir / "src", dir / "dst", CopyMode::kFailIfExists, {}, named).kind,
      ErrorKind::kAlreadyExists);
  ASSERT_TRUE(
      posix::CopyKeepingTimes(dir / "src", dir / "dst", CopyMode::kReplace, {}, named).ok());
  EXPECT_EQ(ReadFile(dir / "dst"), "new");
  struct stat st;
  ASSERT_EQ(::stat((dir / "dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ASSERT_TRUE(
      posix::CopyKeepingTimes(dir / "src", dir / "new", CopyMode::kFailIfExists, {}, named).ok());
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"dst", "new", "src"}));

  // Each step failing in turn: the old file stays, the temporary file goes.
  for (CopyStep failing : {CopyStep::kCopyData, CopyStep::kKeepAttributes, CopyStep::kKeepTimes,
                           CopyStep::kSync, CopyStep::kPlace}) {
    WriteFile(dir / "dst", "old");
    SysError e = posix::CopyKeepingTimes(
        dir / "src", dir / "dst", CopyMode::kReplace,
        [failing](CopyStep step) {
          return step == failing ? ErrorOfKind(ErrorKind::kIo) : SysError{};
        },
        named);
    EXPECT_EQ(e.kind, ErrorKind::kIo) << static_cast<int>(failing);
    EXPECT_EQ(ReadFile(dir / "dst"), "old");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"dst", "new", "src"}));
  }
}

// While a named temporary file exists it carries the writing process's id, in a name that scans
// know to pass over.
TEST(PosixCopyTest, TemporaryNamesCarryTheProcessId) {
  ScopedTempDir dir;
  WriteFile(dir / "src", "data");
  std::vector<std::string> seen;
  ASSERT_TRUE(posix::CopyKeepingTimes(
                  dir / "src", dir / "dst", CopyMode::kReplace,
                  [&](CopyStep step) {
                    if (step == CopyStep::kPlace) seen = Names(dir.path());
                    return SysError{};
                  },
                  posix::CopyOptions{false})
                  .ok());
  ASSERT_EQ(seen.size(), 2u);
  const std::string& temporary = seen[0] == "src" ? seen[1] : seen[0];
  EXPECT_TRUE(IsCopyTemporaryName(temporary)) << temporary;
  EXPECT_EQ(temporary.rfind(".tsl-" + std::to_string(::getpid()) + "-", 0), 0u) << temporary;
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"dst", "src"}));
}

// A sparse file keeps its holes: the copy has the same bytes and takes about as little space.
TEST(PosixCopyTest, HolesStayHoles) {
  ScopedTempDir dir;
  constexpr off_t kHole = 1LL << 30;
  const std::string head(5000, 'h'), tail(7000, 't');
  {
    int fd = ::open((dir / "sparse").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
    ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), kHole), static_cast<ssize_t>(tail.size()));
    ASSERT_EQ(::ftruncate(fd, kHole + kHole / 2), 0);  // and a hole at the end
    ::close(fd);
  }
  struct stat source;
  ASSERT_EQ(::stat((dir / "sparse").c_str(), &source), 0);
  if (source.st_blocks * 512 > (1 << 20)) GTEST_SKIP() << "no sparse files on this file system";
  for (bool unnamed : {true, false}) {
    int checks = 0;
    ASSERT_TRUE(posix::CopyKeepingTimes(
                    dir / "sparse", dir / "copy", CopyMode::kReplace,
                    [&](CopyStep step) {
                      if (step == CopyStep::kCopyData) ++checks;
                      return SysError{};
                    },
                    posix::CopyOptions{unnamed})
                    .ok());
    EXPECT_GE(checks, 2);  // one per data block at least
    struct stat copy;
    ASSERT_EQ(::stat((dir / "copy").c_str(), &copy), 0);
    EXPECT_EQ(copy.st_size, source.st_size);
    EXPECT_LE(copy.st_blocks, source.st_blocks + 64);
    int fd = ::open((dir / "copy").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string got(7000, '\0');
    ASSERT_EQ(::pread(fd, got.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
    EXPECT_EQ(got.substr(0, head.size()), head);
    ASSERT_EQ(::pread(fd, got.data(), tail.size(), kHole), static_cast<ssize_t>(tail.size()));
    EXPECT_EQ(got, tail);
    for (off_t at : {off_t{5000}, off_t{1 << 20}, kHole - 1, kHole + 7000, copy.st_size - 1}) {
      char byte = 'x';
      ASSERT_EQ(::pread(fd, &byte, 1, at), 1) << at;
      EXPECT_EQ(byte, '\0') << at;
    }
    ::close(fd);
  }
  // A file of nothing but a hole.
  {
    int fd = ::open((dir / "empty-sparse").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 1 << 20), 0);
    ::close(fd);
  }
  ASSERT_TRUE(posix::CopyKeepingTimes(dir / "empty-sparse", dir / "copy2", CopyMode::kReplace, {})
                  .ok());
  EXPECT_EQ(ReadFile(dir / "copy2"), std::string(1 << 20, '\0'));
}

TEST(PosixCopyTest, PipesAndDevicesAreNotCopied) {
  ScopedTempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_TRUE(posix::CopyKeepingTimes(dir / "pipe", dir / "x", CopyMode::kReplace, {}).failed());
  EXPECT_TRUE(posix::CopyKeepingTimes("/dev/null", dir / "x", CopyMode::kReplace, {}).failed());
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"pipe"});
}

// A small tmpfs mounted for the test (root can; elsewhere the test is skipped).
class SmallFileSystem {
 public:
  SmallFileSystem(const std::string& folder, const std::string& size) : folder_(folder) {
    RealFileSystem().MakeFolder(folder);
    ProcessResult result =
        RunProcess("mount", {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", folder});
    mounted_ = result.error.ok() && result.exit_code == 0;
    why_ = result.error.ok() ? result.errors : "mount could not be started";
  }
  ~SmallFileSystem() {
    if (mounted_) RunProcess("umount", {"-l", folder_});
  }
  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }

 private:
  std::string folder_;
  bool mounted_ = false;
  std::string why_;
};

// A real full disk: the copy fails with the system's text, the old file is whole, and the space
// the half-made copy took is given back.
TEST(PosixCopyTest, AFullFileSystemKeepsTheOldFile) {
  ScopedTempDir dir;
  SmallFileSystem small(dir / "small", "256k");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << small.why();
  WriteFile(dir / "big.bin", std::string(1 << 20, 'n'));
  WriteFile(dir / "small/big.bin", std::string(100000, 'o'));
  SysError e = RealFileSystem().CopyFileKeepingTimes(dir / "big.bin", dir / "small/big.bin",
                                                     CopyMode::kReplace, {});
  EXPECT_EQ(e.kind, ErrorKind::kDiskFull);
  EXPECT_EQ(SystemErrorText(e.code), "No space left on device");
  EXPECT_EQ(ReadFile(dir / "small/big.bin"), std::string(100000, 'o'));
  EXPECT_EQ(Names(dir / "small"), std::vector<std::string>{"big.bin"});
  // The space is free again: a copy that fits goes through.
  WriteFile(dir / "fits.bin", std::string(100000, 'f'));
  EXPECT_TRUE(
      RealFileSystem()
          .CopyFileKeepingTimes(dir / "fits.bin", dir / "small/fits.bin", CopyMode::kReplace, {})
          .ok());
}

// The same through TslRun: an Update into the full file system logs the failure with the
// system's text and lists it, copies what fits, and leaves the old file whole.
TEST(PosixCopyTest, AnUpdateOntoAFullFileSystem) {
  ScopedTempDir dir;
  SmallFileSystem small(dir / "dst", "256k");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << small.why();
  RealFileSystem().MakeFolder(dir / "src");
  WriteFile(dir / "src/big.bin", std::string(1 << 20, 'n'));
  WriteFile(dir / "src/small.txt", "small");
  WriteFile(dir / "dst/big.bin", std::string(100000, 'o'));
  constexpr FileTime kOld = 132593328000000000LL;
  ASSERT_TRUE(RealFileSystem().SetTimes(dir / "dst/big.bin", kOld, kOld).ok());
  WriteFile(dir / "job.ini", "[Default]\nPath1=" + dir / "src" + "\nPath2=" + dir / "dst" +
                                 "\nOutput File=" + dir / "log.txt" +
                                 "\nShow progress=0\nOperation=3\n[Action1]\n");
  std::vector<std::string> transcript;
  ProcessResult result =
      testing::RunTslRun(dir / "job.ini" + "|||", dir.path(), "Yes to All", &transcript);
  EXPECT_EQ(result.exit_code, 0) << result.errors;
  std::string error = "Error \"No space left on device\" copying file: " + dir / "src/big.bin" +
                      " to " + dir / "dst/big.bin";
  std::vector<std::string> log = SplitLines(ReadFile(dir / "log.txt"));
  EXPECT_NE(std::find(log.begin(), log.end(), error), log.end()) << ReadFile(dir / "log.txt");
  ASSERT_FALSE(transcript.empty());
  EXPECT_EQ(transcript.back(), "Question: File Operations Errors: " + error + " -> OK");
  EXPECT_EQ(ReadFile(dir / "dst/big.bin"), std::string(100000, 'o'));
  EXPECT_EQ(ReadFile(dir / "dst/small.txt"), "small");
  EXPECT_EQ(Names(dir / "dst"), (std::vector<std::string>{"big.bin", "small.txt"}));
}

// Starts TslRun without waiting for it.
pid_t Start(const std::vector<std::string>& arguments, const std::string& folder) {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The size of the file a process writes into `folder` (its unnamed or temporary file), or -1.
long long SizeOfFileBeingWritten(pid_t pid, const std::string& folder) {
  std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  DIR* dir = ::opendir(fds.c_str());
  if (!dir) return -1;
  long long size = -1;
  while (struct dirent* d = ::readdir(dir)) {
    std::string fd = fds + "/" + d->d_name;
    char target[4096];
    ssize_t n = ::readlink(fd.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = '\0';
    struct stat st;
    if (std::strncmp(target, folder.c_str(), folder.size()) == 0 &&
        std::strstr(target, "big.bin") == nullptr && ::stat(fd.c_str(), &st) == 0) {
      size = st.st_size;
    }
  }
  ::closedir(dir);
  return size;
}

// TslRun killed (SIGKILL) half-way through copying a large file over an older one: the target
// is the older file, whole, and nothing else is left in its folder.
TEST(PosixCopyTest, AKilledCopyLeavesTheOldFile) {
  ScopedTempDir dir;
  RealFileSystem().MakeFolder(dir / "src");
  RealFileSystem().MakeFolder(dir / "dst");
  constexpr std::size_t kSize = 128u << 20;
  std::string block(1 << 20, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31 + 7);
  {
    std::unique_ptr<WritableFile> file;
    ASSERT_TRUE(
        RealFileSystem().OpenForWriting(dir / "src/big.bin", WriteMode::kReplace, &file).ok());
    for (std::size_t done = 0; done < kSize; done += block.size()) {
      ASSERT_TRUE(file->Write(block.data(), block.size()).ok());
    }
    ASSERT_TRUE(file->Close().ok());
  }
  const std::string old(4096, 'o');
  WriteFile(dir / "job.ini", "[Default]\nPath1=" + dir / "src" + "\nPath2=" + dir / "dst" +
                                 "\nShow progress=0\nConfirm Updates=0\nOperation=3\n[Action1]\n");
  bool caught = false;
  for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
    WriteFile(dir / "dst/big.bin", old);
    constexpr FileTime kOld = 132593328000000000LL;
    ASSERT_TRUE(RealFileSystem().SetTimes(dir / "dst/big.bin", kOld, kOld).ok());
    pid_t pid = Start({testing::TslRunProgram(), dir / "job.ini" + "|||"}, dir.path());
    ASSERT_GT(pid, 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      long long size = SizeOfFileBeingWritten(pid, dir / "dst/");
      if (size >= static_cast<long long>(kSize / 8) && size < static_cast<long long>(kSize)) {
        ::kill(pid, SIGKILL);
        caught = true;
        break;
      }
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;  // finished before it could be caught: try again
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (pid > 0) {
      if (!caught) ::kill(pid, SIGKILL);
      int status = 0;
      ::waitpid(pid, &status, 0);
    }
  }
  ASSERT_TRUE(caught) << "the copy was never seen half-way";
  EXPECT_EQ(ReadFile(dir / "dst/big.bin"), old);
  EXPECT_EQ(Names(dir / "dst"), std::vector<std::string>{"big.bin"});
}

}  // namespace
}  // namespace tsl
