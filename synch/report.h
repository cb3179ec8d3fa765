// The comparison report: title (or the job's header), format and options lines, the column
// headers, one line per file or pair laid out by the column list in two halves, and the footer.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "synch/columns.h"
#include "synch/matching.h"
#include "services/job_services.h"
#include "synch/synch_settings.h"

namespace tsl {

/// What the report is written from.
struct ReportContext {
  const SynchSettings& settings;
  const ColumnList& columns;
  const EscapeCoding& coding;
  TimeFormatter& times;
  JobServices& services;  // the body's progress window
  bool* cancel = nullptr;   // set by that window's Cancel, which stops the body
};

/// The two column lists of a line, adjusted so that the halves join: when the list has two
/// columns or more and begins and ends with a literal column, the source half's last column
/// takes the text of the nearest literal column before the last run of field columns, and the
/// target half's first column is emptied.
struct HalfColumns {
  ColumnList source;
  ColumnList target;
};
HalfColumns SplitHalves(const ColumnList& columns);

/// Appends one half of a line: literal columns as they are, a Description column as the
/// status, other field columns as their items for the record (nothing without a record).
void WriteHalfLine(std::string* out, const ColumnList& columns, const FileRecord* record,
                   const std::string& root, const std::string& status, TimeFormatter& times);

/// The options line, without its line end.
std::string OptionsLine(const SynchSettings& settings);

/// Writes the whole report to `out`.
void WriteReport(const FileLists& lists, const ReportContext& context, ReportOutput& out);

/// A time picture taken apart once, to format the times of many files quickly; the same text as
/// FormatWithPicture gives.
class TimePictureFormatter {
 public:
  explicit TimePictureFormatter(const std::string& picture);
  /// Appends the time of day as the picture shows it.
  void Append(std::string* out, int hour, int minute, int second) const;
  /// True when the picture also shows parts of the date: Append cannot serve it.
  bool needs_date() const { return needs_date_; }
  const std::string& picture() const { return picture_; }

 private:
  struct Element {
    char letter;  // 0 for literal text
    int count;
    std::string text;
  };
  std::string picture_;
  std::vector<Element> elements_;
  std::string am_, pm_;
  bool needs_date_ = false;
};

/// The user's date and time texts of the report's files: the pictures are asked for once, the
/// date texts kept per day (a report's files share few days), the times formatted directly.
class CachingTimeFormatter : public TimeFormatter {
 public:
  explicit CachingTimeFormatter(JobServices& services)
      : date_picture_(services.ShortDatePicture()), times_(services.TimePicture()) {}
  const std::string& Date(FileTime local) override;
  const std::string& Time(FileTime local) override;

 private:
  std::string date_picture_;
  std::unordered_map<std::int64_t, std::string> dates_;  // day number -> text
  std::int64_t last_day_ = -1;
  std::string last_date_;
  TimePictureFormatter times_;
  std::string time_;  // the last time text
  std::string none_;  // the text of an unset time
};

}  // namespace tsl
