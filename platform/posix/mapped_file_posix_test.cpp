#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "platform/mapped_file.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

// Files under /proc say they are empty and still have content: they are read to their end.
TEST(PosixMappedFileTest, AFileThatSaysItIsEmptyIsReadToItsEnd) {
  struct stat st;
  ASSERT_EQ(::stat("/proc/self/status", &st), 0);
  ASSERT_EQ(st.st_size, 0);
  MappedFile file;
  ASSERT_TRUE(file.Open("/proc/self/status").ok());
  EXPECT_FALSE(file.mapped());
  EXPECT_EQ(file.content().substr(0, 5), "Name:");
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
