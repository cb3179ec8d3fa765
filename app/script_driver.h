// The ScriptDriver runs the jobs named on the command line, in their fixed order:
// synchronization, shortcuts, registry, file replace. A job whose path is empty is passed over;
// a job that fails ends early and the next one still runs.
#pragma once

#include <string>

#include "app/command_line.h"
#include "synch/synch_job.h"
#include "services/system_job_services.h"

namespace tsl {

class ScriptDriver {
 public:
  explicit ScriptDriver(ScriptPaths paths)
      : paths_(std::move(paths)), synch_job_(job_services_) {}

  /// Runs the jobs. True when every named script could be read.
  bool Run();

  const ScriptPaths& paths() const { return paths_; }

 private:
  bool RunSynchronizationJob();
  bool RunShortcutJob();
  bool RunRegistryJob();
  bool RunFileReplaceJob();

  ScriptPaths paths_;
  // The synchronization job's state (settings, folder lists, columns) lives for the whole run.
  SystemJobServices job_services_;
  SynchJob synch_job_;
};

}  // namespace tsl
