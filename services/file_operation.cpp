// The program's own way through a batch: list the items (the files of folders added at the
// end), ask before deleting, then item by item: ask before overwriting, perform, write one log
// line; and at the end show what failed.
#include "services/file_operation.h"

#include <memory>
#include <optional>

#include "services/messages.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/shell_file_operation.h"
#include "resources/string_table.h"
#include "services/folder_walker.h"
#include "services/folders.h"
#include "services/file_operation_prompts.h"
#include "services/text_format.h"

namespace tsl {
namespace {

constexpr const char* kOverwriteHeader = "Do you want to overwrite the file:";
constexpr std::uint32_t kProtected = attr::kReadOnly | attr::kHidden | attr::kSystem;
constexpr std::uint32_t kSettable = kProtected | attr::kArchive;

struct Item {
  std::string from;
  std::string to;
  bool from_is_folder = false;
};

// What is at a path: nothing, an entry, or a failure to tell which.
struct Lookup {
  enum State { kMissing, kPresent, kFailed };
  State state = kMissing;
  DirEntry entry;
  SysError error;
};

Lookup LookUp(const std::string& path) {
  Lookup result;
  SysError e = Files().GetEntry(path, &result.entry);
  if (e.ok()) {
    result.state = Lookup::kPresent;
  } else if (e.kind != ErrorKind::kNotFound && e.kind != ErrorKind::kPathNotFound) {
    result.state = Lookup::kFailed;
    result.error = e;
  }
  return result;
}

// Items whose from path ends in a separator and a dot stand for folders to create.
bool IsFolderMarker(const std::string& path) {
  std::string marker = std::string(1, NativeSeparator()) + ".";
  return path.size() >= 2 && path.compare(path.size() - 2, 2, marker) == 0;
}

// Takes the protection off a file before it is deleted, and puts it back when that fails.
SysError RemoveUnprotected(const std::string& path, std::uint32_t attributes) {
  bool protect = (attributes & kProtected) != 0;
  if (protect) {
    if (SysError e = Files().SetAttributes(path, attr::kNormal); e.failed()) return e;
  }
  SysError removed = Files().RemoveFile(path);
  if (removed.failed() && protect) Files().SetAttributes(path, attributes & kSettable);
  return removed;
}

// The confirmation state of a batch (see Batch::Ask).
struct ConfirmationState {
  bool overwrite_all = false;
  bool skip_existing = false;
  bool read_only_all = false;
  bool overwrite_read_only = true;
};

class Batch {
 public:
  Batch(const FileOperationRequest& request, ReportOutput* log, const FileOperationContext& context)
      : request_(request), log_(log), context_(context) {
    if (request.flags & file_op::kNoConfirmation) {
      state_.overwrite_all = true;
      state_.read_only_all = true;
    }
  }

  FileOperationResult Run();

 private:
  enum class Decision { kGo, kSkip, kCancel };

  bool is_delete() const { return request_.kind == FileOperationKind::kDelete; }
  /// The error line of a copy, move or rename.
  int ErrorId() const {
    return request_.kind == FileOperationKind::kMove     ? text_id::kLogMoveError
           : request_.kind == FileOperationKind::kRename ? text_id::kLogRenameError
                                                         : text_id::kLogCopyError;
  }
  std::string ToPathOf(std::size_t index) const;
  void ListItems();
  void AppendFolderFiles(const Item& folder);
  std::unique_ptr<JobProgress> OpenProgress();
  bool RunItem(const Item& item);
  Decision Ask(const Item& item, const DirEntry& existing);
  void TakeAnswer(ReplaceAnswer answer, bool protect);
  std::string TimeText(FileTime utc) const;
  bool PrepareTarget(const Item& item, const Lookup& target, int refused_id, int error_id,
                     std::optional<std::uint32_t>* cleared);
  void CopyOrMove(const Item& item, const Lookup& target);
  void Rename(const Item& item, const Lookup& target);
  void Delete(const Item& item);
  std::string ErrorLine(int id, const SysError& error, const Item& item) const;
  void Write(const std::string& line);
  void Done(const std::string& line);
  void Failed(const std::string& line);

  const FileOperationRequest& request_;
  ReportOutput* log_;
  const FileOperationContext& context_;
  std::vector<Item> items_;
  ConfirmationState state_;
  std::vector<std::string> errors_;
  std::size_t files_done_ = 0;
  bool progress_cancelled_ = false;
  std::string ensured_folder_;  // the folder that the last new file found or made
  std::string date_picture_;
  std::string time_picture_;
};

std::string Batch::ToPathOf(std::size_t index) const {
  if (is_delete()) return "";
  if (request_.flags & file_op::kSeveralDestinations) {
    return index < request_.to.size() ? request_.to[index] : "";
  }
  if (request_.to.empty()) return "";
  return JoinPath(request_.to[0], NamePart(request_.from[index], NativePathStyle()),
                  NativePathStyle());
}

// The items in request order; for copy and move, each folder's files follow at the end.
void Batch::ListItems() {
  for (std::size_t i = 0; i < request_.from.size(); ++i) {
    items_.push_back(Item{request_.from[i], ToPathOf(i)});
  }
  if ((request_.kind != FileOperationKind::kCopy && request_.kind != FileOperationKind::kMove) ||
      request_.from_are_files) {
    return;
  }
  std::size_t listed = items_.size();
  for (std::size_t i = 0; i < listed; ++i) {
    if (IsFolderMarker(items_[i].from)) continue;
    Lookup source = LookUp(items_[i].from);
    if (source.state == Lookup::kPresent && source.entry.is_folder() &&
        !(source.entry.attributes & attr::kReparsePoint)) {
      items_[i].from_is_folder = true;
      Item folder = items_[i];
      AppendFolderFiles(folder);
    }
  }
}

// Every file below the folder, at any depth: a folder's files in listing order, a subfolder's
// at the point where it is met. The walker's rule holds: folders whose names begin with `.` and
// links to folders are not entered; a folder that cannot be listed adds nothing.
void Batch::AppendFolderFiles(const Item& folder) {
  std::string to = WithClosingSeparator(folder.to, NativePathStyle());
  FolderWalker walker(folder.from, WalkOptions{});
  while (walker.Next()) {
    if (walker.step() == WalkStep::kFile) {
      items_.push_back(Item{walker.path(), to + std::string(walker.relative())});
    }
  }
}

std::unique_ptr<JobProgress> Batch::OpenProgress() {
  if (request_.flags & file_op::kSilent) return nullptr;
  std::string text = context_.custom_message;
  if (text.empty()) {
    text = TableText(request_.kind == FileOperationKind::kCopy   ? text_id::kCopyFilesTitle
                     : request_.kind == FileOperationKind::kMove ? text_id::kMoveFilesTitle
                                                                 : text_id::kDeleteFilesTitle);
  }
  return context_.services.OpenProgress(100 * static_cast<std::int64_t>(items_.size()),
                                        &progress_cancelled_, text);
}

FileOperationResult Batch::Run() {
  FileOperationResult result;
  ListItems();
  if (is_delete() && !state_.overwrite_all &&
      context_.services.ShowMessage(TableText(text_id::kConfirmDelete), MessageButtons::kYesNo) !=
          Answer::kYes) {
    result.aborted = true;
    result.none_done = true;
    return result;
  }
  date_picture_ = context_.services.ShortDatePicture();
  time_picture_ = context_.services.TimePicture();
  std::unique_ptr<JobProgress> progress = OpenProgress();
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (progress) progress->SetPosition(100 * static_cast<std::int64_t>(i));
    if (progress_cancelled_ || !RunItem(items_[i])) {
      result.aborted = true;
      break;
    }
  }
  if (progress && !progress_cancelled_) progress->Close();
  if (!errors_.empty() && (!(request_.flags & file_op::kNoConfirmation) || !log_)) {
    ShowErrorList(errors_);
  }
  result.none_done = files_done_ == 0;
  return result;
}

// One item; false when the user cancelled.
bool Batch::RunItem(const Item& item) {
  if (IsFolderMarker(item.from)) {
    if (!is_delete() && !PathExists(item.to)) EnsureParentFolders(item.to);
    return true;
  }
  if (is_delete()) {
    Delete(item);
    return true;
  }
  if (item.from_is_folder) return true;  // its files are items of their own
  if (!state_.overwrite_all) state_.skip_existing = false;
  if (!state_.read_only_all) state_.overwrite_read_only = false;
  Lookup target = LookUp(item.to);
  if (target.state == Lookup::kFailed) {
    Failed(ErrorLine(ErrorId(), target.error, item));
    return true;
  }
  bool asking =
      !(state_.overwrite_all && state_.read_only_all) && target.state == Lookup::kPresent &&
      !target.entry.is_folder() &&
      (!state_.overwrite_all || (!state_.skip_existing && (target.entry.attributes & kProtected)));
  if (asking) {
    Decision decision = Ask(item, target.entry);
    if (decision == Decision::kCancel) return false;
    if (decision == Decision::kSkip) return true;
  }
  if (request_.kind == FileOperationKind::kRename) {
    Rename(item, target);
  } else {
    CopyOrMove(item, target);
  }
  return true;
}

// The replace confirmation. Its header and the meaning of its answers depend on whether the
// existing file is protected (read-only, hidden or system) and protected files are still asked
// about one by one.
Batch::Decision Batch::Ask(const Item& item, const DirEntry& existing) {
  Lookup source = LookUp(item.from);
  if (source.state != Lookup::kPresent) {
    SysError missing =
        source.state == Lookup::kFailed ? source.error : ErrorOfKind(ErrorKind::kNotFound);
    Failed(ErrorLine(ErrorId(), missing, item));
    return Decision::kSkip;
  }
  bool protect = !state_.read_only_all && (existing.attributes & kProtected);
  std::string existing_line =
      FormatText(TableText(text_id::kConfirmExistingLine),
                 {item.to, std::to_string(existing.size), TimeText(existing.modified)});
  std::string replacement_line =
      FormatText(TableText(text_id::kConfirmReplacementLine),
                 {item.from, std::to_string(source.entry.size), TimeText(source.entry.modified)});
  ReplaceAnswer answer =
      AskReplace(protect ? TableText(text_id::kConfirmReadOnly) : kOverwriteHeader, existing_line,
                 replacement_line);
  if (answer == ReplaceAnswer::kCancel) return Decision::kCancel;
  TakeAnswer(answer, protect);
  return Decision::kGo;
}

void Batch::TakeAnswer(ReplaceAnswer answer, bool protect) {
  bool yes = answer == ReplaceAnswer::kYes || answer == ReplaceAnswer::kYesToAll;
  bool to_all = answer == ReplaceAnswer::kYesToAll || answer == ReplaceAnswer::kNoToAll;
  if (protect) {
    state_.overwrite_read_only = yes;
    if (to_all) state_.read_only_all = true;
  } else {
    state_.skip_existing = !yes;
    if (to_all) state_.overwrite_all = true;
  }
}

// A file's modified time as the confirmation shows it: the user's short date and time format.
std::string Batch::TimeText(FileTime utc) const {
  std::optional<CalendarTime> local = ToCalendar(UtcToLocal(utc));
  if (!local) return "";
  return FormatWithPicture(date_picture_, *local) + " " + FormatWithPicture(time_picture_, *local);
}

// Before copying, moving or renaming onto the to path: a refused overwrite ends the item; a
// protected file that may be overwritten loses its protection (noted in `cleared`); a new
// file's folders are made.
bool Batch::PrepareTarget(const Item& item, const Lookup& target, int refused_id, int error_id,
                          std::optional<std::uint32_t>* cleared) {
  if (target.state != Lookup::kPresent) {
    // Files of one folder come in a row: its folders are made (or found) once.
    std::string folder = FolderPart(item.to, NativePathStyle());
    if (folder != ensured_folder_) {
      ensured_folder_ = EnsureParentFolders(item.to) ? folder : std::string();
    }
    return true;
  }
  bool protect = (target.entry.attributes & kProtected) != 0;
  if (state_.skip_existing || (protect && !state_.overwrite_read_only)) {
    Write(FormatText(TableText(refused_id), {item.from, item.to}));
    return false;
  }
  if (protect) {
    if (SysError e = Files().SetAttributes(item.to, attr::kNormal); e.failed()) {
      Failed(ErrorLine(error_id, e, item));
      return false;
    }
    *cleared = target.entry.attributes & kSettable;
  }
  return true;
}

void Batch::CopyOrMove(const Item& item, const Lookup& target) {
  bool move = request_.kind == FileOperationKind::kMove;
  int error_id = move ? text_id::kLogMoveError : text_id::kLogCopyError;
  std::optional<std::uint32_t> cleared;
  if (!PrepareTarget(item, target, move ? text_id::kLogMoveAborted : text_id::kLogCopyAborted,
                     error_id, &cleared)) {
    return;
  }
  CopyMode mode = state_.skip_existing ? CopyMode::kFailIfExists : CopyMode::kReplace;
  if (SysError e = Files().CopyFileKeepingTimes(item.from, item.to, mode, {}); e.failed()) {
    if (cleared) Files().SetAttributes(item.to, *cleared);  // the old file is still there
    Failed(ErrorLine(error_id, e, item));
    return;
  }
  if (!move) {
    Done(FormatText(TableText(text_id::kLogCopied), {item.from, item.to}));
    return;
  }
  std::uint32_t attributes = 0;
  Files().GetAttributes(item.from, &attributes);
  if (SysError e = RemoveUnprotected(item.from, attributes); e.failed()) {
    Failed(ErrorLine(text_id::kLogMoveError, e, item));
    return;
  }
  Done(FormatText(TableText(text_id::kLogMoved), {item.from, item.to}));
}

void Batch::Rename(const Item& item, const Lookup& target) {
  std::optional<std::uint32_t> cleared;
  if (!PrepareTarget(item, target, text_id::kLogMoveAborted, text_id::kLogRenameError, &cleared)) {
    return;
  }
  bool replace = target.state == Lookup::kPresent;
  if (SysError e = Files().Rename(item.from, item.to, replace); e.failed()) {
    if (cleared) Files().SetAttributes(item.to, *cleared);
    Failed(ErrorLine(text_id::kLogRenameError, e, item));
    return;
  }
  Done(FormatText(TableText(text_id::kLogRenamed), {item.from, item.to}));
}

// A folder goes with everything in it, counted without a line (a link to a folder: the link
// alone); a file that is already gone counts as deleted.
void Batch::Delete(const Item& item) {
  Lookup source = LookUp(item.from);
  if (source.state == Lookup::kFailed) {
    Failed(ErrorLine(text_id::kLogDeleteError, source.error, item));
    return;
  }
  if (source.state == Lookup::kPresent && source.entry.is_folder()) {
    bool failed =
        (source.entry.attributes & attr::kReparsePoint)
            ? Files().RemoveFolder(item.from).failed() && Files().RemoveFile(item.from).failed()
            : DeleteFolderTree(item.from).failed();
    if (!failed) ++files_done_;
    return;
  }
  if (source.state == Lookup::kPresent) {
    if (SysError e = RemoveUnprotected(item.from, source.entry.attributes); e.failed()) {
      Failed(ErrorLine(text_id::kLogDeleteError, e, item));
      return;
    }
  }
  Done(FormatText(TableText(text_id::kLogDeleted), {item.from}));
}

// An error line: the system's text for the error, or its number where the format wants one.
std::string Batch::ErrorLine(int id, const SysError& error, const Item& item) const {
  std::string format = TableText(id);
  std::string cause = format.find("%d") != std::string::npos ? std::to_string(error.code)
                                                             : SystemErrorText(error.code);
  if (id == text_id::kLogDeleteError) return FormatText(format, {cause, item.from});
  return FormatText(format, {cause, item.from, item.to});
}

void Batch::Write(const std::string& line) {
  if (log_) log_->Write(line);
}

void Batch::Done(const std::string& line) {
  Write(line);
  ++files_done_;
}

void Batch::Failed(const std::string& line) {
  Write(line);
  std::string listed = line;
  while (!listed.empty() && (listed.back() == '\n' || listed.back() == '\r')) listed.pop_back();
  errors_.push_back(listed);
}

}  // namespace

FileOperationResult RunFileOperation(const FileOperationRequest& request, ReportOutput* log,
                                     const FileOperationContext& context) {
  FileOperationResult result;
  if (context.use_system_operations && HasShellFileOperation()) {
    result.none_done = RunShellFileOperation(static_cast<int>(request.kind), request.from,
                                             request.to, request.flags, &result.aborted) != 0;
    return result;
  }
  Batch batch(request, log, context);
  return batch.Run();
}

}  // namespace tsl
