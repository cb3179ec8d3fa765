// The synchronization job's services as the program provides them: the mask lists, the user's
// locale, the escape helpers, output destinations and progress windows.
#pragma once

#include "services/job_services.h"
#include "services/progress_window.h"

namespace tsl {

class SystemJobServices : public JobServices {
 public:
  std::unique_ptr<FileSelector> MakeSelector(const std::string& mask_text,
                                             const std::string& root) override;
  std::string ShortDatePicture() override;
  std::string TimePicture() override;
  std::string MonthName(int month, bool abbreviated) override;
  std::string DayName(int day_of_week, bool abbreviated) override;
  CalendarTime LocalNow() override;
  std::string DecodeEscapes(std::string_view text) override;
  std::string EncodeControls(std::string_view text) override;
  std::string DecodeControls(std::string_view text) override;
  std::unique_ptr<ReportOutput> OpenOutput(const std::string& name, bool append) override;
  std::unique_ptr<JobProgress> OpenProgress(std::int64_t total, bool* cancel_flag,
                                            const std::string& text) override;
  void SetProgressLook(const std::string& bitmap_file, bool allow_cancel) override;
  Answer ShowMessage(const std::string& text, MessageButtons buttons) override;

 private:
  ProgressLook progress_look_;
};

}  // namespace tsl
