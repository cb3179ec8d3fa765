// What the script reader fuzz target does with one input, shared with the test that replays the
// kept inputs. The first byte chooses the mode: an INI-style script read from memory, a registry
// file loaded from disk as it is, or a UTF-16 registry file (the body writes the UTF-16 header
// and the input's bytes follow as UTF-16LE units). Every section is then walked with the getters
// and the action list is built, and the results are checked against the text they came from.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "registry/reg_file.h"
#include "script/script_file.h"

namespace tsl::fuzzing {

/// Lookups that go over a whole section or script are checked for this many sections and lines
/// only, so that a long input does not cost quadratic time per run.
inline constexpr std::size_t kCheckedEntries = 48;

/// The registry header as the UTF-16 files hold it: byte-order mark, the version line and a CR.
inline std::string Utf16RegistryHeaderBytes() {
  std::string header = "\xFF\xFE";
  for (char c : std::string_view("Windows Registry Editor Version 5.00\r")) {
    header += c;
    header += '\0';
  }
  return header;
}

/// When every UTF-16 unit after the byte-order mark is plain ASCII, the 8-bit text any code page
/// gives for it; nothing otherwise.
inline std::optional<std::string> AsciiOfUtf16(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    auto low = static_cast<unsigned char>(bytes[i]);
    if (bytes[i + 1] != '\0' || low == 0 || low >= 0x80) return std::nullopt;
    text += static_cast<char>(low);
  }
  return text;
}

/// The script integer rule as the C library gives it, for numbers short enough not to overflow.
inline std::optional<std::int64_t> LibraryInteger(std::string_view text) {
  std::size_t i = 0;
  constexpr std::string_view kWhiteSpace = " \t\n\r\v\f";
  while (i < text.size() && kWhiteSpace.find(text[i]) != std::string_view::npos) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i + digits < text.size() && text[i + digits] >= '0' && text[i + digits] <= '9') ++digits;
  if (digits > 18) return std::nullopt;
  std::string copy(text.substr(0, i + digits));
  return std::strtoll(copy.c_str(), nullptr, 10);
}

inline bool SameSections(const ScriptFile& a, const ScriptFile& b) {
  if (a.sections().size() != b.sections().size()) return false;
  for (std::size_t i = 0; i < a.sections().size(); ++i) {
    if (a.sections()[i]->name() != b.sections()[i]->name() ||
        a.sections()[i]->lines() != b.sections()[i]->lines()) {
      return false;
    }
  }
  return true;
}

inline void CheckLine(const ScriptSection& section, const std::string& line, bool first,
                      bool registry_mode) {
  std::string::size_type equals = line.find('=');
  Check(equals != std::string::npos && line.find('\n') == std::string::npos);
  if (registry_mode) Check(line[0] == '"' || line[0] == '@');
  std::string_view key = std::string_view(line).substr(0, equals);
  std::string_view own_value = std::string_view(line).substr(equals + 1);
  // The key of any line finds a value: its own, or that of an earlier line with the same key.
  std::optional<std::string_view> found = section.FindValue(key);
  Check(found.has_value());
  if (first) Check(*found == own_value);
  std::string text = "\x01";
  Check(section.GetString(key, &text));
  Check(text == found->substr(0, kMaxScriptValue));
  std::int32_t small = 7;
  std::int64_t large = 7;
  Check(section.GetInt(key, &small) && section.GetInt64(key, &large));
  Check(large == ScriptInteger(*found));
  Check(small == static_cast<std::int32_t>(static_cast<std::uint32_t>(large)));
  if (std::optional<std::int64_t> expected = LibraryInteger(*found)) Check(large == *expected);
}

inline void CheckSections(const ScriptFile& script) {
  const auto& sections = script.sections();
  for (std::size_t i = 0; i < sections.size() && i < kCheckedEntries; ++i) {
    const ScriptSection& section = *sections[i];
    Check(section.name().find(']') == std::string::npos);
    Check(section.name().find('\n') == std::string::npos);
    // Lookups take the first section of a name, which is never after this one.
    const ScriptSection* first = script.FindSection(section.name());
    Check(first != nullptr && cp::EqualsIgnoreCase(first->name(), section.name()));
    bool earlier = false;
    for (std::size_t j = 0; j <= i; ++j) earlier |= sections[j].get() == first;
    Check(earlier);
    const auto& lines = section.lines();
    for (std::size_t j = 0; j < lines.size() && j < kCheckedEntries; ++j) {
      CheckLine(section, lines[j], j == 0, script.registry_mode());
    }
  }
}

struct FuzzAction {
  std::string name;
  std::string mask = "*.*";
  std::int32_t operation = -1;
  std::int64_t min_size = 0;
};

inline void CheckActions(const ScriptFile& script) {
  const int highest = HighestActionNumber(script);
  std::vector<const ScriptSection*> sections = ActionSections(script);
  Check(sections.size() <= script.sections().size());
  // The action sections are those that looking up Action1 .. Action<highest> one by one finds.
  if (highest <= 300) {
    std::vector<const ScriptSection*> plain;
    for (int i = 1; i <= highest; ++i) {
      if (const ScriptSection* s = script.FindSection("Action" + std::to_string(i))) {
        plain.push_back(s);
      }
    }
    Check(plain == sections);
  }
  FuzzAction defaults;
  if (const ScriptSection* section = script.FindSection("Default")) {
    section->GetString("Mask", &defaults.mask);
  }
  std::vector<FuzzAction> actions = BuildActionList<FuzzAction>(
      script, defaults, [](const ScriptSection& section, FuzzAction* action) {
        action->name = section.name();
        section.GetString("Mask", &action->mask);
        section.GetInt("Operation", &action->operation);
        section.GetInt64("Min Size Filter", &action->min_size);
      });
  Check(actions.size() == sections.size());
  for (std::size_t i = 0; i < actions.size(); ++i) {
    Check(actions[i].name == sections[i]->name());
    Check(actions[i].mask.size() <= kMaxScriptValue);
  }
}

/// Loads a registry file from disk and compares the result with what the text gives when
/// parsed directly, where that text is known.
inline void LoadRegistryFile(const std::string& content) {
  if (!ScratchFile::Write(content)) return;
  RegFile reg_file;
  std::string error;
  const RegFileRead read = reg_file.Load(ScratchFile::Path(), &error);
  const ScriptFile& script = reg_file.document();
  const bool converted = reg_file.converted_from_utf16();
  Check(read != RegFileRead::kUnreadable);
  const bool loaded = read == RegFileRead::kLoaded;
  const std::string utf16_header = Utf16RegistryHeaderBytes();
  const bool utf16 = content.compare(0, utf16_header.size(), utf16_header) == 0;
  Check(converted == (utf16 && loaded));
  if (utf16) {
    // No copy is made for the conversion (a file of the old fixed name never appears).
    std::string temporary =
        Files().TempFolder() + NamePart(ScratchFile::Path(), NativePathStyle()) + ".tmp";
    std::uint32_t attributes = 0;
    Check(Files().GetAttributes(temporary, &attributes).failed());
  }
  if (!loaded) {
    Check(script.sections().empty());
    return;
  }
  std::optional<std::string> text;
  if (utf16) text = AsciiOfUtf16(content);
  else text = content;
  if (text) {
    ScriptFile parsed(/*registry_mode=*/true);
    parsed.Parse(*text);
    Check(SameSections(script, parsed));
  }
  CheckSections(script);
  CheckActions(script);
}

inline void RunScriptFuzzInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const std::uint8_t flags = data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (flags % 3) {
    case 0: {
      ScriptFile script;
      script.Parse(text);
      CheckSections(script);
      CheckActions(script);
      break;
    }
    case 1:
      LoadRegistryFile(std::string(text));
      break;
    default:
      LoadRegistryFile(Utf16RegistryHeaderBytes() + std::string(text));
      break;
  }
}

}  // namespace tsl::fuzzing
