#include "services/registry_windows.h"

#include <chrono>
#include <optional>
#include <utility>

#include "platform/code_page.h"
#include "platform/progress_display.h"
#include "services/messages.h"
#include "services/settings.h"

namespace tsl {
namespace {

// Old and new texts longer than this are shortened in the question.
constexpr std::size_t kShownText = 1000;

constexpr const char* kMergeCaption = "Reg File to Registry Compare and Merge";
constexpr const char* kSettingsSection = "Settings";

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The "Searching" window over the system's display (none where no window can be shown).
class SystemSearchingWindow : public SearchingWindow {
 public:
  static constexpr std::int64_t kTextIntervalMs = 300;

  SystemSearchingWindow(bool* cancel_flag, std::function<std::int64_t()> clock_ms)
      : cancel_flag_(cancel_flag), clock_ms_(std::move(clock_ms)) {
    ProgressDisplaySetup setup;
    setup.kind = ProgressDisplayKind::kSearching;
    setup.cancel_enabled = cancel_flag_ != nullptr;
    display_ = OpenProgressDisplay(setup);
  }
  ~SystemSearchingWindow() override { Close(); }

  void SetText(const std::string& text) override {
    if (!display_) return;
    pending_ = text;
    PumpMessages();
  }

  void PumpMessages() override {
    if (!display_) return;
    if (pending_) {
      std::int64_t now = clock_ms_();
      if (!shown_once_ || now - last_shown_ >= kTextIntervalMs) {
        display_->SetText(*pending_);
        pending_.reset();
        shown_once_ = true;
        last_shown_ = now;
      }
    }
    if (!display_->Pump()) return;
    if (!cancel_flag_) {
      display_->RefuseCancel();
      return;
    }
    bool* flag = cancel_flag_;
    Close();
    *flag = true;
  }

  void Close() override {
    if (display_) display_->Close();
    display_.reset();
  }

 private:
  bool* cancel_flag_;
  std::function<std::int64_t()> clock_ms_;
  std::unique_ptr<ProgressDisplay> display_;
  std::optional<std::string> pending_;
  bool shown_once_ = false;
  std::int64_t last_shown_ = 0;
};

std::string ItemLine(RegistryItem item, const std::string& value_name) {
  switch (item) {
    case RegistryItem::kKeyName:
      return "Key name";
    case RegistryItem::kValueName:
      return "Value name";
    case RegistryItem::kValueData:
      break;
  }
  return "Data of value " +
         (value_name.empty() ? std::string("(Default)") : OneLineText(value_name, kShownText));
}

// N of a scripted answer "Delete N" (letter case and spaces ignored); nothing for any other.
std::optional<std::size_t> DeleteNumber(const std::string& answer) {
  static const std::string kWord = "DELETE";
  std::string text = cp::ToUpper(answer);
  if (text.compare(0, kWord.size(), kWord) != 0) return std::nullopt;
  std::size_t i = text.find_first_not_of(' ', kWord.size());
  if (i == std::string::npos || i == kWord.size()) return std::nullopt;
  std::size_t number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (number > 1000000000) return std::nullopt;  // no list is that long
    number = number * 10 + static_cast<std::size_t>(text[i] - '0');
  }
  if (text.find_first_not_of(' ', i) != std::string::npos) return std::nullopt;
  return number;
}

}  // namespace

RegistryReplaceAnswer AskRegistryReplace(RegistryItem item, const std::string& key_path,
                                         const std::string& value_name, const std::string& old_text,
                                         const std::string& new_text) {
  static const std::vector<std::string> kButtons = {"Replace &This", "Replace &Rest", "&Skip This",
                                                    "&Cancel Rest"};
  std::string text = ItemLine(item, value_name) + "\nOld: " + OneLineText(old_text, kShownText) +
                     "\nNew: " + OneLineText(new_text, kShownText);
  int chosen = AskQuestion("Replace - " + key_path, text, kButtons, DialogStyle::kRegistryReplace);
  switch (chosen) {
    case 0:
      return RegistryReplaceAnswer::kReplaceThis;
    case 1:
      return RegistryReplaceAnswer::kReplaceRest;
    case 2:
      return RegistryReplaceAnswer::kSkipThis;
    default:
      return RegistryReplaceAnswer::kCancelRest;
  }
}

std::unique_ptr<SearchingWindow> OpenSearchingWindow(bool* cancel_flag) {
  return OpenSearchingWindow(cancel_flag, SteadyMs);
}

std::unique_ptr<SearchingWindow> OpenSearchingWindow(bool* cancel_flag,
                                                     std::function<std::int64_t()> clock_ms) {
  return std::make_unique<SystemSearchingWindow>(cancel_flag, std::move(clock_ms));
}

CompareOptions ReadCompareOptions() {
  CompareOptions options;
  auto read = [](const char* name, bool fallback) {
    return ReadSettingInt(kSettingsSection, name, fallback ? 1 : 0) != 0;
  };
  options.show_only_in_file = read("Left Display", options.show_only_in_file);
  options.show_only_in_registry = read("Right Display", options.show_only_in_registry);
  options.show_same = read("Same Display", options.show_same);
  options.show_different = read("Diff Display", options.show_different);
  options.case_sensitive = read("Case sensitive", options.case_sensitive);
  return options;
}

void WriteCompareOptions(const CompareOptions& options) {
  WriteSettingInt(kSettingsSection, "Left Display", options.show_only_in_file ? 1 : 0);
  WriteSettingInt(kSettingsSection, "Right Display", options.show_only_in_registry ? 1 : 0);
  WriteSettingInt(kSettingsSection, "Same Display", options.show_same ? 1 : 0);
  WriteSettingInt(kSettingsSection, "Diff Display", options.show_different ? 1 : 0);
  WriteSettingInt(kSettingsSection, "Case sensitive", options.case_sensitive ? 1 : 0);
}

bool AskMerge(const std::string& reg_file, const std::vector<MergeRow>& rows,
              std::vector<std::size_t>* kept) {
  WriteSettingString(kSettingsSection, "Last REG File", reg_file);
  const CompareOptions options = ReadCompareOptions();
  MergeList list(rows, options);
  auto record = [](std::size_t listed, const std::string& answer) {
    RecordTranscript("Question", kMergeCaption, std::to_string(listed) + " items", answer);
  };

  MergeOutcome outcome = MergeOutcome::kNotShown;
  if (AnswersAreScripted()) {
    while (outcome == MergeOutcome::kNotShown) {
      std::optional<std::string> answer = NextScriptedAnswer();
      if (!answer) break;
      std::size_t listed = list.listed().size();
      if (cp::EqualsIgnoreCase(*answer, "Merge Values")) {
        outcome = MergeOutcome::kMerge;
        record(listed, "Merge Values");
      } else if (cp::EqualsIgnoreCase(*answer, "Cancel")) {
        outcome = MergeOutcome::kCancel;
        record(listed, "Cancel");
      } else {
        std::optional<std::size_t> number = DeleteNumber(*answer);
        if (!number || !list.Delete(*number)) break;  // names no line: the closing answer
        record(listed, "Delete " + std::to_string(*number));
      }
    }
  } else {
    outcome = ShowMergeWindow(reg_file, &list, record);
  }
  if (outcome == MergeOutcome::kNotShown) {
    outcome = MergeOutcome::kCancel;
    record(list.listed().size(), "Cancel");
  }

  if (!(list.options() == options)) WriteCompareOptions(list.options());
  if (outcome != MergeOutcome::kMerge) return false;
  if (kept) *kept = list.Kept();
  return true;
}

}  // namespace tsl
