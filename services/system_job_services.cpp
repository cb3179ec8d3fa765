#include "services/system_job_services.h"

#include "services/messages.h"
#include "services/output_destination.h"
#include "services/progress_window.h"
#include "platform/clock.h"
#include "platform/file_error.h"
#include "platform/locale.h"
#include "script/escapes.h"
#include "pattern/mask_list.h"

namespace tsl {
namespace {

class MaskSelector : public FileSelector {
 public:
  MaskSelector(const std::string& text, const std::string& root)
      : masks_(text, MaskStyle::kSynchronization, root) {}
  bool Selects(const std::string& path) const override { return masks_.Selects(path); }

 private:
  MaskList masks_;
};

class DestinationOutput : public ReportOutput {
 public:
  explicit DestinationOutput(std::unique_ptr<OutputDestination> destination)
      : destination_(std::move(destination)) {}
  void Write(std::string_view text) override { destination_->Write(text); }
  void Close() override { destination_->Close(); }  // a failure is shown by Close itself

 private:
  std::unique_ptr<OutputDestination> destination_;
};

// The progress window with the job's cancel flag: the window sets an int, the job reads a bool.
class WindowProgress : public JobProgress {
 public:
  WindowProgress(std::int64_t total, bool* cancel_flag, const std::string& text,
                 const ProgressLook& look)
      : cancel_flag_(cancel_flag),
        window_(&slot_, total, cancel_flag ? &cancelled_ : nullptr, text, look) {}
  void SetPosition(std::int64_t position) override {
    if (slot_) slot_->SetPosition(position);
    Forward();
  }
  void SetText(const std::string& text) override {
    if (slot_) slot_->SetText(text);
    Forward();
  }
  void PumpMessages() override {
    if (slot_) slot_->PumpMessages();
    Forward();
  }
  void Close() override {
    if (slot_) slot_->Close();
  }

 private:
  void Forward() {
    if (cancelled_ && cancel_flag_) *cancel_flag_ = true;
  }
  bool* cancel_flag_;
  int cancelled_ = 0;
  ProgressWindow* slot_ = nullptr;
  ProgressWindow window_;
};

}  // namespace

std::unique_ptr<FileSelector> SystemJobServices::MakeSelector(const std::string& mask_text,
                                                                const std::string& root) {
  return std::make_unique<MaskSelector>(mask_text, root);
}

std::string SystemJobServices::ShortDatePicture() { return tsl::ShortDatePicture(); }
std::string SystemJobServices::MonthName(int month, bool abbreviated) {
  return tsl::MonthName(month, abbreviated);
}
std::string SystemJobServices::DayName(int day_of_week, bool abbreviated) {
  return tsl::DayName(day_of_week, abbreviated);
}
std::string SystemJobServices::TimePicture() { return tsl::TimePicture(); }
CalendarTime SystemJobServices::LocalNow() { return tsl::LocalNow(); }
std::string SystemJobServices::DecodeEscapes(std::string_view text) {
  return tsl::DecodeEscapes(text);
}
std::string SystemJobServices::EncodeControls(std::string_view text) {
  return tsl::EncodeControls(text);
}
std::string SystemJobServices::DecodeControls(std::string_view text) {
  return tsl::DecodeControls(text);
}

std::unique_ptr<ReportOutput> SystemJobServices::OpenOutput(const std::string& name,
                                                              bool append) {
  auto destination = std::make_unique<OutputDestination>();
  if (SysError e = destination->Open(name, append); e.failed()) {
    tsl::ShowMessage(StandardFileErrorText(e));
    return nullptr;
  }
  return std::make_unique<DestinationOutput>(std::move(destination));
}

std::unique_ptr<JobProgress> SystemJobServices::OpenProgress(std::int64_t total,
                                                               bool* cancel_flag,
                                                               const std::string& text) {
  return std::make_unique<WindowProgress>(total, cancel_flag, text, progress_look_);
}

Answer SystemJobServices::ShowMessage(const std::string& text, MessageButtons buttons) {
  return tsl::ShowMessage(text, buttons);
}

void SystemJobServices::SetProgressLook(const std::string& bitmap_file, bool allow_cancel) {
  progress_look_ = ProgressLook{bitmap_file, allow_cancel};
}

}  // namespace tsl
