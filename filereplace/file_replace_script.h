// The file replace script: bracketed block headers ([Search], [Replace], [Path], [Options],
// [Expression], the end marker), each followed by free text, read into search entries, folder
// and mask pairs, an options record, an expression and a list of chained scripts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/search_pattern.h"
#include "platform/paths.h"
#include "services/file_filter.h"

namespace tsl {

class JobServices;

/// The search or replace text of a block with the `B` flag; its bytes are in the binary field.
inline constexpr std::string_view kBinaryModeText = "Binary mode -->>";
/// A replace text that only repeats the found text: a script whose every entry has it searches.
inline constexpr std::string_view kFoundVariable = "%%FMFOUND%%";
/// Binary search texts that select the whole-file modes.
inline constexpr std::string_view kAppendSearchText =
    "This search string will not be used\r\nThe replace block will be appended to the file.";
inline constexpr std::string_view kPrependSearchText =
    "This search string will not be used\r\nThe replace block will be added at the top of the "
    "file.";
inline constexpr std::string_view kReformatPrefix = "%%FMFORMAT%%=";
/// Short forms of the append and prepend texts; the loader turns them into those texts.
inline constexpr std::string_view kAppendMarker = "%%FMAPPEND%%";
inline constexpr std::string_view kPrependMarker = "%%FMPREPEND%%";

/// The script is read through a window of this many bytes, which moves on from block to block
/// and grows to hold a block that is larger.
inline constexpr std::size_t kScriptWindowSize = 32000;

/// One search text with its replacement, flags and run counters.
struct SearchEntry {
  std::string replace_text;  // empty when the entry has no replace block
  std::string search_text;
  bool case_sensitive = true;       // off with `I`
  bool whole_word = false;          // `W`
  bool regular_expression = false;  // `X`
  bool append_mode = false;         // the special binary search texts
  bool prepend_mode = false;
  int reformat_width = 0;  // 0: none
  std::string binary_search_text;
  std::string binary_replace_text;
  /// Compiled at run time: for single-byte files, and for UTF-16 files on first need.
  std::unique_ptr<SearchPattern> matcher;
  std::unique_ptr<SearchPattern> wide_matcher;
  std::string search_header_rest;  // what follows `]` on the header lines; kept, never used
  std::string replace_header_rest;
  // Run counters: in the current file, and over the run.
  std::int64_t file_hits = 0;
  std::int64_t file_replacements = 0;
  std::int64_t total_hits = 0;
  std::int64_t total_replacements = 0;
  std::int64_t files_with_hits = 0;
  bool ignore_whitespace = false;  // `H`
  std::string whitespace_set = " \t\r\n";
  bool html_text = false;  // `T`
  /// The texts as prepared, before a UTF-16 file converts them.
  std::string saved_search_text;
  std::string saved_replace_text;
};

/// The [Options] block; every field has its key's default.
struct FileReplaceOptions {
  bool search_subfolders = false;  // Search_subdir
  /// Prompt_flag: 0 confirm each occurrence and each file, 1 each file, 2 nothing.
  int prompt = 0;
  int max_display_chars = 512;
  std::string output_file;  // a path, "Clipboard" or "Default Printer"; empty: none
  bool show_files = true;
  std::string backup_path;
  std::string before_hit = "<";
  std::string after_hit = ">";
  int max_reg_expr = 300;
  bool write_to_backup_dir = false;
  std::string unzip_dir;  // read and kept; nothing uses it
  bool show_files_without_hits = false;
  bool display_replace_string = false;
  bool display_file_stats = true;
  bool show_file_date_and_size = false;
  bool show_progress_dialog = true;
  /// Reverse Filters, Min/Max Size Filter, Min/Max Date Filter, Skip Files Mask, Ignore
  /// Attributes.
  FileFilter filter;
  bool keep_file_time_stamp = false;
  bool one_hit = false;
  int sort_file_names = 0;  // 0 none, 1 name, 2 extension, 3 last write, 4 size, 5 folder
  bool sort_ascending = true;
  bool append_to_output_file = false;
  int script_loop = 1;  // -1: no limit
};

class FileReplaceScript {
 public:
  /// Clears everything loaded before, then reads the script at `path`. False when the file
  /// cannot be read: the message "Cannot read script file\n" and the path has been shown and the
  /// script is empty, its path too.
  bool Load(const std::string& path, JobServices& services);
  /// As Load, with the script's bytes given instead of read from `path`, which is only kept.
  /// Another window size gives the same result (the fuzz target checks that).
  void LoadFromMemory(const std::string& path, std::string_view content, JobServices& services,
                      std::size_t window_size = kScriptWindowSize);

  const std::string& path() const { return path_; }
  std::vector<SearchEntry>& entries() { return entries_; }
  const std::vector<SearchEntry>& entries() const { return entries_; }
  /// Folder then mask, one pair per [Path block.
  const std::vector<std::string>& paths() const { return paths_; }
  /// Null when the script has no [Options] block.
  const FileReplaceOptions* options() const { return options_.get(); }
  /// Empty: none (cleared when it says no more than the default or does not parse).
  const std::string& expression() const { return expression_; }
  const std::string& description() const { return description_; }
  const std::vector<std::string>& chained_scripts() const { return chained_scripts_; }

 private:
  class Reader;
  void Clear();
  void CheckExpression(JobServices& services);

  std::string path_;
  std::vector<SearchEntry> entries_;
  std::vector<std::string> paths_;
  std::unique_ptr<FileReplaceOptions> options_;
  std::string expression_;
  std::string description_;
  std::vector<std::string> chained_scripts_;
};

/// The folder and the mask list of a [Path block. The folder is completed (a relative one taken
/// from the current folder and kept only when it is an existing folder, else left empty) and
/// ends with a separator; the mask has no leading `;`.
struct PathBlockParts {
  std::string folder;
  std::string mask;
};
PathBlockParts SplitPathBlock(std::string_view text, PathStyle style,
                              const std::string& current_folder,
                              const std::function<bool(const std::string&)>& is_folder);

}  // namespace tsl
