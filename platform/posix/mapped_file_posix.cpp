// MappedFile on POSIX systems: mmap of the size fstat gives for the descriptor that is mapped.
//
// Touching a mapped page that cannot be read (beyond the end of a file shortened meanwhile, or
// on a failing disk) raises SIGBUS. While a mapping is guarded, the handler puts a page of zeros
// in place of the one that failed and marks the mapping, whose owner reports an I/O error.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

#include "platform/mapped_file.h"

namespace tsl {
namespace {

// The guarded mappings. An entry is taken by setting its start; the handler reads them without
// locks, so every field is a lock-free atomic.
struct Guard {
  std::atomic<char*> start{nullptr};
  std::atomic<std::size_t> size{0};
  std::atomic<bool> failed{false};
};
Guard g_guards[MappedFile::kGuardedMappings];
std::size_t g_page_size = 4096;
struct sigaction g_previous_action;

void OnBusError(int signal, siginfo_t* info, void* context) {
  char* at = static_cast<char*>(info->si_addr);
  for (Guard& guard : g_guards) {
    char* start = guard.start.load();
    if (start == nullptr || at < start || at >= start + guard.size.load()) continue;
    char* page = start + static_cast<std::size_t>(at - start) / g_page_size * g_page_size;
    if (::mmap(page, g_page_size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      guard.failed.store(true);
      return;  // the access is made again, and reads zeros
    }
  }
  // Not a mapping of ours: the fault happens again under the disposition there was before.
  (void)signal;
  (void)context;
  ::sigaction(SIGBUS, &g_previous_action, nullptr);
}

void InstallHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0) g_page_size = static_cast<std::size_t>(page);
    struct sigaction action = {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previous_action);
  });
}

// The entry that now guards `start`, or -1 when every entry is taken.
int StartGuarding(char* start, std::size_t size) {
  InstallHandler();
  for (int i = 0; i < MappedFile::kGuardedMappings; ++i) {
    char* none = nullptr;
    if (g_guards[i].start.compare_exchange_strong(none, start)) {
      g_guards[i].failed.store(false);
      g_guards[i].size.store(size);
      return i;
    }
  }
  return -1;
}

}  // namespace

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
      guard_ = StartGuarding(static_cast<char*>(at), size);
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

SysError MappedFile::PageFailure() const {
  if (guard_ < 0 || !g_guards[guard_].failed.load()) return {};
  return InContext(NativeError(EIO), "MapFile", path_);
}

void MappedFile::Release() {
  if (guard_ >= 0) g_guards[guard_].start.store(nullptr);
  if (mapping_) ::munmap(mapping_, size_);
  guard_ = -1;
  mapping_ = nullptr;
  buffer_.reset();
  data_ = "";
  size_ = 0;
}

}  // namespace tsl
