// Reading synchronization scripts into SynchSettings.
#include "synch/synch_settings.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/code_page.h"
#include "platform/environment.h"

namespace tsl {
namespace {

// A key of a section and the setting it fills.
template <typename Value>
struct Key {
  const char* key;
  Value SynchSettings::*field;
};
using IntKey = Key<std::int32_t>;
using SwitchKey = Key<bool>;
using TextKey = Key<std::string>;

const IntKey kActionInts[] = {
    {"Operation", &SynchSettings::operation},
    {"Skip Files Mask", &SynchSettings::skip_attributes},
    {"Reverse Filters", &SynchSettings::reverse_filters},
    {"Ignore Attributes", &SynchSettings::ignored_attributes},
    {"Sort Compare", &SynchSettings::sort_key},
};

const SwitchKey kActionSwitches[] = {
    {"Search_subdir", &SynchSettings::search_subfolders},
    {"Show Different", &SynchSettings::show_different},
    {"Show Identical", &SynchSettings::show_identical},
    {"Show Files in 1 Dir", &SynchSettings::show_files_in_one_folder},
    {"Use OS Operations", &SynchSettings::use_system_operations},
    {"Match In Subdir", &SynchSettings::match_in_subfolders},
    {"Confirm Updates", &SynchSettings::confirm_updates},
    {"Newer Overwrite", &SynchSettings::newer_overwrite},
    {"Older Overwrite", &SynchSettings::older_overwrite},
    {"Check Same Size Files", &SynchSettings::check_same_size_files},
    {"Group Files", &SynchSettings::group_files},
    {"Case Sensitive", &SynchSettings::case_sensitive},
    {"Sort Type", &SynchSettings::sort_ascending},
    {"Always Show Archives in 1 Dir View", &SynchSettings::archives_in_one_folder_view},
    {"Append to Output File", &SynchSettings::append_to_output},
    {"Ignore Whitespace Compare", &SynchSettings::ignore_whitespace},
    {"Ignore Case Compare", &SynchSettings::ignore_case},
    {"Show progress", &SynchSettings::show_progress},
    {"Display Error Messages", &SynchSettings::display_error_messages},
    {"Allow Cancel", &SynchSettings::allow_cancel},
};

const TextKey kActionTexts[] = {
    {"Mask", &SynchSettings::mask},
    {"Path1", &SynchSettings::source_folder},
    {"Path2", &SynchSettings::target_folder},
    {"Output File", &SynchSettings::output_file},
    {"Display Columns", &SynchSettings::display_columns},
    {"Output Columns", &SynchSettings::output_columns},
    {"Destination Path", &SynchSettings::destination_folder},
    {"Custom Message", &SynchSettings::custom_message},
    {"Bitmap File", &SynchSettings::bitmap_file},
};

const IntKey kOptionsInts[] = {
    {"Filter Skip Mask", &SynchSettings::skip_attributes},
    {"Reverse Filters", &SynchSettings::reverse_filters},
    {"Ignored Attributes Mask", &SynchSettings::ignored_attributes},
    {"Sort Compare", &SynchSettings::sort_key},
};

const SwitchKey kOptionsSwitches[] = {
    {"Search Subdirectories", &SynchSettings::search_subfolders},
    {"Show Different", &SynchSettings::show_different},
    {"Show Identical", &SynchSettings::show_identical},
    {"Show Files in 1 Dir", &SynchSettings::show_files_in_one_folder},
    {"Match In Subdir", &SynchSettings::match_in_subfolders},
    {"Confirm Updates", &SynchSettings::confirm_updates},
    {"Newer Overwrite", &SynchSettings::newer_overwrite},
    {"Older Overwrite", &SynchSettings::older_overwrite},
    {"Check Same Size Files", &SynchSettings::check_same_size_files},
    {"Group Files", &SynchSettings::group_files},
    {"Case Sensitive", &SynchSettings::case_sensitive},
    {"Sort Type", &SynchSettings::sort_ascending},
    {"Append to Output File", &SynchSettings::append_to_output},
    {"Ignore Whitespace Compare", &SynchSettings::ignore_whitespace},
    {"Ignore Case Compare", &SynchSettings::ignore_case},
    {"Display Error Messages", &SynchSettings::display_error_messages},
};

const TextKey kOptionsTexts[] = {
    {"Log File", &SynchSettings::output_file},
    {"Output Columns", &SynchSettings::output_columns},
};

bool ReadValue(const ScriptSection& section, const char* key, std::int32_t* value) {
  return section.GetInt(key, value);
}
bool ReadValue(const ScriptSection& section, const char* key, std::string* value) {
  return section.GetString(key, value);
}
// A switch is on when its number (read as a 32-bit integer) is not 0.
bool ReadValue(const ScriptSection& section, const char* key, bool* value) {
  std::int32_t number = 0;
  if (!section.GetInt(key, &number)) return false;
  *value = number != 0;
  return true;
}

// Each key present in the section sets its setting; the others are left as they are.
template <typename Value, std::size_t kCount>
void ReadKeys(const ScriptSection& section, const Key<Value> (&keys)[kCount],
              SynchSettings* settings) {
  for (const Key<Value>& k : keys) ReadValue(section, k.key, &(settings->*(k.field)));
}

// A number of seconds: whole, not negative, and small enough for the time arithmetic. Anything
// else (a negative precision would call an older file newer, and a number past 2^31 used to wrap
// to a negative one) refuses the job, with a message that names the key and the value.
constexpr std::int64_t kMostSeconds = std::numeric_limits<std::int32_t>::max();

std::optional<std::int64_t> SecondsValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kMostSeconds + (negative ? 1 : 0)) return std::nullopt;  // a 32-bit number
  }
  return negative ? -value : value;
}

void RefuseSeconds(const char* key, const std::string& value, SynchSettings* settings) {
  if (settings->refusal.empty()) {
    settings->refusal = std::string(key) + "=" + value +
                        " is not a number of seconds from 0 to 2147483647: the action is not run.";
  }
}

// An action's own valid value overrides a refusal that it inherited from the defaults.
void AcceptSeconds(const char* key, SynchSettings* settings) {
  std::string prefix = std::string(key) + "=";
  if (settings->refusal.compare(0, prefix.size(), prefix) == 0) settings->refusal.clear();
}

void ReadPrecision(const ScriptSection& section, SynchSettings* settings) {
  constexpr const char* kKey = "Time Check Precision";
  std::string text;
  if (!section.GetString(kKey, &text)) return;
  std::optional<std::int64_t> seconds = SecondsValue(text);
  if (!seconds || *seconds < 0) return RefuseSeconds(kKey, text, settings);
  settings->time_precision = static_cast<std::int32_t>(*seconds);
  AcceptSeconds(kKey, settings);
}

void ReadDate(const ScriptSection& section, const char* key, bool end_of_day,
              const SettingsReaders& readers, FileTime* out) {
  std::string text;
  if (!section.GetString(key, &text) || !readers.read_date) return;
  if (std::optional<FileTime> time = readers.read_date(text, end_of_day)) *out = *time;
}

std::string Decoded(const SettingsReaders& readers, const std::string& text) {
  return readers.decode_controls ? readers.decode_controls(text) : text;
}

void ReadOptionsSection(const ScriptSection& section, const SettingsReaders& readers,
                        SynchSettings* settings) {
  ReadKeys(section, kOptionsInts, settings);
  ReadKeys(section, kOptionsSwitches, settings);
  ReadPrecision(section, settings);
  ReadKeys(section, kOptionsTexts, settings);
  section.GetInt64("Filter Min Size", &settings->min_size);
  section.GetInt64("Filter Max Size", &settings->max_size);
  ReadDate(section, "Filter Min Date", false, readers, &settings->min_date);
  ReadDate(section, "Filter Max Date", false, readers, &settings->max_date);
}

// The keys of an Options section that take the value of each line as it comes (the last line
// wins).
void ReadOptionsLine(const std::string& key, const std::string& value, SynchSettings* settings) {
  if (cp::EqualsIgnoreCase(key, "Allow Cancel")) {
    settings->allow_cancel = static_cast<std::int32_t>(ScriptInteger(value)) != 0;
  } else if (cp::EqualsIgnoreCase(key, "Bitmap")) {
    settings->bitmap_file = value;
  } else if (cp::EqualsIgnoreCase(key, "Force Copy")) {
    settings->force_copy = static_cast<std::int32_t>(ScriptInteger(value)) != 0;
  } else if (cp::EqualsIgnoreCase(key, "Message")) {
    settings->custom_message = value;
  } else if (cp::EqualsIgnoreCase(key, "No Progress")) {
    settings->show_progress = ScriptInteger(value) == 0;
  } else if (cp::EqualsIgnoreCase(key, "Synch Option") && !value.empty()) {
    if (std::optional<int> code = SynchOptionCode(value)) settings->operation = *code;
  }
}

void ReadDirectoryInfoLine(const std::string& key, const std::string& value,
                           SynchSettings* settings) {
  std::string& mask = settings->mask;
  if (cp::EqualsIgnoreCase(key, "Exclude Mask")) {
    mask += "~" + value + ";";
  } else if (cp::EqualsIgnoreCase(key, "Include Mask") && value != mask) {
    if (!mask.empty() && mask.back() != ';') mask += ';';
    mask += value + ";";
  }
}

}  // namespace

std::optional<int> SynchOptionCode(const std::string& value) {
  static const std::pair<const char*, int> kKeywords[] = {
      {"Synch", 0}, {"Augment", 1},   {"Refresh", 2},   {"Update", 3},
      {"Prune", 4}, {"Identical", 5}, {"Make dirs", 7}, {"Delete Empty", 8},
  };
  if (value.empty()) return std::nullopt;
  for (const auto& [keyword, code] : kKeywords) {
    std::string_view k(keyword);
    if (cp::ToUpper(static_cast<unsigned char>(value[0])) !=
        cp::ToUpper(static_cast<unsigned char>(k[0]))) {
      continue;
    }
    // The first letter chooses the keyword; the value must then begin with all of it.
    if (value.size() >= k.size() &&
        cp::EqualsIgnoreCase(std::string_view(value).substr(0, k.size()), k)) {
      return code;
    }
    return std::nullopt;
  }
  return std::nullopt;
}

void ReadActionSection(const ScriptSection& section, const SettingsReaders& readers,
                       SynchSettings* settings) {
  ReadKeys(section, kActionInts, settings);
  ReadKeys(section, kActionSwitches, settings);
  ReadPrecision(section, settings);
  ReadKeys(section, kActionTexts, settings);
  constexpr const char* kOffsetKey = "Add Seconds To Second Dir";
  if (std::string text; section.GetString(kOffsetKey, &text)) {
    std::optional<std::int64_t> offset = SecondsValue(text);
    if (offset) {
      // A distance: its sign does not matter.
      settings->second_folder_offset =
          static_cast<std::int32_t>(std::min(*offset < 0 ? -*offset : *offset, kMostSeconds));
      AcceptSeconds(kOffsetKey, settings);
    } else {
      RefuseSeconds(kOffsetKey, text, settings);
    }
  }
  section.GetInt64("Min Size Filter", &settings->min_size);
  section.GetInt64("Max Size Filter", &settings->max_size);
  ReadDate(section, "Min Date Filter", false, readers, &settings->min_date);
  ReadDate(section, "Max Date Filter", true, readers, &settings->max_date);
  std::string text;
  if (section.GetString("Output Header", &text)) settings->output_header = Decoded(readers, text);
  if (section.GetString("Output Footer", &text)) settings->output_footer = Decoded(readers, text);
}

bool ReadDirectoryInfo(const ScriptFile& script, const SettingsReaders& readers,
                       SynchSettings* settings) {
  bool is_directory_info = false;
  const ScriptSection* folders_read = nullptr;
  settings->mask.clear();
  for (const std::unique_ptr<ScriptSection>& section : script.sections()) {
    bool directory_info = cp::EqualsIgnoreCase(section->name(), "Directory Info");
    bool options = cp::EqualsIgnoreCase(section->name(), "Options");
    if (!directory_info && !options) continue;
    // The getters take the first matching line, so reading them once per section is the same as
    // reading them at every line (and shows a date message only once).
    if (options && !section->lines().empty()) ReadOptionsSection(*section, readers, settings);
    for (const std::string& line : section->lines()) {
      std::string::size_type equals = line.find('=');
      if (equals == std::string::npos) continue;
      std::string key = line.substr(0, equals), value = line.substr(equals + 1);
      if (directory_info) {
        // The folders' getters take the first matching line: read once, at the section's first
        // line with a value, they give what a read at every line would, without going over the
        // section once per line.
        if (section.get() != folders_read) {
          section->GetString("Source", &settings->source_folder);
          section->GetString("Target", &settings->target_folder);
          section->GetString("Destination", &settings->destination_folder);
          folders_read = section.get();
        }
        is_directory_info = true;
        ReadDirectoryInfoLine(key, value, settings);
      } else {
        ReadOptionsLine(key, value, settings);
      }
    }
  }
  if (settings->mask.empty()) settings->mask = "*.*";
  if (settings->mask.back() == ';') settings->mask.pop_back();
  return is_directory_info;
}

std::vector<SynchSettings> ReadActionList(const ScriptFile& script,
                                          const SettingsReaders& readers) {
  SynchSettings defaults;
  if (const ScriptSection* section = script.FindSection("Default")) {
    ReadActionSection(*section, readers, &defaults);
  }
  return BuildActionList<SynchSettings>(
      script, defaults, [&readers](const ScriptSection& section, SynchSettings* settings) {
        ReadActionSection(section, readers, settings);
      });
}

std::string ExpandEnvironment(const std::string& text) {
  std::string result = text;
  std::string::size_type from = 0;
  for (;;) {
    std::string::size_type open = result.find('%', from);
    if (open == std::string::npos) break;
    std::string::size_type close = result.find('%', open + 1);
    if (close == std::string::npos) break;
    std::string name = result.substr(open + 1, close - open - 1);
    std::string value = name.empty() ? "" : GetEnvironmentValue(name).value_or("");
    result.replace(open, close - open + 1, value);
    // Go on after the value: a value holding `%` is never expanded again (no endless loop).
    from = open + value.size();
  }
  return result;
}

}  // namespace tsl
