// The registry script: a Default section and numbered Action sections, each action one search
// (and optionally replace) over one key and everything below it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/script_file.h"

namespace tsl {

struct RegistryAction {
  std::string search;          // Search String
  std::string replace;         // Replace String
  std::string key;             // Key: empty walks the four local roots
  bool case_sensitive = false;
  bool whole_word = false;
  bool regular_expression = false;
  bool search_value_names = false;  // Values
  bool search_key_names = false;    // Keys
  bool search_data = true;          // Data
  bool string_data = true;          // String (type 1)
  bool expandable_data = true;      // Expanded String (type 2)
  bool multi_string_data = true;    // Multi String (type 7)
  bool binary_data = false;         // Binary (types 0, 3, 6, 8, 9)
  bool number_data = false;         // DWORD (types 4, 5, 11)
  std::string output_file;          // Output/Undo File; "NUL" writes none
  std::string undo_folder;          // Undo Files Path
  std::int32_t prompts = 1;         // 0 none, 1 confirm each replacement, 2 preview and merge
  bool replace_mode = false;        // Replace
  std::uint32_t set_value_data = 0;  // Set Value Data: a value type, 0 off
  bool no_progress = false;
  bool process_subkeys = true;
};

/// The registry script's actions in running order (none for a script without Action sections).
/// `default_undo_folder` is the built-in default of Undo Files Path.
std::vector<RegistryAction> ReadRegistryScript(const ScriptFile& script,
                                               const std::string& default_undo_folder);

}  // namespace tsl
