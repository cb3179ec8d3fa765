// Copying a file so that its target is never half-written: the data goes to a temporary file in
// the target's folder (an unnamed one where the file system allows it), which takes the target's
// name by a rename only when the data, the permission bits and the modification time are in
// place. A failure on the way, a full disk or a killed process leave the target as it was.
#include "platform/posix/file_copy_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

namespace tsl::posix {
namespace {

SysError LastError() { return NativeError(errno); }

SysError Check(const CopyStepCheck& check, CopyStep step) {
  return check ? check(step) : SysError{};
}

// Copies handed to the kernel at once; the step check runs before each.
constexpr std::size_t kChunk = 16u << 20;

class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  /// Closes and reports the outcome (a network file system may report a write error here).
  SysError Close() {
    int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) return LastError();
    return {};
  }

 private:
  int fd_ = -1;
};

// A name for a temporary file in `folder`: ".tsl-", the process id, "-", 8 random hexadecimal
// digits. The process id tells a leftover of a killed copy from the file of a copy under way.
std::string TemporaryName(const std::string& folder) {
  thread_local std::mt19937_64 random{std::random_device{}() ^
                                      static_cast<std::uint64_t>(::getpid())};
  char middle[32];
  std::snprintf(middle, sizeof middle, "%ld-%08x", static_cast<long>(::getpid()),
                static_cast<unsigned>(random() & 0xFFFFFFFFu));
  return folder + kTemporaryPrefix + middle + kTemporarySuffix;
}

// A named temporary file: removed again unless it was renamed into place.
struct NamedTemporary {
  std::string path;
  bool placed = false;
  ~NamedTemporary() {
    if (!path.empty() && !placed) ::unlink(path.c_str());
  }
};

// O_TMPFILE files get their name through /proc/self/fd, which needs /proc.
bool CanNameUnnamedFiles() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
}

// Creates a new file with a fresh temporary name in `folder`.
SysError CreateNamed(const std::string& folder, Descriptor* fd, NamedTemporary* temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = TemporaryName(folder);
    int created = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (created >= 0) {
      fd->Reset(created);
      temporary->path = path;
      return {};
    }
    if (errno != EEXIST) return LastError();
  }
  return NativeError(EEXIST);
}

// An unnamed file in `folder`; false when the file system has none (then a named one is used).
bool CreateUnnamed(const std::string& folder, Descriptor* fd, SysError* error) {
  int created = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (created >= 0) {
    fd->Reset(created);
    return true;
  }
  if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return false;
  *error = LastError();
  return true;
}

// Copies [from, to) of the source to the same offsets of the new file, in chunks: by the kernel
// while it can, else read and written here. `*end` is where the source ended, when it ended
// before `to` (it shrank meanwhile).
SysError CopySegment(int in, int out, std::uint64_t from, std::uint64_t to,
                     const CopyStepCheck& check, bool* kernel, std::vector<char>* buffer,
                     std::uint64_t* end) {
  std::uint64_t at = from;
  while (at < to) {
    if (SysError e = Check(check, CopyStep::kCopyData); e.failed()) return e;
    std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(to - at, kChunk));
    ssize_t n = -1;
    if (*kernel) {
      off_t in_at = static_cast<off_t>(at), out_at = static_cast<off_t>(at);
      n = ::copy_file_range(in, &in_at, out, &out_at, chunk, 0);
      if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                    errno == EBADF)) {
        *kernel = false;  // nothing was copied by this call: the same chunk again, by hand
        buffer->resize(1u << 20);
        continue;
      }
    } else {
      n = ::pread(in, buffer->data(), std::min(chunk, buffer->size()), static_cast<off_t>(at));
      if (n > 0) {
        if (SysError e = WriteAllAt(out, buffer->data(), static_cast<std::size_t>(n), at);
            e.failed()) {
          return e;
        }
      }
    }
    if (n == 0) {
      *end = at;
      return {};
    }
    if (n < 0 && errno != EINTR) return LastError();
    if (n > 0) at += static_cast<std::uint64_t>(n);
  }
  return {};
}

// The data of the source up to `size` (less if it shrinks meanwhile). Only the data segments
// are copied, and the new file is then given its length, so that the holes of a sparse file stay
// holes; where the file system cannot tell holes from data, all of it is one segment.
SysError CopyData(int in, int out, std::uint64_t size, const CopyStepCheck& check) {
  bool kernel = true, seek_data = true;
  std::vector<char> buffer;
  std::uint64_t at = 0, end = size;
  while (at < end) {
    std::uint64_t data = at, hole = end;
    if (seek_data) {
      off_t found = ::lseek(in, static_cast<off_t>(at), SEEK_DATA);
      if (found < 0 && errno == ENXIO) {  // only a hole up to the end of the file
        struct stat now;
        if (::fstat(in, &now) != 0) return LastError();
        end = std::min(end, static_cast<std::uint64_t>(now.st_size));
        break;
      }
      if (found < 0 && errno != EINVAL && errno != EOPNOTSUPP) return LastError();
      if (found < 0) {
        seek_data = false;  // no holes here: the rest is data
      } else {
        data = static_cast<std::uint64_t>(found);
        off_t next_hole = ::lseek(in, found, SEEK_HOLE);
        if (next_hole < 0) return LastError();
        hole = std::min(end, static_cast<std::uint64_t>(next_hole));
      }
    }
    if (data >= end) break;
    if (SysError e = CopySegment(in, out, data, hole, check, &kernel, &buffer, &end);
        e.failed()) {
      return e;
    }
    at = hole;
  }
  if (::ftruncate(out, static_cast<off_t>(end)) != 0) return LastError();
  return {};
}

std::string FolderOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Gives a complete unnamed file a name: the target's, when there is no file of that name yet
// (linkat never replaces); else, with kReplace, a temporary name that is renamed over the
// target once the data is on the disk.
SysError PlaceUnnamed(Descriptor& fd, const std::string& folder, const std::string& to,
                      CopyMode mode, const CopyStepCheck& check) {
  std::string proc_path = "/proc/self/fd/" + std::to_string(fd.get());
  if (::linkat(AT_FDCWD, proc_path.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    if (SysError e = fd.Close(); e.failed()) {
      ::unlink(to.c_str());
      return e;
    }
    return {};
  }
  if (errno != EEXIST || mode == CopyMode::kFailIfExists) return LastError();
  if (SysError e = Check(check, CopyStep::kSync); e.failed()) return e;
  if (::fdatasync(fd.get()) != 0) return LastError();
  NamedTemporary temporary;
  for (int attempt = 0; temporary.path.empty(); ++attempt) {
    std::string name = TemporaryName(folder);
    if (::linkat(AT_FDCWD, proc_path.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temporary.path = name;
    } else if (errno != EEXIST || attempt >= 100) {
      return LastError();
    }
  }
  if (SysError e = fd.Close(); e.failed()) return e;
  if (::rename(temporary.path.c_str(), to.c_str()) != 0) return LastError();
  temporary.placed = true;
  return {};
}

SysError PlaceNamed(Descriptor& fd, NamedTemporary& temporary, const std::string& to, CopyMode mode,
                    const CopyStepCheck& check) {
  if (mode != CopyMode::kFailIfExists && Exists(to)) {
    if (SysError e = Check(check, CopyStep::kSync); e.failed()) return e;
    if (::fdatasync(fd.get()) != 0) return LastError();
  }
  if (SysError e = fd.Close(); e.failed()) return e;
  if (mode != CopyMode::kFailIfExists) {
    if (::rename(temporary.path.c_str(), to.c_str()) != 0) return LastError();
  } else if (::renameat2(AT_FDCWD, temporary.path.c_str(), AT_FDCWD, to.c_str(),
                         RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return LastError();
    // No exchange-free rename on this file system: a hard link refuses to replace too.
    if (::link(temporary.path.c_str(), to.c_str()) != 0) return LastError();
    ::unlink(temporary.path.c_str());
  }
  temporary.placed = true;
  return {};
}

}  // namespace

SysError WriteAllAt(int fd, const char* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return {};
}

SysError WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return {};
}

SysError CopyKeepingTimes(const std::string& from, const std::string& to, CopyMode mode,
                          const CopyStepCheck& check, const CopyOptions& options) {
  if (SysError e = Check(check, CopyStep::kOpenSource); e.failed()) return e;
  // Not blocking: a pipe in the source tree must fail here, not wait for a writer.
  Descriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (in.get() < 0) return LastError();
  struct stat source;
  if (::fstat(in.get(), &source) != 0) return LastError();
  if (S_ISDIR(source.st_mode)) return NativeError(EISDIR);
  if (!S_ISREG(source.st_mode)) return NativeError(EINVAL);
  if (mode == CopyMode::kFailIfExists && Exists(to)) return NativeError(EEXIST);

  std::string folder = FolderOf(to);
  Descriptor out;
  NamedTemporary named;
  if (SysError e = Check(check, CopyStep::kCreateTemporary); e.failed()) return e;
  SysError created;
  bool unnamed =
      options.unnamed_temporary && CanNameUnnamedFiles() && CreateUnnamed(folder, &out, &created);
  if (created.failed()) return created;
  if (!unnamed) {
    if (SysError e = CreateNamed(folder, &out, &named); e.failed()) return e;
  }

  std::uint64_t size = static_cast<std::uint64_t>(source.st_size);
  if (SysError e = CopyData(in.get(), out.get(), size, check); e.failed()) return e;
  if (SysError e = Check(check, CopyStep::kKeepAttributes); e.failed()) return e;
  mode_t permissions = source.st_mode & 07777;
  if (mode == CopyMode::kReplaceContent) {
    struct stat target;
    if (::stat(to.c_str(), &target) != 0) return LastError();
    permissions = target.st_mode & 07777;
  }
  if (::fchmod(out.get(), permissions) != 0) return LastError();
  if (SysError e = Check(check, CopyStep::kKeepTimes); e.failed()) return e;
  struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
  if (::futimens(out.get(), times) != 0) return LastError();
  if (SysError e = Check(check, CopyStep::kPlace); e.failed()) return e;
  return unnamed ? PlaceUnnamed(out, folder, to, mode, check)
                 : PlaceNamed(out, named, to, mode, check);
}

}  // namespace tsl::posix
