// The settings of one synchronization job, with their built-in defaults, and the readers of the
// two script layouts: the one-job "Directory Info" layout and the Default/ActionN layout.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "script/script_file.h"

namespace tsl {

/// Operation codes of a job.
namespace op {
inline constexpr int kSynchronize = 0;
inline constexpr int kAugment = 1;
inline constexpr int kRefresh = 2;
inline constexpr int kUpdate = 3;
inline constexpr int kPrune = 4;
inline constexpr int kIdentical = 5;
inline constexpr int kReportOnly = 6;
inline constexpr int kMakeFolders = 7;
inline constexpr int kDeleteEmpty = 8;
}  // namespace op

/// Switches are on when not 0, as scripts write them.
struct SynchSettings {
  std::string mask = "*.*";
  std::string source_folder;
  std::string target_folder;
  std::string output_file;
  std::int32_t search_subfolders = 1;
  std::int32_t show_different = 1;
  std::int32_t show_identical = 1;
  std::int32_t show_files_in_one_folder = 1;
  std::int32_t use_system_operations = 0;
  std::int32_t match_in_subfolders = 0;
  std::int32_t operation = -1;
  std::int32_t confirm_updates = 1;
  std::int32_t newer_overwrite = 0;
  std::int32_t older_overwrite = 1;
  std::int32_t check_same_size_files = 0;
  std::int32_t group_files = 0;
  std::int32_t time_precision = 3;        // seconds
  std::int32_t second_folder_offset = 0;  // seconds, never negative
  /// Why the job cannot run as its script says (a setting out of range); empty when it can.
  std::string refusal;
  std::int32_t case_sensitive = 0;
  FileTime min_date = 0;  // UTC; 0: not set
  FileTime max_date = 0;
  std::int64_t min_size = 0;
  std::int64_t max_size = 0;
  std::int32_t skip_attributes = 0;
  std::int32_t reverse_filters = 0;
  std::int32_t ignored_attributes = 55;
  std::int32_t sort_key = -1;
  std::int32_t sort_ascending = 1;
  std::int32_t archives_in_one_folder_view = 1;  // kept, no effect on a script run
  std::string display_columns;                   // kept, no effect on a script run
  std::string output_columns;
  std::string output_header;
  std::string output_footer;
  std::int32_t append_to_output = 0;
  std::int32_t ignore_whitespace = 0;
  std::int32_t ignore_case = 0;
  std::int32_t show_progress = 1;
  std::int32_t display_error_messages = 0;
  std::string destination_folder;
  std::string custom_message;
  std::int32_t allow_cancel = 1;
  std::string bitmap_file;
  std::int32_t force_copy = 0;  // read from Directory Info scripts, no effect
};

/// Turns a date key's text into a UTC file time (midnight, or 23:59:59 with `end_of_day`);
/// nothing when the text is not a valid date (the reader has then said why).
using DateReader = std::function<std::optional<FileTime>(const std::string& text, bool end_of_day)>;

/// Decodes `\t`, `\n` and `\r` in the report header and footer texts.
using ControlDecoder = std::function<std::string(const std::string& text)>;

/// How the readers turn script values into settings.
struct SettingsReaders {
  DateReader read_date;
  ControlDecoder decode_controls;
};

/// Overlays the keys of one action-layout section (`Default` or `ActionN`).
void ReadActionSection(const ScriptSection& section, const SettingsReaders& readers,
                       SynchSettings* settings);

/// Reads a Directory Info script into `settings`; true when the file is one (it holds a section
/// `Directory Info` with at least one key line).
bool ReadDirectoryInfo(const ScriptFile& script, const SettingsReaders& readers,
                       SynchSettings* settings);

/// The action list of an action-layout script already loaded: defaults, overlaid by `Default`,
/// one record per `ActionN` overlaid by that section.
std::vector<SynchSettings> ReadActionList(const ScriptFile& script, const SettingsReaders& readers);

/// The operation code of a `Synch Option` value, or nothing when it names no operation.
std::optional<int> SynchOptionCode(const std::string& value);

/// Replaces each `%NAME%` with the environment variable's value (empty when it is not set),
/// from the left; a `%` without a closing partner ends the expansion.
std::string ExpandEnvironment(const std::string& text);

}  // namespace tsl
