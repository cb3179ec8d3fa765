// The reader of script files: bracketed sections of `key=value` lines, in 8-bit text.
//
// A section keeps every line that holds `=`, whole and in file order; a lookup takes the first
// line that begins with the key (ignoring letter case) directly followed by `=`. There is no
// comment syntax and nothing is trimmed: ` Mask=x` and `Mask =x` never match the key `Mask`.
// In registry-file mode the same reader parses the text of `.REG` files (the registry job reads
// and converts them).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsl {

/// Text values longer than this are cut to it.
inline constexpr std::size_t kMaxScriptValue = 1023;

class ScriptSection {
 public:
  explicit ScriptSection(std::string name) : name_(std::move(name)) {}

  /// The text between the brackets, exactly as written.
  const std::string& name() const { return name_; }
  /// The key lines, whole, in file order.
  const std::vector<std::string>& lines() const { return lines_; }
  void AddLine(std::string line) { lines_.push_back(std::move(line)); }
  /// Removes key line number `index` (nothing when there is none).
  void RemoveLine(std::size_t index) {
    if (index < lines_.size()) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
  }

  /// The value of the first line for `key` (everything after its first `=`), or nothing.
  std::optional<std::string_view> FindValue(std::string_view key) const;

  /// On a match, `value` receives the value (at most kMaxScriptValue bytes) and the result is
  /// true; otherwise `value` is left as it was.
  bool GetString(std::string_view key, std::string* value) const;
  /// On a match, `value` receives the value as a decimal integer (leading white space, an
  /// optional sign, the digits that follow; no digits give 0); otherwise it is left as it was.
  bool GetInt(std::string_view key, std::int32_t* value) const;
  bool GetInt64(std::string_view key, std::int64_t* value) const;

 private:
  std::string name_;
  std::vector<std::string> lines_;
};

class ScriptFile {
 public:
  explicit ScriptFile(bool registry_mode = false) : registry_mode_(registry_mode) {}

  /// Reads a script. False when the file cannot be opened or read (`*error` then holds the
  /// message for the user) or is empty (`*error` is left as it was).
  bool Load(const std::string& path, std::string* error);
  /// Parses a script already read from `path`; false when the text is empty.
  bool LoadText(const std::string& path, std::string_view text);

  /// The first section whose name equals `name` ignoring letter case; with `create`, a new
  /// empty section at the end when there is none.
  ScriptSection* FindSection(std::string_view name, bool create = false);
  const ScriptSection* FindSection(std::string_view name) const;

  bool GetInt(std::string_view section, std::string_view key, std::int32_t* value) const;

  const std::string& path() const { return path_; }
  bool registry_mode() const { return registry_mode_; }
  const std::vector<std::unique_ptr<ScriptSection>>& sections() const { return sections_; }

  /// Adds the sections of a text to those already read.
  void Parse(std::string_view text);

 private:
  bool registry_mode_;
  std::string path_;
  std::vector<std::unique_ptr<ScriptSection>> sections_;
};

/// Converts a text to an integer by the script rules (leading white space, optional sign,
/// decimal digits, stop at anything else; overflow wraps).
std::int64_t ScriptInteger(std::string_view text);

/// The highest N among sections named "Action<N>" (the first six characters compared ignoring
/// case, N converted by the script integer rule); 0 when there is none.
int HighestActionNumber(const ScriptFile& script);

/// The action sections in running order: for i = 1..HighestActionNumber, the first section
/// named "Action<i>" (ignoring case), when there is one.
std::vector<const ScriptSection*> ActionSections(const ScriptFile& script);

/// The action list: for each action section, in running order, a copy of `defaults` with that
/// section overlaid. `defaults` should already hold the built-in defaults and the `Default`
/// section.
template <typename Record>
std::vector<Record> BuildActionList(
    const ScriptFile& script, const Record& defaults,
    const std::function<void(const ScriptSection&, Record*)>& overlay) {
  std::vector<Record> actions;
  for (const ScriptSection* section : ActionSections(script)) {
    Record record = defaults;
    overlay(*section, &record);
    actions.push_back(std::move(record));
  }
  return actions;
}

}  // namespace tsl
