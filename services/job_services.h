// What the synchronization job needs from the rest of the program: mask lists, the user's date
// conventions, escape decoding, output destinations and progress windows. The job reaches them
// only through JobServices, so that its tests can put in services of their own (a progress
// window that cancels at a chosen step, an output that collects the text).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/locale.h"
#include "services/messages.h"

namespace tsl {

/// A compiled mask list: selects files by their full path below the scanned root.
class FileSelector {
 public:
  virtual ~FileSelector() = default;
  virtual bool Selects(const std::string& path) const = 0;
};

/// An open progress window. Every update pumps the window's messages; a Cancel pressed there
/// sets the job's cancel flag and closes the window, after which updates do nothing.
class JobProgress {
 public:
  virtual ~JobProgress() = default;
  virtual void SetPosition(std::int64_t position) = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void PumpMessages() = 0;
  /// The normal end: never counts as a cancel.
  virtual void Close() = 0;
};

/// An open report or log destination.
class ReportOutput {
 public:
  virtual ~ReportOutput() = default;
  virtual void Write(std::string_view text) = 0;
  /// Delivers the text (clipboard and printer deliver here).
  virtual void Close() = 0;
};

class JobServices {
 public:
  virtual ~JobServices() = default;

  /// The synchronization job's mask list (masks compiled as written) for a scan of `root`.
  virtual std::unique_ptr<FileSelector> MakeSelector(const std::string& mask_text,
                                                     const std::string& root) = 0;

  /// The user's short date and time pictures (for FormatWithPicture), month and day names.
  virtual std::string ShortDatePicture() = 0;
  virtual std::string TimePicture() = 0;
  virtual std::string MonthName(int month, bool abbreviated) = 0;
  virtual std::string DayName(int day_of_week, bool abbreviated) = 0;

  /// The current local date and time (the log header's time stamp).
  virtual CalendarTime LocalNow() = 0;

  /// Escape sequences: the full decoding, and the tab / line-break coding.
  virtual std::string DecodeEscapes(std::string_view text) = 0;
  virtual std::string EncodeControls(std::string_view text) = 0;
  virtual std::string DecodeControls(std::string_view text) = 0;

  /// Opens a file, "Clipboard" or "Default Printer"; on failure shows the standard message for
  /// the file error and gives nothing.
  virtual std::unique_ptr<ReportOutput> OpenOutput(const std::string& name, bool append) = 0;

  /// Opens a progress window with a total, the job's cancel flag and a status text.
  virtual std::unique_ptr<JobProgress> OpenProgress(std::int64_t total, bool* cancel_flag,
                                                    const std::string& text) = 0;
  /// The picture and the Cancel switch that progress windows of the job use.
  virtual void SetProgressLook(const std::string& bitmap_file, bool allow_cancel) = 0;

  /// A message box for the job's user; waits for the answer.
  virtual Answer ShowMessage(const std::string& text,
                             MessageButtons buttons = MessageButtons::kOk) = 0;
};

}  // namespace tsl
