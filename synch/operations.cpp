// One synchronization operation, step by step: log header, folder check, comparison, the
// code's own preparation (prune, duplicates, folder trees), the copy batch, the end line.
#include "synch/operations.h"

#include <memory>
#include <vector>

#include "app/messages.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "resources/string_table.h"
#include "synch/file_operation.h"
#include "synch/folder_tree.h"
#include "synch/text_format.h"

namespace tsl {
namespace {

constexpr const char* kLineEnd = "\r\n";

// Which ways a job copies.
struct Directions {
  bool add_to_target = false;
  bool add_to_source = false;
  bool update_target = false;
  bool update_source = false;
};

Directions DirectionsOf(int code) {
  switch (code) {
    case op::kSynchronize:
      return {true, true, true, true};
    case op::kAugment:
      return {true, false, false, false};
    case op::kRefresh:
      return {false, false, true, false};
    case op::kUpdate:
    case op::kPrune:
      return {true, false, true, false};
    default:
      return {};
  }
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         cp::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// The files that a folder which could not be listed may hold are unknown: a file of the other
// side at such a place is neither copied over them nor deleted as an orphan.
bool Unknown(const FileRecord& record, const std::vector<LeftAlone>& unlisted,
             const std::string& root) {
  for (const LeftAlone& folder : unlisted) {
    std::string_view relative = folder.path;
    relative.remove_prefix(std::min(root.size(), relative.size()));
    if (StartsWithIgnoringCase(record.RelativePath(), relative)) return true;
  }
  return false;
}

class Operation {
 public:
  Operation(const std::string& source, const std::string& target, int code,
            OperationContext& context)
      : source_(source),
        target_(target),
        code_(code),
        c_(context),
        s_(context.settings),
        destination_(context.settings.destination_folder) {}

  void Run();

 private:
  void OpenLog();
  bool CheckFolders();
  bool CheckFolder(const std::string& folder);
  bool Compare();
  bool Prune();
  void RemoveIdentical();
  void AddPairCopy(FilePair& pair, const Directions& ways, FileOperationRequest* batch);
  FileOperationRequest CopyBatch(const Directions& ways);
  bool RunBatch(FileOperationRequest request);
  void Write(const std::string& text);
  void Finish();
  void Close();

  const std::string source_;
  const std::string target_;
  const int code_;
  OperationContext& c_;
  SynchSettings& s_;
  std::string destination_;
  std::unique_ptr<ReportOutput> log_;
};

void Operation::Run() {
  if (s_.match_in_subfolders != 0) return;
  OpenLog();
  const CalendarTime now = c_.services.LocalNow();  // one reading: date and time agree at midnight
  std::string when = FormatWithPicture(c_.services.ShortDatePicture(), now) + " " +
                     FormatWithPicture(c_.services.TimePicture(), now);
  Write(OperationLogHeader(code_, when, s_, source_, target_));
  if (!CheckFolders() || !Compare()) return;
  if (code_ == op::kPrune && !Prune()) return;
  if (code_ == op::kIdentical) return RemoveIdentical();
  if (code_ == op::kMakeFolders) RecreateFolderTree(source_, target_);
  if (code_ == op::kDeleteEmpty) RemoveEmptyFolders(target_);
  FileOperationRequest batch = CopyBatch(DirectionsOf(code_));
  if (!batch.from.empty() && !RunBatch(std::move(batch))) return;
  Finish();
}

void Operation::OpenLog() {
  if (!s_.output_file.empty()) {
    log_ = c_.services.OpenOutput(s_.output_file, s_.append_to_output != 0);
  }
}

bool Operation::CheckFolders() {
  if (!CheckFolder(source_) || !CheckFolder(target_)) return false;
  return destination_.empty() || CheckFolder(destination_);
}

// Only the drive or share is looked at: a folder that does not exist on a readable drive is
// scanned as empty.
bool Operation::CheckFolder(const std::string& folder) {
  std::string root = FolderRoot(folder, NativePathStyle());
  std::vector<DirEntry> entries;
  SysError error =
      root.empty() ? ErrorOfKind(ErrorKind::kPathNotFound) : Files().ListFolder(root, &entries);
  if (error.ok()) return true;
  std::string text = SystemErrorText(error.code) + ": " + folder;
  Write(text + kLineEnd);
  Close();
  if (s_.display_error_messages != 0 &&
      ShowMessage(text, MessageButtons::kOkCancel) == Answer::kCancel) {
    *c_.cancel = true;
  }
  return false;
}

// The comparison, without a report. One that was cancelled, or could not scan a folder, ends
// the operation: acting on part of the lists could copy over or delete files it never saw.
bool Operation::Compare() {
  std::string output = s_.output_file;
  s_.output_file.clear();
  c_.compare();
  s_.output_file = output;
  if (!destination_.empty()) destination_ = WithClosingSeparator(destination_, NativePathStyle());
  if (*c_.cancel) {
    Close();
    return false;
  }
  for (const auto* side : {&c_.lists.left_source, &c_.lists.left_target}) {
    for (const LeftAlone& entry : *side) Write(LeftAloneLine(entry) + kLineEnd);
  }
  return true;
}

// Deletes the target's orphans (never when the source holds no file at all), then its folders
// that the source lacks. False when the operation ends here.
bool Operation::Prune() {
  FileLists& lists = c_.lists;
  if (lists.pairs.empty() && lists.source.empty()) {
    Write(TableText(text_id::kLogPruneEmptySource));
    Close();
    return false;
  }
  FileOperationRequest batch;
  batch.kind = FileOperationKind::kDelete;
  for (const FileRecord& record : lists.target) {
    if (Unknown(record, lists.left_source, source_)) continue;
    batch.from.push_back(destination_.empty() ? record.path
                                              : destination_ + std::string(record.RelativePath()));
  }
  if (!batch.from.empty() && !RunBatch(std::move(batch))) return false;
  RemoveOrphanFolders(target_, source_);
  return true;
}

// Deletes the target files whose source has exactly the same time and size. A pair that the
// comparison found different (its contents, when it compared them) is no duplicate, nor is a
// pair that is one file seen twice (the same folder compared with itself).
void Operation::RemoveIdentical() {
  FileOperationRequest batch;
  batch.kind = FileOperationKind::kDelete;
  for (const FilePair& pair : c_.lists.pairs) {
    if (pair.source.modified != pair.target.modified || pair.source.size != pair.target.size ||
        pair.target.compare_state != kIdentical ||
        cp::EqualsIgnoreCase(pair.source.path, pair.target.path)) {
      continue;
    }
    batch.from.push_back(pair.target.path);
  }
  if (!batch.from.empty() && !RunBatch(std::move(batch))) return;
  Finish();
}

// The copy of a pair, if any: times that agree on a pair that differs (in size or content)
// count as one side newer, by the overwrite switches.
void Operation::AddPairCopy(FilePair& pair, const Directions& ways, FileOperationRequest* batch) {
  const FileRecord& source = pair.source;
  const FileRecord& target = pair.target;
  int j = CompareTimes(source, target, s_.second_folder_offset, s_.time_precision);
  if (j == 0 && source.compare_state != kIdentical && target.compare_state != kIdentical) {
    if (s_.older_overwrite != 0) {
      j = ways.update_source ? -1 : 1;
    } else if (s_.newer_overwrite != 0) {
      j = ways.update_source ? 1 : -1;
    }
  }
  bool to_source = false, to_target = false;
  if (j == -1 && ways.update_source) {
    to_source = s_.older_overwrite != 0;
  } else if (j == 1 && ways.update_target) {
    to_target = s_.older_overwrite != 0;
  } else if (j != 0 && s_.newer_overwrite != 0) {
    to_source = ways.update_source;
    to_target = !to_source && ways.update_target;
  }
  if (!to_source && !to_target) return;
  const FileRecord& from = to_source ? target : source;
  const FileRecord& replaced = to_source ? source : target;
  batch->from.push_back(from.path);
  batch->to.push_back(destination_.empty() ? replaced.path
                                           : destination_ + std::string(replaced.RelativePath()));
}

FileOperationRequest Operation::CopyBatch(const Directions& ways) {
  FileLists& lists = c_.lists;
  FileOperationRequest batch;
  batch.kind = FileOperationKind::kCopy;
  batch.from_are_files = true;
  const std::string& into_target = destination_.empty() ? target_ : destination_;
  const std::string& into_source = destination_.empty() ? source_ : destination_;
  bool subfolders = s_.search_subfolders != 0;
  if (ways.add_to_target) {
    for (const FileRecord& record : lists.source) {
      if (Unknown(record, lists.left_target, target_)) continue;
      batch.from.push_back(record.path);
      batch.to.push_back(into_target + std::string(record.RelativePath()));
    }
    if (subfolders) RecreateFolderTree(source_, target_);
  }
  for (FilePair& pair : lists.pairs) AddPairCopy(pair, ways, &batch);
  if (ways.add_to_source) {
    for (const FileRecord& record : lists.target) {
      if (Unknown(record, lists.left_source, source_)) continue;
      batch.from.push_back(record.path);
      batch.to.push_back(into_source + std::string(record.RelativePath()));
    }
    if (subfolders) RecreateFolderTree(target_, source_);
  }
  return batch;
}

// Runs a batch with the job's flags; false (the job cancelled, the log closed) when aborted.
bool Operation::RunBatch(FileOperationRequest request) {
  request.flags = request.kind == FileOperationKind::kCopy ? file_op::kSeveralDestinations
                                                           : file_op::kAllowUndo;
  if (s_.confirm_updates == 0) {
    request.flags |= file_op::kNoConfirmation | file_op::kNoFolderConfirmation;
  }
  if (s_.show_progress == 0) request.flags |= file_op::kSilent;
  FileOperationContext context{c_.services, s_.custom_message, s_.use_system_operations != 0};
  bool aborted = false;
  RunFileOperation(request, log_.get(), context, &aborted);
  if (!aborted) return true;
  *c_.cancel = true;
  Close();
  return false;
}

void Operation::Write(const std::string& text) {
  if (log_) log_->Write(text);
}

void Operation::Finish() {
  Write(TableText(text_id::kOperationComplete));
  Close();
}

void Operation::Close() {
  if (!log_) return;
  log_->Close();
  log_.reset();
}

}  // namespace

std::string OperationLogHeader(int code, const std::string& when, const SynchSettings& settings,
                               const std::string& source, const std::string& target) {
  int id =
      code <= 6 ? text_id::kLogHeaderSynchronize + code : text_id::kLogHeaderSynchronize - 1 + code;
  std::string header = FormatText(TableText(id), {when, settings.mask, source, target});
  if (!settings.destination_folder.empty() && header.size() >= 2) {
    header.resize(header.size() - 2);  // the closing CR LF
    header += "\tDestination: " + settings.destination_folder + kLineEnd;
  }
  return header;
}

void RunOperation(const std::string& source, const std::string& target, int code,
                  OperationContext& context) {
  Operation operation(source, target, code, context);
  operation.Run();
}

}  // namespace tsl
