// MappedFile on POSIX systems: mmap of the size fstat gives for the descriptor that is mapped.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/mapped_file.h"

namespace tsl {

SysError MappedFile::OpenNative(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return NativeError(errno);
  // The mapping stays valid once the descriptor is closed.
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0) return NativeError(errno);
  if (S_ISDIR(st.st_mode)) return NativeError(EISDIR);
  // A file that says it is empty may still have content (files under /proc): read to its end.
  const bool known_size =
      S_ISREG(st.st_mode) && st.st_size > 0 && static_cast<std::uint64_t>(st.st_size) <= SIZE_MAX;
  const std::size_t size = known_size ? static_cast<std::size_t>(st.st_size) : 0;
  if (known_size) {
    void* at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (at != MAP_FAILED) {
      ::madvise(at, size, MADV_SEQUENTIAL);  // a hint for read-ahead; its failure changes nothing
      mapping_ = at;
      data_ = static_cast<const char*>(at);
      size_ = size;
      return {};
    }
  }
  return ReadAll(
      [fd](char* into, std::size_t most, std::size_t* got) -> SysError {
        for (;;) {
          ssize_t n = ::read(fd, into, most);
          if (n >= 0) {
            *got = static_cast<std::size_t>(n);
            return {};
          }
          if (errno != EINTR) return NativeError(errno);
        }
      },
      known_size, size);
}

void MappedFile::Release() {
  if (mapping_) ::munmap(mapping_, size_);
  mapping_ = nullptr;
  buffer_.reset();
  data_ = "";
  size_ = 0;
}

}  // namespace tsl
