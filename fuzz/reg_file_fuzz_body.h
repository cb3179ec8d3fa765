// What the .REG file fuzz target does with one input, shared with the test that replays the kept
// inputs. The first byte's bit 0 makes the input a UTF-16 file: the body writes the UTF-16
// header and the input's bytes follow as UTF-16LE units. The text is loaded as a .REG file in
// memory, its value lines listed and parsed (each value must survive being written and read
// again) and one line removed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "fuzz/reg_value_fuzz_body.h"
#include "platform/code_page.h"
#include "registry/reg_file.h"

namespace tsl::fuzzing {

/// Value lines checked per input, so that a long input does not cost quadratic time per run.
inline constexpr std::size_t kCheckedValueLines = 64;

inline std::string Utf16RegFileHeader() {
  std::string header = "\xFF\xFE";
  for (char c : std::string_view("Windows Registry Editor Version 5.00\r")) {
    header += c;
    header += '\0';
  }
  return header;
}

inline void RunRegFileFuzzInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const bool utf16 = (data[0] & 1) != 0;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (utf16) text = Utf16RegFileHeader() + text;
  RegFile file;
  const bool loaded = file.LoadText("fuzz.reg", text);
  Check(file.converted_from_utf16() == (utf16 && loaded));
  if (!utf16) Check(loaded == (cp::StartsWithIgnoreCase(text, "REGEDIT4")));
  if (!loaded) {
    Check(file.document().sections().empty());
    return;
  }
  std::size_t stored = 0;
  for (const auto& section : file.document().sections()) stored += section->lines().size();
  const std::vector<RegFile::Line> lines = file.ValueLines();
  Check(lines.size() == stored);
  for (std::size_t i = 0; i < lines.size() && i < kCheckedValueLines; ++i) {
    const RegFile::Line& line = lines[i];
    Check(!line.text.empty() && (line.text[0] == '"' || line.text[0] == '@'));
    Check(line.text.find('\n') == std::string::npos);
    Check(line.key_path.find(']') == std::string::npos);
    const RegValueLine value = ParseRegValue(line.text, file.converted_from_utf16());
    CheckValueRoundTrip(value);
  }
  if (!lines.empty()) {
    const std::size_t removed = lines.size() / 2;
    file.RemoveValueLine(removed);
    const std::vector<RegFile::Line> after = file.ValueLines();
    Check(after.size() == lines.size() - 1);
    if (removed < after.size()) Check(after[removed].text == lines[removed + 1].text);
  }
}

}  // namespace tsl::fuzzing
