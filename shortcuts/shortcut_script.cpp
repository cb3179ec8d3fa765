#include "shortcuts/shortcut_script.h"

namespace tsl {
namespace {

void ReadSwitch(const ScriptSection& section, std::string_view key, bool* value) {
  std::int32_t number = *value ? 1 : 0;
  if (section.GetInt(key, &number)) *value = number != 0;
}

// Overlays the keys a section holds on an action; keys it lacks keep their values.
void Overlay(const ScriptSection& section, ShortcutAction* action) {
  section.GetString("Search_string", &action->search);
  section.GetString("Replace_string", &action->replace);
  section.GetString("Mask", &action->mask);
  section.GetString("Path", &action->folder);
  ReadSwitch(section, "Search_subdir", &action->subfolders);
  ReadSwitch(section, "Show All", &action->show_all);
  section.GetString("Ignore Drives", &action->ignore_list);
  ReadSwitch(section, "Prompt on replace", &action->prompt);
  section.GetString("Output_File", &action->output);
  ReadSwitch(section, "Append to output file", &action->append);
  ReadSwitch(section, "Show Progress", &action->show_progress);
  ReadSwitch(section, "UNC left", &action->unc_left);
  ReadSwitch(section, "Check before replace", &action->check_before_replace);
  ReadSwitch(section, "Make tracking", &action->make_tracking);
  ReadSwitch(section, "Make Non Tracking", &action->make_non_tracking);
}

}  // namespace

ShortcutMode ShortcutJobMode(const ShortcutAction& action) {
  if (action.make_tracking) return ShortcutMode::kTracking;
  if (action.make_non_tracking) return ShortcutMode::kNonTracking;
  if (!action.search.empty() || !action.replace.empty()) return ShortcutMode::kReplace;
  return ShortcutMode::kCheck;
}

std::vector<ShortcutAction> ReadShortcutScript(const ScriptFile& script) {
  ShortcutAction defaults;
  if (const ScriptSection* section = script.FindSection("Default")) Overlay(*section, &defaults);
  return BuildActionList<ShortcutAction>(script, defaults, Overlay);
}

bool ReadShortcutScript(const std::string& path, std::vector<ShortcutAction>* actions,
                        std::string* error) {
  actions->clear();
  ScriptFile script;
  if (!script.Load(path, error)) return false;
  *actions = ReadShortcutScript(script);
  return true;
}

}  // namespace tsl
