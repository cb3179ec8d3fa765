// The results of a file replace run: result lines with in-band markers (what kind of line, where
// the hit lies), kept in memory and sent to the output named by the script, as plain text or, for
// a file named .htm or .html, as HTML.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "services/job_services.h"
#include "services/result_lines.h"

namespace tsl {

/// One occurrence to show as a hit line.
struct HitLineInput {
  const char* chunk = nullptr;
  std::int64_t chunk_length = 0;
  std::int64_t offset_in_chunk = 0;
  std::int64_t found_length = 0;
  bool binary = false;
  bool utf16 = false;
  std::int64_t file_offset = 0;  // of the occurrence (binary files)
  std::int64_t line_number = 0;  // as shown (text files)
  int max_display_chars = 512;
};

/// "Line %3ld - " (text) or "Offset 0x%-6lx - " (binary), then the occurrence in its context
/// with the hit markers around it; tabs and bytes that are not text become spaces, zero bytes of
/// a UTF-16 file are left out.
std::string FormatHitLine(const HitLineInput& hit);

/// The message marker, the last-write date and time in the user's formats, ", " and the size in
/// bytes; only the size when the file has no last-write time.
std::string DateLine(FileTime modified_local, std::uint64_t size, JobServices& services);

/// Step 4's plain text and step 5's HTML of one result line.
std::string PlainResultText(std::string_view line, std::string_view before_hit,
                            std::string_view after_hit);
std::string HtmlResultText(std::string_view line);

/// What the header block names, for a script with one folder and mask pair.
struct ResultHeader {
  std::string search;
  std::string replace;
  std::string folder;
  std::string mask;
  std::vector<std::string> options;  // the options in force, as shown
};

class ResultOutput {
 public:
  explicit ResultOutput(JobServices& services) : services_(services) {}
  ~ResultOutput() { Close(); }
  ResultOutput(const ResultOutput&) = delete;
  ResultOutput& operator=(const ResultOutput&) = delete;

  /// Opens "Clipboard", "Default Printer" (letter case ignored) or a file; empty: the lines are
  /// only kept in memory. HTML when the name ends in .htm or .html. When the output cannot be
  /// opened (the user has been shown why), the run goes on without it and the result list gets
  /// "Error writing to output file" and the name.
  void Open(const std::string& name, bool append, std::string before_hit, std::string after_hit);
  /// The header block: the date and time, the search and replace texts, folder, mask, options.
  void WriteHeader(const ResultHeader& header);
  /// The file whose lines follow: its file line (and date line, when not empty) go out just
  /// before its first other line; a file with no other line writes none.
  void BeginFile(const std::string& path, std::string date_line);
  /// Forgets a file line not written yet.
  void EndFile();
  /// Keeps the line in the result list and writes it, converted, with CR LF. A summary line
  /// belongs to the run: it never brings out a pending file line.
  void AddLine(std::string_view line);
  /// Delivers the output (clipboard and printer deliver here).
  void Close();

  bool is_open() const { return output_ != nullptr; }
  bool html() const { return html_; }
  /// The result list of a run without an output (there is nowhere else for them to go): every
  /// line as added, with its markers. Lines that went to an output are not kept.
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  void Emit(std::string_view line);

  JobServices& services_;
  std::unique_ptr<ReportOutput> output_;
  bool html_ = false;
  std::string before_hit_;
  std::string after_hit_;
  std::string pending_file_;
  std::string pending_date_;
  std::vector<std::string> lines_;
};

}  // namespace tsl
