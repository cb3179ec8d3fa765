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

/// Switches are read on when their number is not 0, as scripts write them.
struct SynchSettings {
  std::string mask = "*.*";
  std::string source_folder;
  std::string target_folder;
  std::string output_file;
  bool search_subfolders = true;
  bool show_different = true;
  bool show_identical = true;
  bool show_files_in_one_folder = true;
  bool use_system_operations = false;
  bool match_in_subfolders = false;
  std::int32_t operation = -1;
  bool confirm_updates = true;
  bool newer_overwrite = false;
  bool older_overwrite = true;
  bool check_same_size_files = false;
  bool group_files = false;
  std::int32_t time_precision = 3;        // seconds
  std::int32_t second_folder_offset = 0;  // seconds, never negative
  /// Why the job cannot run as its script says (a setting out of range); empty when it can.
  std::string refusal;
  bool case_sensitive = false;
  FileTime min_date = 0;  // UTC; 0: not set
  FileTime max_date = 0;
  std::int64_t min_size = 0;
  std::int64_t max_size = 0;
  std::int32_t skip_attributes = 0;
  std::int32_t reverse_filters = 0;
  std::int32_t ignored_attributes = 55;
  std::int32_t sort_key = -1;
  bool sort_ascending = true;
  bool archives_in_one_folder_view = true;  // kept, no effect on a script run
  std::string display_columns;                   // kept, no effect on a script run
  std::string output_columns;
  std::string output_header;
  std::string output_footer;
  bool append_to_output = false;
  bool ignore_whitespace = false;
  bool ignore_case = false;
  bool show_progress = true;
  bool display_error_messages = false;
  std::string destination_folder;
  std::string custom_message;
  bool allow_cancel = true;
  std::string bitmap_file;
  bool force_copy = false;  // read from Directory Info scripts, no effect
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
