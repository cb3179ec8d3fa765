// The order of the jobs and what each job needs from its script.
//
// Every job runs in full: each reads its script (a missing or unreadable script is reported and
// counts against the exit status) and runs its actions.
#include "app/script_driver.h"

#include "filereplace/file_replace_script.h"
#include "filereplace/search_engine.h"
#include "platform/file_system.h"
#include "registry/reg_file.h"
#include "registry/registry_access.h"
#include "registry/registry_engine.h"
#include "registry/registry_script.h"
#include "script/script_file.h"
#include "services/messages.h"
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

// Imports a .REG file named on the command line. Its changes are recorded in an undo file in
// the default undo folder, so that even a direct import can be taken back; where no undo file
// can be made there, the file is imported without one. An undo file of an import that applied
// nothing (a file that is no .REG file after all) does not stay behind.
static long ImportRegFile(RegFile& reg_file) {
  std::string undo_path;
  long applied = reg_file.Import(SystemRegistry(), DefaultUndoFolder(), &undo_path);
  if (applied < 0) return reg_file.Import(SystemRegistry(), std::string());
  if (applied == 0 && !undo_path.empty()) Files().RemoveFile(undo_path);
  return applied;
}

// A registry script that is itself a .REG file is imported; anything else is read as a
// registry script, whose actions the registry engine runs in turn.
bool ScriptDriver::RunRegistryJob() {
  RegFile reg_file;
  std::string error;
  switch (reg_file.Load(paths_.registry, &error)) {
    case RegFileRead::kLoaded:
      if (ImportRegFile(reg_file) > 0) return true;
      break;
    case RegFileRead::kUnreadable:
      ShowMessage(error);
      return false;
    case RegFileRead::kNotRegFile:
      break;
  }
  ScriptFile script;
  if (!script.Load(paths_.registry, &error)) {
    if (error.empty()) return true;
    ShowMessage(error);
    return false;
  }
  RegistryEngine engine(SystemRegistry(), SystemRegistryEngineUi());
  engine.SetActions(ReadRegistryScript(script, DefaultUndoFolder()));
  engine.RunAll();
  return true;
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
