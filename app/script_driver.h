// The ScriptDriver runs the jobs named on the command line, in their fixed order:
// synchronization, shortcuts, registry, file replace. A job whose path is empty is passed over;
// a job that fails ends early and the next one still runs.
#pragma once

#include <string>

#include "app/command_line.h"

namespace tsl {

class ScriptDriver {
 public:
  explicit ScriptDriver(ScriptPaths paths) : paths_(std::move(paths)) {}

  /// Runs the jobs. True when every named script could be read.
  bool Run();

  const ScriptPaths& paths() const { return paths_; }

 private:
  bool RunSynchronizationJob();
  bool RunShortcutJob();
  bool RunRegistryJob();
  bool RunFileReplaceJob();

  ScriptPaths paths_;
};

}  // namespace tsl
