// The order of the jobs and what each job needs from its script.
//
// The synchronization, registry and file replace jobs run in full. The shortcut job's own work is
// still to come: its entry point reads the script (so that a missing or unreadable script is
// reported) and does nothing more.
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
