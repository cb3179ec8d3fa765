// One synchronization operation, step by step: log header, folder check, comparison, the
// code's own preparation (prune, duplicates, folder trees), the copy batch, the end line.
#include "synch/operations.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "platform/file_names.h"
#include "platform/paths.h"
#include "resources/string_table.h"
#include "services/file_operation.h"
#include "synch/folder_tree.h"
#include "services/text_format.h"

namespace tsl {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kNestedFolders =
    "The source and target folders are the same folder, or one lies inside the other: "
    "nothing is deleted.";
constexpr const char* kNameClash = ": a file whose name differs only in letter case is there";

std::string NotDeletedLine(const std::string& path, const std::string& reason) {
  return "File " + path + " was not deleted: " + reason + kLineEnd;
}

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

// The places of one side that the comparison left alone (folders it could not list, links to
// folders, special files, odd names): what they hold is unknown, not absent, so a file of the
// other side is neither copied over them nor deleted as an orphan in their name. Names are
// compared as the file system compares them.
class LeftAlonePlaces {
 public:
  LeftAlonePlaces(const std::vector<LeftAlone>& entries, const std::string& root) {
    PathStyle style = NativePathStyle();
    for (const LeftAlone& entry : entries) {
      std::string_view relative = entry.path;
      relative.remove_prefix(std::min(root.size(), relative.size()));
      std::string folded = FoldFileName(relative, style);
      bool folder = EndsWithSeparator(entry.path, style);
      (folder ? folders_ : files_).insert(std::move(folded));
    }
  }

  /// True when the relative path is such a place, or lies below one.
  bool Holds(std::string_view relative) const {
    if (files_.empty() && folders_.empty()) return false;
    std::string folded = FoldFileName(relative, NativePathStyle());
    if (files_.count(folded) || folders_.count(folded + NativeSeparator())) return true;
    if (folders_.count("")) return true;  // the root itself could not be listed
    for (std::size_t at = folded.find(NativeSeparator()); at != std::string::npos;
         at = folded.find(NativeSeparator(), at + 1)) {
      if (folders_.count(folded.substr(0, at + 1))) return true;
    }
    return false;
  }

 private:
  std::unordered_set<std::string> files_;
  std::unordered_set<std::string> folders_;  // with their closing separators
};

// The folded relative paths of every file of one side, as hashes: a file of the other side that
// no pair joined to one of them may stand where the file system takes its name for theirs. A
// hash that two paths share only costs one more look at the disk.
std::unordered_set<std::uint64_t> FoldedPaths(const FileLists& lists, bool source_side) {
  std::unordered_set<std::uint64_t> paths;
  paths.reserve(lists.pairs.size() + (source_side ? lists.source : lists.target).size());
  PathStyle style = NativePathStyle();
  for (const FilePair& pair : lists.pairs) {
    paths.insert(FoldedNameHash((source_side ? pair.source : pair.target).RelativePath(), style));
  }
  for (const FileRecord& record : source_side ? lists.source : lists.target) {
    paths.insert(FoldedNameHash(record.RelativePath(), style));
  }
  return paths;
}

class Operation {
 public:
  Operation(const std::string& source, const std::string& target, int code,
            OperationContext& context)
      : source_(source),
        target_(target),
        code_(code),
        context_(context),
        settings_(context.settings),
        destination_(context.settings.destination_folder) {}

  void Run();

 private:
  void OpenLog();
  bool CheckFolders();
  bool CheckFolder(const std::string& folder);
  bool Compare();
  bool RefuseNestedFolders();
  bool Prune();
  bool KeepsOrphan(const FileRecord& orphan);
  void NoteLink(const FileRecord& record);
  void RemoveIdentical();
  bool KeepsDuplicate(const FilePair& pair);
  void AddOneSideCopies(const FileRecordList& records, bool from_source, const std::string& into,
                        FileOperationRequest* batch);
  void RecreateFolders(const std::string& from, const std::string& to);
  bool BlockedOnTheWay(const FileRecord& from, const std::string& into, std::string_view relative);
  void AddPairCopy(FilePair& pair, const Directions& ways, FileOperationRequest* batch);
  FileOperationRequest CopyBatch(const Directions& ways);
  bool RunBatch(FileOperationRequest request);
  void Write(const std::string& text);
  void Finish();
  void Close();

  const std::string source_;
  const std::string target_;
  const int code_;
  OperationContext& context_;
  SynchSettings& settings_;
  std::string destination_;
  std::unique_ptr<ReportOutput> log_;
  // The files that the source's links point to, looked up at the first orphan.
  std::optional<std::vector<FileIdentity>> linked_;
  std::optional<FolderPlaces> destination_places_, source_places_, target_places_;
};

void Operation::Run() {
  if (settings_.match_in_subfolders) return;
  OpenLog();
  const CalendarTime now = context_.services.LocalNow();  // one reading: date and time agree at midnight
  std::string when = FormatWithPicture(context_.services.ShortDatePicture(), now) + " " +
                     FormatWithPicture(context_.services.TimePicture(), now);
  Write(OperationLogHeader(code_, when, settings_, source_, target_));
  if (!CheckFolders() || !Compare()) return;
  if ((code_ == op::kPrune || code_ == op::kIdentical) && RefuseNestedFolders()) return;
  if (code_ == op::kPrune && !Prune()) return;
  if (code_ == op::kIdentical) return RemoveIdentical();
  if (code_ == op::kMakeFolders) RecreateFolders(source_, target_);
  if (code_ == op::kDeleteEmpty) RemoveEmptyFolders(target_, context_.lists.inner_folder);
  FileOperationRequest batch = CopyBatch(DirectionsOf(code_));
  if (!batch.from.empty() && !RunBatch(std::move(batch))) return;
  Finish();
}

void Operation::OpenLog() {
  if (!settings_.output_file.empty()) {
    log_ = context_.services.OpenOutput(settings_.output_file, settings_.append_to_output);
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
  if (settings_.display_error_messages &&
      context_.services.ShowMessage(text, MessageButtons::kOkCancel) == Answer::kCancel) {
    *context_.cancel = true;
  }
  return false;
}

// The comparison, without a report. One that was cancelled, or could not scan a folder, ends
// the operation: acting on part of the lists could copy over or delete files it never saw.
bool Operation::Compare() {
  context_.compare();
  if (!destination_.empty()) destination_ = WithClosingSeparator(destination_, NativePathStyle());
  if (*context_.cancel) {
    Close();
    return false;
  }
  for (const auto* side : {&context_.lists.left_source, &context_.lists.left_target}) {
    for (const LeftAlone& entry : *side) Write(LeftAloneLine(entry) + kLineEnd);
  }
  return true;
}

// The operations that delete refuse to run on one folder seen twice, or on two folders one of
// which lies inside the other: each side's files would be taken for the other's. The script's
// later actions still run. True when refused.
bool Operation::RefuseNestedFolders() {
  if (context_.lists.relation == FolderRelation::kApart) return false;
  Write(std::string(kNestedFolders) + kLineEnd);
  Close();
  context_.services.ShowMessage(kNestedFolders);
  return true;
}

// Deletes the target's orphans (never when the source holds no file at all), then its folders
// that the source lacks. False when the operation ends here.
bool Operation::Prune() {
  FileLists& lists = context_.lists;
  if (lists.pairs.empty() && lists.source.empty()) {
    Write(TableText(text_id::kLogPruneEmptySource));
    Close();
    return false;
  }
  FileOperationRequest batch;
  batch.kind = FileOperationKind::kDelete;
  LeftAlonePlaces unknown(lists.left_source, source_);
  for (const FileRecord& record : lists.target) {
    if (unknown.Holds(record.RelativePath()) || KeepsOrphan(record)) continue;
    batch.from.push_back(destination_.empty() ? record.Path()
                                              : destination_ + std::string(record.RelativePath()));
  }
  if (!batch.from.empty() && !RunBatch(std::move(batch))) return false;
  RemoveOrphanFolders(target_, source_, context_.lists.inner_folder);
  return true;
}

// An orphan that a link of the source points to is the source's file under another name: it
// is kept, with a log line. Only links need the look (a hard link keeps its data anyway).
bool Operation::KeepsOrphan(const FileRecord& orphan) {
  if (!linked_) {
    linked_.emplace();
    for (const FilePair& pair : context_.lists.pairs) NoteLink(pair.source);
    for (const FileRecord& record : context_.lists.source) NoteLink(record);
  }
  if (linked_->empty()) return false;
  FileIdentity identity;
  if (Files().GetIdentity(orphan.Path(), &identity).failed()) return false;
  if (std::find(linked_->begin(), linked_->end(), identity) == linked_->end()) return false;
  Write(NotDeletedLine(orphan.Path(), "a link of the source points to it"));
  return true;
}

void Operation::NoteLink(const FileRecord& record) {
  FileIdentity identity;
  if (record.link && Files().GetIdentity(record.Path(), &identity).ok())
    linked_->push_back(identity);
}

// Deletes the target files whose source has exactly the same time and size. A pair that the
// comparison found different is no duplicate; and before each deletion the two files are read
// again, byte by byte, and must be two files, not one file seen twice (a link, or the same
// folder spelt two ways): otherwise the target is kept, with a log line.
void Operation::RemoveIdentical() {
  FileOperationRequest batch;
  batch.kind = FileOperationKind::kDelete;
  for (const FilePair& pair : context_.lists.pairs) {
    if (pair.source.modified_utc != pair.target.modified_utc ||
        pair.source.size != pair.target.size || pair.target.compare_state != kIdentical) {
      continue;
    }
    if (!KeepsDuplicate(pair)) batch.from.push_back(pair.target.Path());
  }
  if (!batch.from.empty() && !RunBatch(std::move(batch))) return;
  Finish();
}

bool Operation::KeepsDuplicate(const FilePair& pair) {
  const std::string source = pair.source.Path();
  const std::string target = pair.target.Path();
  FileIdentity a, b;
  SysError e = Files().GetIdentity(source, &a);
  if (e.ok()) e = Files().GetIdentity(target, &b);
  if (e.ok() && a == b) {
    Write(NotDeletedLine(target, "it is the same file as " + source));
    return true;
  }
  bool same = false;
  if (e.ok()) e = SameBytes(source, target, &same);
  if (e.failed()) {
    Write(NotDeletedLine(target,
                         "Error \"" + SystemErrorText(e.code) + "\" comparing it with " + source));
    return true;
  }
  if (!same) Write(NotDeletedLine(target, "its contents differ from " + source));
  return !same;
}

// The copy of a pair, if any: times that agree on a pair that differs (in size or content)
// count as one side newer, by the overwrite switches.
void Operation::AddPairCopy(FilePair& pair, const Directions& ways, FileOperationRequest* batch) {
  const FileRecord& source = pair.source;
  const FileRecord& target = pair.target;
  int j = CompareTimes(source, target, settings_.second_folder_offset, settings_.time_precision);
  if (j == 0 && source.compare_state != kIdentical && target.compare_state != kIdentical) {
    if (settings_.older_overwrite) {
      j = ways.update_source ? -1 : 1;
    } else if (settings_.newer_overwrite) {
      j = ways.update_source ? 1 : -1;
    }
  }
  bool to_source = false, to_target = false;
  if (j == -1 && ways.update_source) {
    to_source = settings_.older_overwrite;
  } else if (j == 1 && ways.update_target) {
    to_target = settings_.older_overwrite;
  } else if (j != 0 && settings_.newer_overwrite) {
    to_source = ways.update_source;
    to_target = !to_source && ways.update_target;
  }
  if (!to_source && !to_target) return;
  const FileRecord& from = to_source ? target : source;
  const FileRecord& replaced = to_source ? source : target;
  if (!destination_.empty() && BlockedOnTheWay(from, destination_, replaced.RelativePath())) return;
  batch->from.push_back(from.Path());
  batch->to.push_back(destination_.empty() ? replaced.Path()
                                           : destination_ + std::string(replaced.RelativePath()));
}

FileOperationRequest Operation::CopyBatch(const Directions& ways) {
  FileLists& lists = context_.lists;
  FileOperationRequest batch;
  batch.kind = FileOperationKind::kCopy;
  batch.from_are_files = true;
  const std::string& into_target = destination_.empty() ? target_ : destination_;
  const std::string& into_source = destination_.empty() ? source_ : destination_;
  bool subfolders = settings_.search_subfolders;
  if (ways.add_to_target) {
    AddOneSideCopies(lists.source, true, into_target, &batch);
    if (subfolders) RecreateFolders(source_, target_);
  }
  for (FilePair& pair : lists.pairs) AddPairCopy(pair, ways, &batch);
  if (ways.add_to_source) {
    AddOneSideCopies(lists.target, false, into_source, &batch);
    if (subfolders) RecreateFolders(target_, source_);
  }
  return batch;
}

// The copies of the files found on one side only, to the same relative path below `into`. A
// file is not copied where the other side left a place alone, nor over a file of the other side
// whose name differs from its own in letter case only: on a file system that ignores case, the
// new name would name that file, which has a partner of its own (or which the pairing could not
// tell apart). Only such a name is looked up, and a copy that would land on an existing file is
// logged instead. On a file system that keeps case apart, the copy makes a file of its own.
void Operation::AddOneSideCopies(const FileRecordList& records, bool from_source,
                                 const std::string& into, FileOperationRequest* batch) {
  const FileLists& lists = context_.lists;
  LeftAlonePlaces unknown(from_source ? lists.left_target : lists.left_source,
                          from_source ? target_ : source_);
  if (records.empty()) return;
  std::unordered_set<std::uint64_t> other = FoldedPaths(lists, !from_source);
  PathStyle style = NativePathStyle();
  for (const FileRecord& record : records) {
    if (unknown.Holds(record.RelativePath())) continue;
    std::string to = into + std::string(record.RelativePath());
    if (BlockedOnTheWay(record, into, record.RelativePath())) continue;
    if (destination_.empty() && other.count(FoldedNameHash(record.RelativePath(), style)) &&
        PathExists(to)) {
      Write("File " + record.Path() + " was not copied to " + to + kNameClash + kLineEnd);
      continue;
    }
    batch->from.push_back(record.Path());
    batch->to.push_back(std::move(to));
  }
}

// The folders on the way of a copy that no scan has seen: a destination folder's, and, when one
// folder lies inside the other, the outer one's, whose scan passed the inner folder over. Each
// folder is looked at once; a copy is left out, with a log line, when a folder on its way is a
// link or a file, cannot be examined, or is the inner folder (nothing is copied into itself).
bool Operation::BlockedOnTheWay(const FileRecord& from, const std::string& into,
                                std::string_view relative) {
  bool nested = context_.lists.inner_folder.has_value();
  if (into != destination_ && !nested) return false;
  auto& places = into == source_   ? source_places_
                 : into == target_ ? target_places_
                                   : destination_places_;
  if (!places) places.emplace(into, context_.lists.inner_folder);
  std::string folder = FolderPart(std::string(relative), NativePathStyle());
  FolderPlace place = folder.empty() ? FolderPlace::kFolder : places->Of(folder);
  if (place == FolderPlace::kFolder || place == FolderPlace::kMissing) return false;
  Write("File " + from.Path() + " was not copied to " + into + std::string(relative) +
        (place == FolderPlace::kInner ? ": it would land inside the other folder"
                                      : ": a folder on its way is a link, a file, or cannot be "
                                        "examined") +
        kLineEnd);
  return true;
}

void Operation::RecreateFolders(const std::string& from, const std::string& to) {
  for (const std::string& line : RecreateFolderTree(from, to, context_.lists.inner_folder)) {
    Write(line + kLineEnd);
  }
}

// Runs a batch with the job's flags; false (the job cancelled, the log closed) when aborted.
bool Operation::RunBatch(FileOperationRequest request) {
  request.flags = request.kind == FileOperationKind::kCopy ? file_op::kSeveralDestinations
                                                           : file_op::kAllowUndo;
  if (!settings_.confirm_updates) {
    request.flags |= file_op::kNoConfirmation | file_op::kNoFolderConfirmation;
  }
  if (!settings_.show_progress) request.flags |= file_op::kSilent;
  FileOperationContext context{context_.services, settings_.custom_message,
                               settings_.use_system_operations};
  if (!RunFileOperation(request, log_.get(), context).aborted) return true;
  *context_.cancel = true;
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
