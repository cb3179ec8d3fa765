// Standard streams on POSIX: plain reads and writes on descriptors 0, 1 and 2.
#include <unistd.h>

#include <cerrno>

#include "platform/std_streams.h"

namespace tsl {
namespace {

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t written = write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

bool ReadStandardInput(std::string* content) {
  content->clear();
  char buffer[65536];
  while (true) {
    ssize_t got = read(0, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    content->append(buffer, static_cast<std::size_t>(got));
  }
}

void WriteStandardOutput(std::string_view text) { WriteAll(1, text); }
void WriteStandardError(std::string_view text) { WriteAll(2, text); }

}  // namespace tsl
