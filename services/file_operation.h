// Batches of file operations (copy, move, delete, rename) given as two parallel lists of paths,
// as the system shell takes them, but carried out by the program itself: its own confirmations
// ("Replace Confirmation", the deletion question), its own progress window, one log line per
// file, and the failed operations listed together at the end. A job may instead hand the batch
// to the system's shell (use system operations), where the system has one.
#pragma once

#include <string>
#include <vector>

#include "services/job_services.h"

namespace tsl {

/// The kinds of a batch, with the shell's values.
enum class FileOperationKind : int { kMove = 1, kCopy = 2, kDelete = 3, kRename = 4 };

/// Flags of a batch, with the shell's values.
namespace file_op {
inline constexpr unsigned kSeveralDestinations = 0x1;  // each from path has its own to path
inline constexpr unsigned kSilent = 0x4;               // no progress window
inline constexpr unsigned kNoConfirmation = 0x10;      // nothing asked, read-only overwritten
inline constexpr unsigned kAllowUndo = 0x40;
inline constexpr unsigned kNoFolderConfirmation = 0x200;
}  // namespace file_op

struct FileOperationRequest {
  FileOperationKind kind = FileOperationKind::kCopy;
  std::vector<std::string> from;
  /// One to path per from path with kSeveralDestinations, else one folder that receives every
  /// from path under its own name; empty for delete.
  std::vector<std::string> to;
  unsigned flags = 0;
  /// Set by a caller that knows every from path to name a file (the scanned files of a
  /// synchronization): no from path is looked at to see whether it is a folder.
  bool from_are_files = false;
};

/// What a batch takes from its job.
struct FileOperationContext {
  JobServices& services;     // progress window, the user's date and time pictures
  std::string custom_message;  // the progress window's text when set
  bool use_system_operations = false;
};

/// How a batch ended.
struct FileOperationResult {
  /// The user cancelled (in a confirmation or the progress window) or refused the deletion.
  bool aborted = false;
  /// No file was handled successfully.
  bool none_done = false;
};

/// Runs a batch. Each file gets at most one log line (when there is a log); failures are also
/// shown together in the window "File Operations Errors" unless the batch asks for no
/// confirmation and has a log.
FileOperationResult RunFileOperation(const FileOperationRequest& request, ReportOutput* log,
                                     const FileOperationContext& context);

}  // namespace tsl
