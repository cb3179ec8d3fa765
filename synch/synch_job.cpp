// Running synchronization scripts and the comparison step of every job.
#include "synch/synch_job.h"

#include "platform/clock.h"
#include "platform/paths.h"
#include "resources/string_table.h"
#include "services/date_value.h"
#include "synch/folder_scan.h"
#include "synch/operation_choice.h"
#include "synch/operations.h"
#include "synch/report.h"
#include "services/text_format.h"

namespace tsl {
namespace {

std::string WithSeparator(const std::string& folder) {
  return folder.empty() ? folder : WithClosingSeparator(folder, NativePathStyle());
}

bool HasField(const ColumnList& columns, Field field) {
  for (const Column& column : columns) {
    for (const ColumnItem& item : column.items) {
      if (item.is_field && item.field == field) return true;
    }
  }
  return false;
}

bool IsOperation(int code) { return (code >= 0 && code <= 5) || code == 7 || code == 8; }

}  // namespace

SettingsReaders SynchJob::Readers() {
  return SettingsReaders{
      [this](const std::string& text, bool end_of_day) { return ReadDate(text, end_of_day); },
      [this](const std::string& text) { return services_.DecodeControls(text); }};
}

EscapeCoding SynchJob::Coding() {
  return EscapeCoding{[this](std::string_view t) { return services_.DecodeEscapes(t); },
                      [this](std::string_view t) { return services_.EncodeControls(t); }};
}

std::optional<FileTime> SynchJob::ReadDate(const std::string& text, bool end_of_day) {
  return ReadScriptDate(services_, text, end_of_day);
}

// Loads a script; false when it cannot be read (after saying why) or is empty, with `*unreadable`
// telling the two apart.
static bool LoadScript(const std::string& path, ScriptFile* script, bool* unreadable,
                       JobServices& services) {
  std::string error;
  if (script->Load(path, &error)) return true;
  *unreadable = !error.empty();
  if (*unreadable) services.ShowMessage(error);
  return false;
}

bool SynchJob::RunSynchronizationScript(const std::string& path) {
  settings_ = SynchSettings{};
  cancel_ = false;
  bool unreadable = false;
  ScriptFile script;
  if (!LoadScript(path, &script, &unreadable, services_)) return !unreadable;
  if (ReadDirectoryInfo(script, Readers(), &settings_)) {
    PrepareJob();
    DispatchJob();
    return true;
  }
  // The action layout reads the file again, into a script of its own.
  ScriptFile actions_script;
  if (!LoadScript(path, &actions_script, &unreadable, services_)) return !unreadable;
  std::vector<SynchSettings> actions = ReadActionList(actions_script, Readers());
  for (std::size_t i = 0; i < actions.size(); ++i) {
    settings_ = actions[i];
    PrepareJob();
    if (settings_.operation < 0 && !AskOperation(&settings_)) continue;
    DispatchJob();
    if (!cancel_) continue;
    std::size_t remaining = actions.size() - i - 1;
    if (remaining == 0 || !settings_.display_error_messages) break;
    std::string question =
        FormatText(TableText(text_id::kCancelRemainingActions), {std::to_string(remaining)});
    if (services_.ShowMessage(question, MessageButtons::kYesNo) == Answer::kYes) break;
    cancel_ = false;
  }
  if (!cancel_ && settings_.display_error_messages) {
    services_.ShowMessage(
        FormatText(TableText(text_id::kActionsProcessed), {std::to_string(actions.size()), path}));
  }
  return true;
}

void SynchJob::PrepareJob() {
  SynchSettings& s = settings_;
  s.source_folder = WithSeparator(ExpandEnvironment(s.source_folder));
  s.target_folder = WithSeparator(ExpandEnvironment(s.target_folder));
  s.destination_folder = ExpandEnvironment(s.destination_folder);
  columns_ = ParseColumns(s.output_columns, Coding());
  if (columns_.empty()) columns_ = DefaultColumns();
  bool reported = !s.output_file.empty();
  extra_.version = reported && HasField(columns_, Field::kVersion);
  extra_.checksum = reported && HasField(columns_, Field::kChecksum);
  extra_.crc32 = reported && HasField(columns_, Field::kCrc32);
  services_.SetProgressLook(s.bitmap_file, s.allow_cancel);
}

void SynchJob::DispatchJob() {
  if (!settings_.refusal.empty()) return RefuseJob();
  if (IsOperation(settings_.operation)) {
    RunOperation(settings_.source_folder, settings_.target_folder, settings_.operation);
    return;
  }
  CompareAndReport();
}

// A job whose settings are out of range runs nothing: a message and its log (when it has one) say
// why. Like an unreadable script, this stops the job, so the message is shown whatever the
// error-message switch says. The script's later actions still run.
void SynchJob::RefuseJob() {
  if (!settings_.output_file.empty()) {
    if (std::unique_ptr<ReportOutput> log =
            services_.OpenOutput(settings_.output_file, settings_.append_to_output)) {
      log->Write(settings_.refusal + "\r\n");
      log->Close();
    }
  }
  services_.ShowMessage(settings_.refusal);
}

void SynchJob::RunOperation(const std::string& source, const std::string& target, int code) {
  OperationContext context{settings_, lists_, services_, &cancel_, [this] { Compare(); }};
  tsl::RunOperation(source, target, code, context);
}

// While the source folder is scanned, a helper thread scans the target, so that the two trees
// are walked at the same time. Only with the system's file service: a service put in by a test
// sees every call on this thread, in the order of the scans. When one folder lies inside the
// other, the outer scan passes the inner folder over, so that no file is compared with itself or
// copied into itself.
bool SynchJob::ScanBoth(JobProgress* progress) {
  std::optional<FileIdentity>& inner = lists_.inner_folder;
  lists_.relation = RelateFolders(settings_.source_folder, settings_.target_folder, &inner);
  std::optional<FileIdentity> skip_in_source, skip_in_target;
  if (lists_.relation == FolderRelation::kTargetInsideSource) skip_in_source = inner;
  if (lists_.relation == FolderRelation::kSourceInsideTarget) skip_in_target = inner;
  std::unique_ptr<FileSelector> source_selector =
      services_.MakeSelector(settings_.mask, settings_.source_folder);
  std::unique_ptr<FileSelector> target_selector =
      services_.MakeSelector(settings_.mask, settings_.target_folder);
  ScanContext target_scan{settings_, extra_, *target_selector, progress, &cancel_};
  target_scan.left_alone = &lists_.left_target;
  target_scan.skip_folder = skip_in_target;
  SideScan target(settings_.target_folder, target_scan, &lists_.target_texts, &lists_.target,
                  &Files() == &RealFileSystem());
  ScanContext source_scan{settings_, extra_, *source_selector, progress, &cancel_};
  source_scan.left_alone = &lists_.left_source;
  source_scan.skip_folder = skip_in_source;
  bool source_named =
      ScanSide(settings_.source_folder, source_scan, &lists_.source_texts, &lists_.source);
  if (cancel_) return false;  // a helper still scanning is stopped
  bool target_named = target.Finish(progress, &cancel_);
  if (!source_named || !target_named) cancel_ = true;
  return !cancel_;
}

void SynchJob::CompareAndReport() {
  Compare();
  if (!cancel_ && !settings_.output_file.empty()) WriteReportFile();
}

void SynchJob::Compare() {
  cancel_ = false;
  lists_.Clear();
  std::unique_ptr<JobProgress> progress;
  if (settings_.show_progress) {
    progress = services_.OpenProgress(1000, &cancel_,
                                      settings_.custom_message.empty()
                                          ? TableText(text_id::kCreatingReport)
                                          : settings_.custom_message);
  }
  if (!ScanBoth(progress.get())) {
    if (progress) progress->Close();
    return;
  }
  if (settings_.sort_key >= 0) {
    SortList(&lists_.source, settings_.sort_key, settings_.sort_ascending);
    SortList(&lists_.target, settings_.sort_key, settings_.sort_ascending);
  }
  JobProgress* pump = progress.get();
  MatchContext match{settings_, extra_, pump, &cancel_, [this, pump] {
                       if (pump) pump->PumpMessages();
                       return cancel_;
                     }};
  MatchLists(&lists_, match);
  if (!cancel_) ClassifyPairs(&lists_, match);
  if (progress) progress->Close();
}

void SynchJob::WriteReportFile() {
  std::unique_ptr<ReportOutput> out =
      services_.OpenOutput(settings_.output_file, settings_.append_to_output);
  if (!out) return;  // the file error has been shown
  CachingTimeFormatter times(services_);
  EscapeCoding coding = Coding();
  ReportContext context{settings_, columns_, coding, times, services_, &cancel_};
  WriteReport(lists_, context, *out);
  out->Close();
}

}  // namespace tsl
