// The real file service on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/posix/file_copy_posix.h"

namespace tsl {
namespace {

SysError LastError() { return NativeError(errno); }

// Owns a file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Attributes as Windows would report them: read-only when the owner may not write, hidden for
// names that begin with a dot, archive on every regular file.
std::uint32_t AttributesOf(const std::string& path, const struct stat& st) {
  std::uint32_t result = 0;
  if (S_ISDIR(st.st_mode)) result |= attr::kDirectory;
  if (S_ISREG(st.st_mode)) result |= attr::kArchive;
  if (!(st.st_mode & S_IWUSR)) result |= attr::kReadOnly;
  std::string::size_type slash = path.find_last_of('/');
  std::string::size_type name_at = slash == std::string::npos ? 0 : slash + 1;
  if (name_at < path.size() && path[name_at] == '.' && path.compare(name_at, 2, "..") != 0 &&
      path.size() - name_at > 1) {
    result |= attr::kHidden;
  }
  return result == 0 ? attr::kNormal : result;
}

// Seconds and nanoseconds since 1970 to 100-ns units since 1601.
FileTime ToFileTime(const struct timespec& ts) {
  constexpr FileTime kEpochDifference = 116444736000000000LL;
  return kEpochDifference + static_cast<FileTime>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}

// A file time as a timespec; 0 leaves the time as it is.
struct timespec ToTimespec(FileTime time) {
  constexpr FileTime kEpochDifference = 116444736000000000LL;
  struct timespec ts;
  if (time == 0) {
    ts.tv_sec = 0;
    ts.tv_nsec = UTIME_OMIT;
    return ts;
  }
  FileTime since_1970 = time - kEpochDifference;
  FileTime seconds = since_1970 / 10000000, rest = since_1970 % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>(rest * 100);
  return ts;
}

class PosixReadableFile : public ReadableFile {
 public:
  PosixReadableFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~PosixReadableFile() override { ::close(fd_); }

  SysError Read(void* buffer, std::size_t size, std::size_t* got) override {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) {
        *got = static_cast<std::size_t>(n);
        return {};
      }
      if (errno != EINTR) {
        *got = 0;
        return LastError();
      }
    }
  }
  std::uint64_t Size() const override { return size_; }
  SysError Seek(std::uint64_t offset) override {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return LastError();
    return {};
  }

 private:
  int fd_;
  std::uint64_t size_;
};

class PosixWritableFile : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }
  ~PosixWritableFile() override {
    if (fd_ >= 0) Close();
  }

  SysError Write(const void* data, std::size_t size) override {
    if (fd_ < 0) return NativeError(EBADF);
    const char* bytes = static_cast<const char*>(data);
    if (buffer_.size() + size > kBufferSize) {
      if (SysError e = Flush(); e.failed()) return e;
      if (size >= kBufferSize) return posix::WriteAll(fd_, bytes, size);
    }
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return {};
  }

  SysError Flush() override {
    if (fd_ < 0) return NativeError(EBADF);
    SysError e = posix::WriteAll(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return e;
  }

  SysError Close() override {
    if (fd_ < 0) return NativeError(EBADF);
    SysError flushed = Flush();
    int rc = ::close(fd_);
    fd_ = -1;
    if (flushed.failed()) return flushed;
    if (rc != 0 && errno != EINTR) return LastError();
    return {};
  }

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;
  int fd_;
  std::vector<char> buffer_;
};

// What fstatat gives, with statx where there is one: asked for only the fields a listing uses,
// the system's work per entry is smaller. A system that refuses statx gets fstatat.
int StatEntry(int dir_fd, const char* name, struct stat* st, int flags) {
#if defined(STATX_BASIC_STATS)
  struct statx x;
  constexpr unsigned kFields =
      STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_INO;
  if (::statx(dir_fd, name, flags, kFields, &x) == 0) {
    *st = {};
    st->st_mode = x.stx_mode;
    st->st_size = static_cast<off_t>(x.stx_size);
    st->st_ino = x.stx_ino;
    st->st_dev = makedev(x.stx_dev_major, x.stx_dev_minor);
    st->st_mtim.tv_sec = x.stx_mtime.tv_sec;
    st->st_mtim.tv_nsec = x.stx_mtime.tv_nsec;
    st->st_atim.tv_sec = x.stx_atime.tv_sec;
    st->st_atim.tv_nsec = x.stx_atime.tv_nsec;
    return 0;
  }
  if (errno != ENOSYS && errno != EPERM) return -1;
#endif
  return ::fstatat(dir_fd, name, st, flags);
}

// What the entry `name` of a folder is: the entry itself (`*own`) and, for a symbolic link, what
// it points to (`*target`, else the entry again). Gone meanwhile, or a link that leads nowhere
// (to nothing, through a file, or in a loop), is `*skip`: no listing holds such an entry. Any
// other failure to look at it is the caller's, so that a folder whose entries cannot be
// examined is never taken for an empty one.
SysError Examine(int dir_fd, const char* name, struct stat* own, struct stat* target, bool* skip) {
  *skip = false;
  if (StatEntry(dir_fd, name, own, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) {
      *skip = true;
      return {};
    }
    return LastError();
  }
  if (!S_ISLNK(own->st_mode)) {
    *target = *own;
    return {};
  }
  if (StatEntry(dir_fd, name, target, 0) != 0) {
    if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) {
      *skip = true;
      return {};
    }
    return LastError();
  }
  return {};
}

void FillEntry(std::string_view name, const struct stat& own, const struct stat& st,
               DirEntry* entry) {
  entry->name = name;
  entry->attributes = AttributesOf(entry->name, st);
  entry->link = S_ISLNK(own.st_mode);
  entry->special = !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
  if (entry->link && S_ISDIR(st.st_mode)) entry->attributes |= attr::kReparsePoint;
  entry->modified = ToFileTime(st.st_mtim);
  entry->accessed = ToFileTime(st.st_atim);
  entry->created = entry->modified;  // POSIX keeps no creation time in struct stat
  entry->size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// The entries of a folder as the system lists them, one at a time. On Linux they are read with
// getdents64 into a buffer of the thread's own, without the status call and the buffer of
// opendir; elsewhere with readdir.
class FolderReader {
 public:
  FolderReader() = default;
  FolderReader(const FolderReader&) = delete;
  FolderReader& operator=(const FolderReader&) = delete;
  ~FolderReader() {
#if defined(__linux__)
    if (fd_ >= 0) ::close(fd_);
#else
    if (dir_) ::closedir(dir_);
#endif
  }

  SysError Open(const std::string& folder) {
#if defined(__linux__)
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return LastError();
#else
    dir_ = ::opendir(folder.c_str());
    if (!dir_) return LastError();
#endif
    return {};
  }

  int fd() const {
#if defined(__linux__)
    return fd_;
#else
    return ::dirfd(dir_);
#endif
  }

  // The next entry's name and type; false at the end of the listing or at an error (`*error`).
  bool Next(const char** name, unsigned char* type, int* error) {
#if defined(__linux__)
    if (at_ == filled_) {
      ssize_t got = ::getdents64(fd_, buffer_.data(), buffer_.size());
      if (got <= 0) {
        *error = got < 0 ? errno : 0;
        return false;
      }
      at_ = 0;
      filled_ = static_cast<std::size_t>(got);
    }
    const auto* d = reinterpret_cast<const struct dirent64*>(buffer_.data() + at_);
    at_ += d->d_reclen;
    *name = d->d_name;
    *type = d->d_type;
    return true;
#else
    errno = 0;
    struct dirent* d = ::readdir(dir_);
    if (!d) {
      *error = errno;
      return false;
    }
    *name = d->d_name;
    *type = d->d_type;
    return true;
#endif
  }

 private:
#if defined(__linux__)
  // The thread's buffer, looked up once a listing rather than once an entry.
  static std::vector<char>& ThreadBuffer() {
    thread_local std::vector<char> buffer(32 * 1024);
    return buffer;
  }
  std::vector<char>& buffer_ = ThreadBuffer();
  int fd_ = -1;
  std::size_t at_ = 0, filled_ = 0;
#else
  DIR* dir_ = nullptr;
#endif
};

// Lists a folder; with `others`, only its folders, and entries that the listing already tells
// are something else are only noted there, without a look at them. The names are read first, so
// that the listing is made at its size in one go.
SysError List(const std::string& folder, std::vector<DirEntry>* entries, bool* others) {
  entries->clear();
  FolderReader reader;
  if (SysError e = reader.Open(folder); e.failed()) return e;
  // The names, each with its closing zero, kept between listings of a thread.
  thread_local std::string names;
  thread_local std::vector<std::size_t> starts;
  names.clear();
  starts.clear();
  const char* name = nullptr;
  unsigned char type = DT_UNKNOWN;
  int read_error = 0;
  while (reader.Next(&name, &type, &read_error)) {
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    bool maybe_folder = type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN;
    if (others && !maybe_folder) {
      *others = true;
      continue;
    }
    starts.push_back(names.size());
    names.append(name, std::strlen(name) + 1);
  }
  SysError failure;
  if (read_error == 0) entries->reserve(starts.size());
  for (std::size_t i = 0; i < starts.size() && read_error == 0; ++i) {
    const char* entry_name = names.data() + starts[i];
    struct stat own, target;
    bool skip = false;
    failure = Examine(reader.fd(), entry_name, &own, &target, &skip);
    if (failure.failed()) break;
    if (skip) {
      // gone meanwhile, or a broken link: not an error of the listing
    } else if (others && !S_ISDIR(target.st_mode)) {
      *others = true;
    } else {
      FillEntry(entry_name, own, target, &entries->emplace_back());
    }
  }
  if (failure.failed() || read_error != 0) {
    entries->clear();  // a part of a folder is never passed off as the whole
    return failure.failed() ? failure : NativeError(read_error);
  }
  return {};
}

class PosixFileSystem : public FileSystem {
 public:

  SysError OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return LastError();
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      SysError e = S_ISDIR(st.st_mode) ? NativeError(EISDIR) : LastError();
      ::close(fd);
      return e;
    }
    *file = std::make_unique<PosixReadableFile>(fd, static_cast<std::uint64_t>(st.st_size));
    return {};
  }

  // Without the status call: a folder opened by mistake fails at its first read (EISDIR).
  SysError OpenListedForReading(const std::string& path, std::uint64_t listed_size,
                                std::unique_ptr<ReadableFile>* file) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return LastError();
    *file = std::make_unique<PosixReadableFile>(fd, listed_size);
    return {};
  }

  SysError OpenForWriting(const std::string& path, WriteMode mode,
                          std::unique_ptr<WritableFile>* file) override {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (mode == WriteMode::kReplace) flags |= O_TRUNC;
    if (mode == WriteMode::kAppend) flags |= O_APPEND;
    if (mode == WriteMode::kCreateNew) flags |= O_EXCL;
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) return LastError();
    *file = std::make_unique<PosixWritableFile>(fd);
    return {};
  }

  SysError ListFolder(const std::string& folder, std::vector<DirEntry>* entries) override {
    return List(folder, entries, nullptr);
  }

  SysError ListSubfolders(const std::string& folder, std::vector<DirEntry>* folders,
                          bool* holds_others) override {
    *holds_others = false;
    return List(folder, folders, holds_others);
  }

  SysError GetEntry(const std::string& path, DirEntry* entry) override {
    struct stat own, st;
    if (::lstat(path.c_str(), &own) != 0) return LastError();
    if (!S_ISLNK(own.st_mode)) {
      st = own;
    } else if (::stat(path.c_str(), &st) != 0) {
      return LastError();
    }
    std::string::size_type slash = path.find_last_of('/');
    FillEntry(slash == std::string::npos ? path : path.substr(slash + 1), own, st, entry);
    return {};
  }

  SysError GetIdentity(const std::string& path, FileIdentity* identity) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return LastError();
    identity->volume = static_cast<std::uint64_t>(st.st_dev);
    identity->index = static_cast<std::uint64_t>(st.st_ino);
    return {};
  }

  SysError GetAttributes(const std::string& path, std::uint32_t* attributes) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return LastError();
    *attributes = AttributesOf(path, st);
    return {};
  }

  // Only the read-only bit has a POSIX counterpart: the write permissions. A folder keeps its
  // write permission: on Windows a read-only folder still takes new files, here it would not. A
  // symbolic link has no permissions of its own, and nothing is ever changed through one: the
  // path is opened without following it, and what was looked at is what is changed.
  SysError SetAttributes(const std::string& path, std::uint32_t attributes) override {
    Descriptor fd(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) return LastError();
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return LastError();
    if (S_ISLNK(st.st_mode)) return {};
    mode_t mode = st.st_mode & 07777;
    if ((attributes & attr::kReadOnly) && !S_ISDIR(st.st_mode)) {
      mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    } else {
      mode |= S_IWUSR;
    }
    if (mode == (st.st_mode & 07777)) return {};
    // fchmod refuses O_PATH descriptors; their /proc name reaches the same file.
    std::string proc_path = "/proc/self/fd/" + std::to_string(fd.get());
    if (::chmod(proc_path.c_str(), mode) == 0) return {};
    if (errno != ENOENT) return LastError();
    // No /proc: the path again, which the system refuses to follow if it became a link.
    if (::fchmodat(AT_FDCWD, path.c_str(), mode, AT_SYMLINK_NOFOLLOW) != 0) return LastError();
    return {};
  }

  // The times of the path itself: those of a link are the link's.
  SysError SetTimes(const std::string& path, FileTime accessed, FileTime modified) override {
    struct timespec times[2] = {ToTimespec(accessed), ToTimespec(modified)};
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return LastError();
    return {};
  }

  std::string CurrentFolder() override {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return ".";
      buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
  }

  std::string TempFolder() override {
    const char* dir = ::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
  }

  SysError CreateTempFile(const std::string& folder, const std::string& prefix,
                          std::string* path) override {
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '/') pattern += '/';
    pattern += prefix + "XXXXXX.tmp";
    int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0) return LastError();
    ::close(fd);
    *path = pattern;
    return {};
  }

  SysError RemoveFile(const std::string& path) override {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return LastError();
    return {};
  }

  SysError MakeFolder(const std::string& path) override {
    if (::mkdir(path.c_str(), 0777) != 0) return LastError();
    return {};
  }

  SysError RemoveFolder(const std::string& path) override {
    if (::rmdir(path.c_str()) != 0) return LastError();
    return {};
  }

  SysError Rename(const std::string& from, const std::string& to, bool replace) override {
    if (replace) {
      if (::rename(from.c_str(), to.c_str()) != 0) return LastError();
      return {};
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS) return LastError();
    // The file system cannot refuse to replace by itself: check first.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) return NativeError(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return LastError();
    return {};
  }

  SysError CopyFileKeepingTimes(const std::string& from, const std::string& to, CopyMode mode,
                                const CopyStepCheck& check) override {
    return posix::CopyKeepingTimes(from, to, mode, check);
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem instance;
  return instance;
}

SysError MakeExecutable(const std::string& path) {
  if (::chmod(path.c_str(), 0755) != 0) return InContext(LastError(), "MakeExecutable", path);
  return {};
}

}  // namespace tsl
