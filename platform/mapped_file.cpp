// The part of MappedFile that every system shares: reading a file that is not mapped.
#include "platform/mapped_file.h"

#include <cstring>
#include <new>

namespace tsl {

MappedFile::~MappedFile() { Release(); }

SysError MappedFile::Open(const std::string& path) {
  Release();
  path_ = path;
  SysError e = OpenNative(path);
  if (e.failed()) Release();
  return InContext(e, "MapFile", path);
}

SysError MappedFile::ReadAll(const ReadStep& read, bool known_size, std::size_t size) {
  constexpr std::size_t kFirstBlock = 64 * 1024;
  std::size_t capacity = known_size ? size : kFirstBlock;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[capacity]);
  if (!buffer) return ErrorOfKind(ErrorKind::kOther);
  std::size_t done = 0;
  for (;;) {
    if (done == capacity) {
      if (known_size) break;
      // Grown by doubling, so that a long stream is copied about once in all.
      std::size_t larger = capacity * 2;
      std::unique_ptr<char[]> grown(larger > capacity ? new (std::nothrow) char[larger] : nullptr);
      if (!grown) return ErrorOfKind(ErrorKind::kOther);
      std::memcpy(grown.get(), buffer.get(), done);
      buffer = std::move(grown);
      capacity = larger;
    }
    std::size_t got = 0;
    if (SysError e = read(buffer.get() + done, capacity - done, &got); e.failed()) return e;
    if (got == 0) break;  // the end, or a file that shrank while it was read
    done += got;
  }
  buffer_ = std::move(buffer);
  data_ = buffer_.get();
  size_ = done;
  return {};
}

}  // namespace tsl
