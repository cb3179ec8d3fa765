// The synchronization job: runs a synchronization script action by action (or its one Directory
// Info job), prepares each job, asks for the operation where the script leaves it open,
// dispatches it (to an operation or the comparison report), and asks whether to go on after a
// cancel. The ScriptDriver owns one SynchJob
// for the whole run, with the job's settings, lists and columns.
#pragma once

#include <string>

#include "synch/columns.h"
#include "synch/matching.h"
#include "services/job_services.h"
#include "synch/synch_settings.h"

namespace tsl {

class SynchJob {
 public:
  explicit SynchJob(JobServices& services) : services_(services) {}

  /// Runs every job of the script. False when the script cannot be read (a message box says
  /// why); an empty script runs nothing and is no failure.
  bool RunSynchronizationScript(const std::string& path);

  /// Scans both folders, pairs and classifies the files, and writes the report when the job has
  /// an output file.
  void CompareAndReport();
  /// The comparison alone: scans both folders, pairs and classifies the files.
  void Compare();

  /// Runs a synchronization operation (codes 0 to 5, 7, 8) on the job's folders.
  void RunOperation(const std::string& source, const std::string& target, int code);

  /// Expands the folders, gives them their closing separator, builds the column list and the
  /// extra-data switches, and sets the progress windows' look.
  void PrepareJob();

  /// Reads dates in the user's short date format, showing the date messages.
  std::optional<FileTime> ReadDate(const std::string& text, bool end_of_day);

  SynchSettings& settings() { return settings_; }
  const FileLists& lists() const { return lists_; }
  const ColumnList& columns() const { return columns_; }
  const ExtraDataSwitches& extra() const { return extra_; }
  bool cancelled() const { return cancel_; }

 private:
  SettingsReaders Readers();
  EscapeCoding Coding();
  void DispatchJob();
  void RefuseJob();
  bool ScanBoth(JobProgress* progress);
  void WriteReportFile();

  JobServices& services_;
  SynchSettings settings_;
  FileLists lists_;
  ColumnList columns_;
  ExtraDataSwitches extra_;
  bool cancel_ = false;
};

}  // namespace tsl
