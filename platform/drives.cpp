#include "platform/drives.h"

namespace tsl {
namespace {

// The table writes space, tab, LF and backslash as `\` and three octal digits.
std::string DecodeMountField(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      std::string_view digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        out += static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) |
                                 (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

}  // namespace

std::vector<MountEntry> ParseMountTable(std::string_view text) {
  std::vector<MountEntry> entries;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (fields.size() < 2 && at < line.size()) {
      std::size_t from = line.find_first_not_of(" \t", at);
      if (from == std::string_view::npos) break;
      std::size_t to = line.find_first_of(" \t", from);
      if (to == std::string_view::npos) to = line.size();
      fields.push_back(line.substr(from, to - from));
      at = to;
    }
    if (fields.size() == 2) {
      entries.push_back(MountEntry{DecodeMountField(fields[0]), DecodeMountField(fields[1])});
    }
  }
  return entries;
}

}  // namespace tsl
