#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "platform/mapped_file.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

// A file shortened while it is mapped: what lies beyond its new end reads as zeros, and the
// mapping reports an I/O error, where the process would otherwise be stopped (SIGBUS).
TEST(PosixMappedFileTest, AFileShortenedWhileMappedReadsAsZerosAndFails) {
  testing::ScopedTempDir dir;
  const std::string path = dir / "a.txt";
  constexpr std::size_t kBlock = 65536;  // a whole number of pages
  testing::WriteFile(path, std::string(3 * kBlock, 'a'));
  MappedFile file;
  ASSERT_TRUE(file.Open(path).ok());
  ASSERT_TRUE(file.mapped());
  EXPECT_TRUE(file.PageFailure().ok());
  ASSERT_EQ(::truncate(path.c_str(), kBlock), 0);
  const volatile char* bytes = file.content().data();
  EXPECT_EQ(bytes[kBlock - 1], 'a');
  EXPECT_EQ(bytes[2 * kBlock + 5], '\0');
  SysError e = file.PageFailure();
  EXPECT_EQ(e.kind, ErrorKind::kIo);
  EXPECT_EQ(e.path, path);
  // The next file mapped starts afresh.
  ASSERT_TRUE(file.Open(path).ok());
  EXPECT_EQ(file.content(), std::string(kBlock, 'a'));
  EXPECT_TRUE(file.PageFailure().ok());
}

// A pipe is read to its end, however much more than the first block it holds.
TEST(PosixMappedFileTest, APipeIsReadToItsEnd) {
  testing::ScopedTempDir dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string bytes(300000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
  std::thread writer([&] {
    int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
      ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (fd >= 0) ::close(fd);
  });
  MappedFile file;
  SysError e = file.Open(fifo);
  writer.join();
  ASSERT_TRUE(e.ok());
  EXPECT_FALSE(file.mapped());
  EXPECT_EQ(file.content(), bytes);
}

}  // namespace
}  // namespace tsl
