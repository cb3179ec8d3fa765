#include "registry/registry_script.h"

namespace tsl {
namespace {

void ReadSwitch(const ScriptSection& section, std::string_view key, bool* value) {
  std::int32_t number = *value ? 1 : 0;
  if (section.GetInt(key, &number)) *value = number != 0;
}

// Overlays the keys a section holds on an action; keys it lacks keep their values.
void Overlay(const ScriptSection& section, RegistryAction* action) {
  section.GetString("Search String", &action->search);
  section.GetString("Replace String", &action->replace);
  section.GetString("Key", &action->key);
  ReadSwitch(section, "Case Sensitive", &action->case_sensitive);
  ReadSwitch(section, "Whole Word", &action->whole_word);
  ReadSwitch(section, "Regular Expression", &action->regular_expression);
  ReadSwitch(section, "Values", &action->search_value_names);
  ReadSwitch(section, "Keys", &action->search_key_names);
  ReadSwitch(section, "Data", &action->search_data);
  ReadSwitch(section, "String", &action->string_data);
  ReadSwitch(section, "Expanded String", &action->expandable_data);
  ReadSwitch(section, "Multi String", &action->multi_string_data);
  ReadSwitch(section, "Binary", &action->binary_data);
  ReadSwitch(section, "DWORD", &action->number_data);
  section.GetString("Output/Undo File", &action->output_file);
  section.GetString("Undo Files Path", &action->undo_folder);
  section.GetInt("Prompts", &action->prompts);
  ReadSwitch(section, "Replace", &action->replace_mode);
  std::int32_t type = static_cast<std::int32_t>(action->set_value_data);
  if (section.GetInt("Set Value Data", &type))
    action->set_value_data = static_cast<std::uint32_t>(type);
  ReadSwitch(section, "No Progress", &action->no_progress);
  ReadSwitch(section, "Process Subkeys", &action->process_subkeys);
}

}  // namespace

std::vector<RegistryAction> ReadRegistryScript(const ScriptFile& script,
                                               const std::string& default_undo_folder) {
  RegistryAction defaults;
  defaults.undo_folder = default_undo_folder;
  if (const ScriptSection* section = script.FindSection("Default")) Overlay(*section, &defaults);
  return BuildActionList<RegistryAction>(script, defaults, Overlay);
}

}  // namespace tsl
