// What the .REG value line fuzz target does with one input, shared with the test that replays
// the kept inputs. The first byte's bit 0 says whether the line comes from a UTF-16 file; the
// rest is the line. A value the line sets must come back unchanged from the line the writer
// makes of it, and from that line's wrapped form as the reader joins it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "registry/reg_file.h"
#include "script/script_file.h"

namespace tsl::fuzzing {

/// The physical lines of a wrapped value line joined again as the loader joins them.
inline std::string JoinedAsLoaded(const std::string& wrapped) {
  ScriptFile file(/*registry_mode=*/true);
  file.Parse("[k]\r\n" + wrapped);
  Check(file.sections().size() == 1 && file.sections()[0]->lines().size() == 1);
  return file.sections()[0]->lines()[0];
}

/// Checks that what `line` sets is what the writer's line for it sets again.
inline void CheckValueRoundTrip(const RegValueLine& line) {
  if (line.kind != RegValueLine::Kind::kSet) return;
  const std::string written = FormatRegValueLine(&line.name, line.type, &line.data);
  const RegValueLine again = ParseRegValue(written, /*from_utf16=*/false);
  Check(again.kind == RegValueLine::Kind::kSet);
  Check(again.name == line.name && again.type == line.type && again.data == line.data);
  // Names holding line ends cannot stand in a file; every other hex line survives wrapping.
  if (!RegValueWrittenAsHex(line.type, line.data)) return;
  if (written.find_first_of("\r\n") != std::string::npos) return;
  const std::string wrapped = WrapRegValueLine(written, line.name.size());
  std::size_t start = 0;
  while (start < wrapped.size()) {
    std::size_t end = wrapped.find("\r\n", start);
    Check(end != std::string::npos);
    // 80 columns: at most 79 characters and the `\\`, unless a long name goes first whole or
    // the name's white space leaves no cut that the loader would join back.
    Check(end - start <= 80 || (start == 0 && line.name.size() > 76) ||
          line.name.find_first_of(" \t\v\f") != std::string::npos);
    start = end + 2;
  }
  Check(JoinedAsLoaded(wrapped) == written);
}

inline void RunRegValueFuzzInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const bool from_utf16 = (data[0] & 1) != 0;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const RegValueLine line = ParseRegValue(text, from_utf16);
  switch (line.kind) {
    case RegValueLine::Kind::kSet:
      CheckValueRoundTrip(line);
      break;
    case RegValueLine::Kind::kReference:
      Check(text.find("HKEY_") != std::string_view::npos);
      Check(line.reference_key.find('"') == std::string::npos);
      break;
    case RegValueLine::Kind::kDelete:
    case RegValueLine::Kind::kInvalid:
      Check(line.data.empty() && line.type == 0);
      break;
  }
  if (!text.empty() && text[0] != '"' && text[0] != '@') {
    Check(line.kind == RegValueLine::Kind::kInvalid);
  }
}

}  // namespace tsl::fuzzing
