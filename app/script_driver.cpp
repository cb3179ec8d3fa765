// The order of the jobs and what each job needs from its script.
//
// The synchronization and file replace jobs run in full. The shortcut and registry jobs' own
// work is still to come: their entry points read the script (so that a missing or unreadable
// script is reported) and do nothing more.
#include "app/script_driver.h"

#include "filereplace/file_replace_script.h"
#include "filereplace/search_engine.h"
#include "services/messages.h"
#include "platform/file_system.h"
#include "registry/reg_file_reader.h"
#include "script/script_file.h"
#include "shortcuts/drive_map.h"
#include "shortcuts/shortcut_engine.h"
#include "shortcuts/shortcut_script.h"

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

// Each action of the shortcut script in turn; a Cancel ends the job.
bool ScriptDriver::RunShortcutJob() {
  std::vector<ShortcutAction> actions;
  std::string error;
  if (!ReadShortcutScript(paths_.shortcut, &actions, &error)) {
    if (error.empty()) return true;
    ShowMessage(error);
    return false;
  }
  bool cancel = false;
  ShortcutEnvironment environment;
  environment.drive_map = ConfiguredDriveMap();
  environment.cancel = &cancel;
  for (const ShortcutAction& action : actions) {
    if (RunShortcutAction(action, job_services_, environment).cancelled) break;
  }
  return true;
}

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

// The file replace script, then the scripts it chains, each run by the same engine. A chained
// script without options runs with those in force before it, but never writes backups into the
// folder the main script named: that folder is the main script's until the chain has run.
bool ScriptDriver::RunFileReplaceJob() {
  FileReplaceEngine engine(job_services_);
  FileReplaceScript script;
  if (!script.Load(paths_.file_replace, job_services_)) return false;
  if (!script.entries().empty()) engine.Run(script);
  const std::vector<std::string> chained = script.chained_scripts();
  if (chained.empty()) return true;
  bool all_read = true;
  std::string backup_path = std::move(engine.options().backup_path);
  engine.options().backup_path.clear();
  for (const std::string& path : chained) {
    if (!script.Load(path, job_services_)) {
      all_read = false;
      continue;
    }
    engine.Run(script);
  }
  engine.options().backup_path = std::move(backup_path);
  return all_read;
}

}  // namespace tsl
