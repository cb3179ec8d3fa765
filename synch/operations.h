// The synchronization operations: one job that synchronizes both folders, augments, refreshes,
// updates or prunes the target, removes its duplicates, recreates the folder tree or removes
// empty folders. RunOperation writes the log header, checks the folders, runs the comparison
// without a report, decides from the three lists what to copy or delete and in which direction,
// hands each batch to RunFileOperation, and logs the end.
#pragma once

#include <functional>
#include <string>

#include "synch/matching.h"
#include "services/job_services.h"
#include "synch/synch_settings.h"

namespace tsl {

/// What an operation works with: the job's settings and lists, its services, its user-cancel
/// flag, and the comparison step (scan, pair, classify; never a report).
struct OperationContext {
  SynchSettings& settings;
  FileLists& lists;
  JobServices& services;
  bool* cancel;
  std::function<void()> compare;
};

/// Runs the operation `code` (0 to 5, 7, 8) on the prepared folders (with their closing
/// separators). Sets the user-cancel flag when the user cancels, a batch is aborted, or the
/// comparison could not be completed.
void RunOperation(const std::string& source, const std::string& target, int code,
                  OperationContext& context);

/// The log header of an operation: its string-table text filled with the time stamp, the mask
/// and the folders, and "\tDestination: <folder>" before the line end when there is one.
std::string OperationLogHeader(int code, const std::string& when, const SynchSettings& settings,
                               const std::string& source, const std::string& target);

}  // namespace tsl
