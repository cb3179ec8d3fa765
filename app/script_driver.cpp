// The order of the jobs and what each job needs from its script.
//
// The synchronization job runs in full (SynchJob). The other jobs' own work arrives subsystem by
// subsystem; until a job is built, its entry point reads its script (so that a missing or
// unreadable script is reported) and does nothing more.
#include "app/script_driver.h"

#include "app/messages.h"
#include "platform/file_system.h"
#include "script/script_file.h"

namespace tsl {

bool ScriptDriver::Run() {
  bool all_read = true;
  if (!paths_.synchronization.empty()) all_read &= RunSynchronizationJob();
  if (!paths_.shortcut.empty()) all_read &= RunShortcutJob();
  if (!paths_.registry.empty()) all_read &= RunRegistryJob();
  if (!paths_.file_replace.empty()) all_read &= RunFileReplaceJob();
  return all_read;
}

bool ScriptDriver::RunSynchronizationJob() {
  synch_job_.RunSynchronizationScript(paths_.synchronization);
  return !synch_job_.script_read_failed();
}

bool ScriptDriver::RunShortcutJob() {
  ScriptFile script;
  return script.Load(paths_.shortcut) || !script.read_failed();
}

// A registry script that is itself a .REG file is imported; anything else is read as a
// registry script.
bool ScriptDriver::RunRegistryJob() {
  ScriptFile reg_file(/*registry_mode=*/true);
  if (reg_file.Load(paths_.registry)) return true;
  if (reg_file.read_failed()) return false;  // already reported
  ScriptFile script;
  return script.Load(paths_.registry) || !script.read_failed();
}

bool ScriptDriver::RunFileReplaceJob() {
  std::string content;
  if (Files().ReadWholeFile(paths_.file_replace, &content).failed()) {
    ShowMessage("Cannot read script file\n" + paths_.file_replace);
    return false;
  }
  return true;
}

}  // namespace tsl
