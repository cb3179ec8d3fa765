// Standard streams on Windows: the C runtime's streams switched to binary mode, so that LF is
// not turned into CR LF on the way out nor CR LF into LF on the way in.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/std_streams.h"

namespace tsl {
namespace {

void WriteAll(std::FILE* stream, std::string_view text) {
  _setmode(_fileno(stream), _O_BINARY);
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

bool ReadStandardInput(std::string* content) {
  content->clear();
  _setmode(_fileno(stdin), _O_BINARY);
  char buffer[65536];
  while (true) {
    std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
    content->append(buffer, got);
    if (got < sizeof buffer) return std::ferror(stdin) == 0;
  }
}

void WriteStandardOutput(std::string_view text) { WriteAll(stdout, text); }
void WriteStandardError(std::string_view text) { WriteAll(stderr, text); }

}  // namespace tsl
