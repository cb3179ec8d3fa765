#include "script/script_file.h"

#include <algorithm>
#include <set>

#include "platform/code_page.h"
#include "platform/file_error.h"
#include "platform/file_system.h"

namespace tsl {
namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool AsciiEqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// Splits the buffer into lines at LF, dropping a CR before it.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    else if (end > start && text[end - 1] == '\r') --end;
    lines.push_back(text.substr(start, end - start));
    start = next;
  }
  return lines;
}

}  // namespace

std::int64_t ScriptInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t value = 0;  // unsigned, so that an overlong number wraps instead of overflowing
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + static_cast<std::uint64_t>(text[i++] - '0');
  }
  return static_cast<std::int64_t>(negative ? 0 - value : value);
}

std::optional<std::string_view> ScriptSection::FindValue(std::string_view key) const {
  for (const std::string& line : lines_) {
    if (line.size() > key.size() && line[key.size()] == '=' &&
        cp::EqualsIgnoreCase(std::string_view(line).substr(0, key.size()), key)) {
      return std::string_view(line).substr(key.size() + 1);
    }
  }
  return std::nullopt;
}

bool ScriptSection::GetString(std::string_view key, std::string* value) const {
  std::optional<std::string_view> found = FindValue(key);
  if (!found) return false;
  *value = std::string(found->substr(0, kMaxScriptValue));
  return true;
}

bool ScriptSection::GetInt(std::string_view key, std::int32_t* value) const {
  std::optional<std::string_view> found = FindValue(key);
  if (!found) return false;
  *value = static_cast<std::int32_t>(static_cast<std::uint32_t>(ScriptInteger(*found)));
  return true;
}

bool ScriptSection::GetInt64(std::string_view key, std::int64_t* value) const {
  std::optional<std::string_view> found = FindValue(key);
  if (!found) return false;
  *value = ScriptInteger(*found);
  return true;
}

bool ScriptFile::Load(const std::string& path, std::string* error) {
  std::string text;
  SysError e = Files().ReadWholeFile(path, &text);
  if (e.failed()) {
    sections_.clear();
    path_ = path;
    *error = StandardFileErrorText(e, path);
    return false;
  }
  return LoadText(path, text);
}

bool ScriptFile::LoadText(const std::string& path, std::string_view text) {
  sections_.clear();
  path_ = path;
  if (text.empty()) return false;
  Parse(text);
  return true;
}

void ScriptFile::Parse(std::string_view text) {
  std::vector<std::string_view> lines = SplitLines(text);
  ScriptSection* current = nullptr;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line(lines[i]);
    // A registry value may go on over several lines, each but the last ending in a backslash.
    while (registry_mode_ && !line.empty() && line.back() == '\\' && i + 1 < lines.size()) {
      line.pop_back();
      std::string_view next = lines[++i];
      while (!next.empty() && IsWhiteSpace(next.front())) next.remove_prefix(1);
      line.append(next);
    }
    if (registry_mode_ && !line.empty() && line.back() == '\\') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '[') {
      std::string::size_type close = line.find(']');
      if (close != std::string::npos) {
        sections_.push_back(std::make_unique<ScriptSection>(line.substr(1, close - 1)));
        current = sections_.back().get();
      }
      continue;
    }
    if (!current || line.find('=') == std::string::npos) continue;
    if (registry_mode_ && line[0] != '"' && line[0] != '@') continue;
    current->AddLine(std::move(line));
  }
}

ScriptSection* ScriptFile::FindSection(std::string_view name, bool create) {
  for (auto& section : sections_) {
    if (AsciiEqualsIgnoreCase(section->name(), name)) return section.get();
  }
  if (!create) return nullptr;
  sections_.push_back(std::make_unique<ScriptSection>(std::string(name)));
  return sections_.back().get();
}

const ScriptSection* ScriptFile::FindSection(std::string_view name) const {
  for (const auto& section : sections_) {
    if (AsciiEqualsIgnoreCase(section->name(), name)) return section.get();
  }
  return nullptr;
}

bool ScriptFile::GetInt(std::string_view section, std::string_view key,
                        std::int32_t* value) const {
  const ScriptSection* found = FindSection(section);
  return found && found->GetInt(key, value);
}

int HighestActionNumber(const ScriptFile& script) {
  bool any = false;
  std::int32_t highest = 0;
  for (const auto& section : script.sections()) {
    const std::string& name = section->name();
    if (name.size() < 6 || !AsciiEqualsIgnoreCase(std::string_view(name).substr(0, 6), "Action")) {
      continue;
    }
    auto number = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(ScriptInteger(std::string_view(name).substr(6))));
    highest = any ? std::max(highest, number) : number;
    any = true;
  }
  return any ? highest : 0;
}

// Equivalent to looking up "Action1" .. "Action<highest>" one by one, but visits only numbers
// that some section is named after, so that a section named Action2000000000 costs nothing.
std::vector<const ScriptSection*> ActionSections(const ScriptFile& script) {
  int highest = HighestActionNumber(script);
  std::set<int> present;
  for (const auto& section : script.sections()) {
    const std::string& name = section->name();
    if (name.size() < 7 || name.size() > 16) continue;
    std::string_view digits = std::string_view(name).substr(6);
    if (digits[0] < '1' || digits[0] > '9' ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    std::int64_t number = ScriptInteger(digits);
    if (number <= highest) present.insert(static_cast<int>(number));
  }
  std::vector<const ScriptSection*> sections;
  for (int number : present) {
    if (const ScriptSection* s = script.FindSection("Action" + std::to_string(number))) {
      sections.push_back(s);
    }
  }
  return sections;
}

}  // namespace tsl
