// The order of the jobs and what each job needs from its script.
//
// The synchronization job runs in full (SynchJob). The other jobs' own work arrives subsystem by
// subsystem; until a job is built, its entry point reads its script (so that a missing or
// unreadable script is reported) and does nothing more.
#include "app/script_driver.h"

#include "services/messages.h"
#include "platform/file_system.h"
#include "registry/reg_file_reader.h"
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
  return synch_job_.RunSynchronizationScript(paths_.synchronization);
}

// Reads a script; false when it cannot be read, after saying why. An empty script is no failure.
static bool ReadScript(const std::string& path) {
  ScriptFile script;
  std::string error;
  if (script.Load(path, &error) || error.empty()) return true;
  ShowMessage(error);
  return false;
}

bool ScriptDriver::RunShortcutJob() { return ReadScript(paths_.shortcut); }

// A registry script that is itself a .REG file is imported; anything else is read as a
// registry script.
bool ScriptDriver::RunRegistryJob() {
  ScriptFile reg_file(/*registry_mode=*/true);
  std::string error;
  switch (LoadRegFile(paths_.registry, &reg_file, &error)) {
    case RegFileRead::kLoaded:
      return true;
    case RegFileRead::kUnreadable:
      ShowMessage(error);
      return false;
    case RegFileRead::kNotRegFile:
      break;
  }
  return ReadScript(paths_.registry);
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
