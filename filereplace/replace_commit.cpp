// The replace side of the engine: the temporary files the passes write, the confirmation
// windows, and the commit of a file's new content with its backup and undo line.
//
// A searched file is never written in place. Its new content waits in a temporary file until
// every pass, question and check is done; then the content is copied to a new file beside it,
// which takes its name by a rename only when complete. A failure anywhere, a full disk or a
// killed process therefore leave the file's old content byte for byte. A backup, when asked
// for, is complete before the file is replaced, and is made once per run from the original.
#include <string>
#include <vector>

#include "filereplace/backup_and_undo.h"
#include "filereplace/result_output.h"
#include "filereplace/search_engine.h"
#include "platform/paths.h"
#include "services/file_list.h"
#include "services/folders.h"
#include "services/job_services.h"
#include "services/messages.h"
#include "services/replace_confirmation.h"

namespace tsl {
namespace {

constexpr std::uint32_t kProtectingAttributes = attr::kReadOnly | attr::kHidden | attr::kSystem;

// The buttons of the Confirmation Required window.
enum ConfirmAnswer { kYes, kYesToAll, kNo, kCancel };

std::string Name(const std::string& path) { return NamePart(path, NativePathStyle()); }

}  // namespace

bool FileReplaceEngine::CreateTemporaryFiles(std::size_t entries) {
  RemoveTemporaryFiles();
  std::size_t count = entries > 1 ? 2 : 1;
  for (std::size_t i = 0; i < count; ++i) {
    std::string path;
    if (Files().CreateTempFile(Files().TempFolder(), "FM", &path).failed()) {
      RemoveTemporaryFiles();
      return false;
    }
    temporary_.push_back(path);
  }
  return true;
}

void FileReplaceEngine::RemoveTemporaryFiles() {
  for (const std::string& path : temporary_) Files().RemoveFile(path);
  temporary_.clear();
}

// The file-wide answers end with the file; a folder-wide one with its folder.
void FileReplaceEngine::StartFileAnswers(const std::string& path) {
  answers_.replace_rest_in_file = false;
  answers_.skip_rest_of_file = false;
  if (answers_.folder == Answers::Folder::kNone) return;
  if (FolderPart(path, NativePathStyle()) != answers_.folder_path) {
    answers_.folder = Answers::Folder::kNone;
    return;
  }
  if (answers_.folder == Answers::Folder::kReplace) answers_.replace_rest_in_file = true;
}

// Whether the next occurrence is put to the user (else DecideOccurrence decides alone).
bool FileReplaceEngine::WillAsk() const {
  return options_.prompt == 0 && !answers_.skip_rest_of_file && !answers_.replace_rest_in_file &&
         !answers_.replace_all && !cancel_;
}

bool FileReplaceEngine::DecideOccurrence(const std::string& path, const std::string& hit_line) {
  if (!WillAsk()) return !answers_.skip_rest_of_file && !cancel_;
  std::string shown = PlainResultText(hit_line, options_.before_hit, options_.after_hit);
  switch (AskReplaceConfirmation(path, shown)) {
    case kReplaceThis:
      return true;
    case kSkipThis:
      return false;
    case kReplaceRestInFile:
      answers_.replace_rest_in_file = true;
      return true;
    case kSkipRestOfFile:
      answers_.skip_rest_of_file = true;
      return false;
    case kReplaceRestInFolder:
      answers_.folder = Answers::Folder::kReplace;
      answers_.folder_path = FolderPart(path, NativePathStyle());
      answers_.replace_rest_in_file = true;
      return true;
    case kSkipRestInFolder:
      answers_.folder = Answers::Folder::kSkip;
      answers_.folder_path = FolderPart(path, NativePathStyle());
      answers_.skip_rest_of_file = true;
      return false;
    case kReplaceAllRemaining:
      answers_.replace_all = true;
      return true;
    default:
      cancel_ = true;
      return false;
  }
}

int FileReplaceEngine::AskConfirmation(const std::string& question) {
  int answer =
      AskQuestion("Confirmation Required", question, {"&Yes", "Yes to &All", "&No", "Cancel"},
                  DialogStyle::kConfirmationRequired);
  if (answer == kYesToAll) answers_.yes_to_all = true;
  if (answer != kYes && answer != kYesToAll && answer != kNo) {
    cancel_ = true;
    return kCancel;
  }
  return answer;
}

bool FileReplaceEngine::AskWholeFileMode(const std::string& question) {
  if (options_.prompt != 0 || answers_.replace_rest_in_file || answers_.replace_all) return true;
  int answer = AskConfirmation(question);
  if (answer == kYesToAll) answers_.replace_all = true;
  return answer == kYes || answer == kYesToAll;
}

// A copy of the file as it is now (the first time this run replaces it), to the backup path.
bool FileReplaceEngine::MakeBackup(const FileListEntry& file, const std::string& backup,
                                   const std::string& new_content) {
  const std::string& from = new_content.empty() ? file.path : new_content;
  // A backup folder that is the searched folder (or leads to it) would make the file its own
  // backup, and the undo line would copy the new content over itself.
  FileIdentity searched;
  bool ok = Files().GetIdentity(file.path, &searched).ok() && !HasIdentity(backup, searched);
  if (ok) ok = EnsureParentFolders(backup);
  std::uint32_t attributes = 0;
  if (ok && Files().GetAttributes(backup, &attributes).ok() &&
      (attributes & kProtectingAttributes) != 0) {
    ok = Files().SetAttributes(backup, attributes & ~kProtectingAttributes).ok();
  }
  if (ok) ok = Files().CopyFileKeepingTimes(from, backup, CopyMode::kReplace, {}).ok();
  if (!ok) Line("Error creating/writing file to backup directory " + Name(file.path));
  return ok;
}

void FileReplaceEngine::CommitFile(const FileListEntry& file, std::size_t pair_index) {
  const std::string& path = file.path;
  const std::string& content = temporary_[static_cast<std::size_t>(change_.last_output)];
  if (options_.prompt != 2 && !answers_.replace_rest_in_file && !answers_.replace_all) {
    Answer answer = services_.ShowMessage(
        "Replace " + std::to_string(change_.replacements) + " occurences in file " + path + "?",
        MessageButtons::kYesNoCancel);
    if (answer == Answer::kCancel) cancel_ = true;
    if (answer != Answer::kYes) return;
  }
  // The file as it is now: its attributes come back after the commit, and its size decides
  // whether the new content is what the replacements should have made of it.
  DirEntry now;
  if (Files().GetEntry(path, &now).failed()) {
    Line("Error opening  " + Name(path));
    return;
  }
  if (now.link) {
    // Replacing would put a file in the link's place; what it points to is not in the search.
    Line("Error replacing file " + Name(path) + ": it is a symbolic link, left as it is");
    return;
  }
  std::string backup;
  if (!options_.backup_path.empty()) {
    backup = backup_paths_->For(pair_index, path);
    if (options_.write_to_backup_dir) {
      // The new content goes to the backup path; the searched file stays as it is, and the
      // undo line copies it back over the backup.
      if (!AddUndoLine(path, backup, path)) return;
      if (!MakeBackup(file, backup, content)) return;
      Files().SetAttributes(backup, now.attributes);
      if (options_.keep_file_time_stamp) Files().SetTimes(backup, 0, now.modified);
      replacements_ += change_.replacements;
      pass_replacements_ += change_.replacements;
      replaced_.insert(path);
      return;
    }
  }

  const std::uint32_t protecting = now.attributes & kProtectingAttributes;
  if (protecting != 0 && options_.prompt != 2 && !answers_.yes_to_all) {
    int answer = AskConfirmation("File is Read-Only, System or Hidden.\nReplace anyway?");
    if (answer != kYes && answer != kYesToAll) return;
  }
  if (change_.binary && options_.prompt != 2 && !answers_.yes_to_all) {
    int answer = AskConfirmation(
        "You are replacing in a binary file.  This can corrupt your file and the application that "
        "produced it may not be able to read it.  Do you wish to continue anyway?");
    if (answer != kYes && answer != kYesToAll) return;
  }

  DirEntry output;
  if (Files().GetEntry(content, &output).failed()) {
    Line("Error seeking in file " + Name(path));
    return;
  }
  const std::int64_t expected = static_cast<std::int64_t>(now.size) - change_.size_change;
  const auto actual = static_cast<std::int64_t>(output.size);
  if (!change_.reformatted && expected != actual) {
    Line("Mismatch between expected and actual size after replace:\n" + std::to_string(expected) +
         " bytes expected, " + std::to_string(actual) + " bytes actual in file:\n " + path);
    return;
  }

  // The backup and its undo line are in place before the file is touched: whatever happens
  // after, running the undo script gives the file its original content.
  if (!backup.empty()) {
    if (backed_up_.count(path) == 0) {
      if (!MakeBackup(file, backup, "")) return;
      backed_up_.insert(path);
    }
    if (!AddUndoLine(path, backup, backup)) return;
  }
  if (protecting != 0 &&
      Files().SetAttributes(path, now.attributes & ~kProtectingAttributes).failed()) {
    Line("Error renaming file " + Name(path));
    return;
  }
  // The new file keeps the old one's attributes and takes the new content's last write time (the
  // time it was written), or with Keep file time stamp the old one's.
  SysError placed;
  if (options_.keep_file_time_stamp) placed = Files().SetTimes(content, 0, now.modified);
  if (placed.ok())
    placed = Files().CopyFileKeepingTimes(content, path, CopyMode::kReplaceContent, {});
  // Attributes cleared for the replacement come back whether the file was replaced or not.
  if (protecting != 0) Files().SetAttributes(path, now.attributes);
  if (placed.failed()) {
    std::string reason = SystemErrorText(placed.code);
    Line("Error replacing file " + Name(path) + (reason.empty() ? "" : ": " + reason));
    return;
  }
  replacements_ += change_.replacements;
  pass_replacements_ += change_.replacements;
  replaced_.insert(path);
}

// One undo line per file and run, copying `from` over the other path; false (and a result line)
// when it cannot be written, and then the file is left as it is.
bool FileReplaceEngine::AddUndoLine(const std::string& path, const std::string& backup,
                                    const std::string& from) {
  if (undo_lines_.count(path) != 0) return true;
  const std::string& to = from == backup ? path : backup;
  if (!undo_ || undo_->AddCopy(from, to).failed()) {
    Line("Error writing the undo file, so not replaced: " + Name(path));
    return false;
  }
  undo_lines_.insert(path);
  return true;
}

}  // namespace tsl
