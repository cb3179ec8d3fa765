// Services for the synchronization job's unit tests: simple name masks, the US date
// conventions, output collected in memory, and progress windows that record what they were told
// and can cancel at a chosen step.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/paths.h"
#include "services/job_services.h"

namespace tsl::testing {

/// `*` and `?` wildcards over the file name, letter case ignored.
inline bool WildcardMatch(std::string_view mask, std::string_view name) {
  if (mask.empty()) return name.empty();
  if (mask[0] == '*') {
    for (std::size_t k = 0; k <= name.size(); ++k) {
      if (WildcardMatch(mask.substr(1), name.substr(k))) return true;
    }
    return false;
  }
  if (name.empty()) return false;
  if (mask[0] != '?' && cp::ToUpper(static_cast<unsigned char>(mask[0])) !=
                            cp::ToUpper(static_cast<unsigned char>(name[0]))) {
    return false;
  }
  return WildcardMatch(mask.substr(1), name.substr(1));
}

/// A mask list over file names with the include/exclude rule of the synchronization job.
class NameMasks : public FileSelector {
 public:
  explicit NameMasks(const std::string& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find(';', start);
      if (end == std::string::npos) end = text.size();
      std::string item = text.substr(start, end - start);
      if (!item.empty()) {
        bool exclude = item[0] == '~';
        if (exclude) item.erase(0, 1);
        if (!item.empty()) masks_.push_back({item, exclude});
      }
      start = end + 1;
    }
  }
  bool Selects(const std::string& path) const override {
    std::string name = NamePart(path, NativePathStyle());
    if (name.find('.') == std::string::npos) name += '.';
    bool in = false;
    for (const auto& [mask, exclude] : masks_) {
      if (exclude == in && WildcardMatch(mask, name)) in = !exclude;
    }
    return in;
  }

 private:
  std::vector<std::pair<std::string, bool>> masks_;
};

class RecordingProgress : public JobProgress {
 public:
  RecordingProgress(std::vector<std::string>* log, bool* cancel_flag, long cancel_after)
      : log_(log), cancel_flag_(cancel_flag), cancel_after_(cancel_after) {}
  void SetPosition(std::int64_t position) override {
    if (closed_) return;
    last_position_ = position;
    Step();
  }
  void SetText(const std::string& text) override {
    if (closed_) return;
    log_->push_back("text " + text);
    Step();
  }
  void PumpMessages() override {
    if (!closed_) Step();
  }
  void Close() override {
    if (closed_) return;
    log_->push_back("close at " + std::to_string(last_position_));
    closed_ = true;
  }

 private:
  // Each update pumps messages: the chosen step presses Cancel.
  void Step() {
    if (cancel_after_ >= 0 && steps_++ >= cancel_after_ && cancel_flag_) {
      log_->push_back("cancel");
      *cancel_flag_ = true;
      closed_ = true;
    }
  }
  std::vector<std::string>* log_;
  bool* cancel_flag_;
  long cancel_after_;
  long steps_ = 0;
  std::int64_t last_position_ = 0;
  bool closed_ = false;
};

class TestServices : public JobServices {
 public:
  std::unique_ptr<FileSelector> MakeSelector(const std::string& mask_text,
                                             const std::string&) override {
    return std::make_unique<NameMasks>(mask_text);
  }
  std::string ShortDatePicture() override { return picture; }
  std::string TimePicture() override { return time_picture; }
  std::string MonthName(int month, bool abbreviated) override {
    static const char* const kNames[] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};
    std::string name = kNames[month - 1];
    return abbreviated ? name.substr(0, 3) : name;
  }
  std::string DayName(int day, bool abbreviated) override {
    static const char* const kNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
    std::string name = kNames[day];
    return abbreviated ? name.substr(0, 3) : name;
  }
  CalendarTime LocalNow() override { return now; }
  std::string DecodeEscapes(std::string_view text) override {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\\' || i + 1 >= text.size()) {
        if (text[i] != '\\') out += text[i];
        continue;
      }
      char c = text[++i];
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
  }
  std::string EncodeControls(std::string_view text) override {
    std::string out;
    for (char c : text) {
      out += c == '\t'   ? std::string("\\t")
             : c == '\n' ? "\\n"
             : c == '\r' ? "\\r"
                         : std::string(1, c);
    }
    return out;
  }
  std::string DecodeControls(std::string_view text) override { return DecodeEscapes(text); }

  std::unique_ptr<ReportOutput> OpenOutput(const std::string& name, bool append) override;
  std::unique_ptr<JobProgress> OpenProgress(std::int64_t total, bool* cancel_flag,
                                            const std::string& text) override {
    progress_log.push_back("open " + std::to_string(total) + " " + text);
    long cancel_after = -1;
    if (!cancel_at_steps.empty()) {
      cancel_after = cancel_at_steps.front();
      cancel_at_steps.erase(cancel_at_steps.begin());
    }
    return std::make_unique<RecordingProgress>(&progress_log, cancel_flag, cancel_after);
  }
  void SetProgressLook(const std::string& bitmap_file, bool allow_cancel) override {
    look = bitmap_file + (allow_cancel ? " cancel" : " no cancel");
  }
  /// The program's message boxes: the tests answer them through scripted answers and read the
  /// transcript.
  Answer ShowMessage(const std::string& text, MessageButtons buttons) override {
    return tsl::ShowMessage(text, buttons);
  }

  std::string picture = "M/d/yyyy";
  CalendarTime now{2024, 5, 6, 1, 14, 30, 15, 0};  // Monday 6 May 2024, 2:30:15 PM
  std::string time_picture = "h:mm:ss tt";
  std::map<std::string, std::string> outputs;  // name -> text written
  std::set<std::string> failing_outputs;
  std::vector<std::string> progress_log;
  std::vector<long>
      cancel_at_steps;  // per progress window opened: the step that cancels (-1: none)
  std::string look;
};

class CollectingOutput : public ReportOutput {
 public:
  explicit CollectingOutput(std::string* text) : text_(text) {}
  void Write(std::string_view text) override { text_->append(text); }
  void Close() override {}

 private:
  std::string* text_;
};

inline std::unique_ptr<ReportOutput> TestServices::OpenOutput(const std::string& name,
                                                              bool append) {
  if (failing_outputs.count(name)) return nullptr;
  if (!append) outputs[name].clear();
  return std::make_unique<CollectingOutput>(&outputs[name]);
}

}  // namespace tsl::testing
