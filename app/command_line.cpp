#include "app/command_line.h"

namespace tsl {

std::string FirstToken(const std::string& command_line) {
  std::string::size_type i = command_line.find_first_not_of(' ');
  if (i == std::string::npos) return "";
  if (command_line[i] == '"') {
    std::string::size_type start = i + 1;
    std::string::size_type end = start;
    while (end < command_line.size() &&
           !(command_line[end] == '"' && command_line[end - 1] != '\\')) {
      ++end;
    }
    return command_line.substr(start, end - start);
  }
  std::string::size_type end = command_line.find(' ', i);
  return command_line.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

namespace {

// Takes the text before the next `|` of `rest` as one path: true when there was a bar (the
// path may then be empty), false when splitting ends here.
bool TakeSegment(std::string* rest, std::string* path) {
  std::string::size_type bar = rest->find('|');
  if (bar == std::string::npos) return false;
  if (bar > 0) *path = rest->substr(0, bar);
  rest->erase(0, bar + 1);
  return true;
}

}  // namespace

ScriptPaths SplitScriptPaths(const std::string& argument, const std::string& current_folder,
                             PathStyle style) {
  ScriptPaths paths;
  std::string::size_type first_bar = argument.find('|');
  if (first_bar == std::string::npos) return paths;

  std::string segment = argument.substr(0, first_bar);
  std::string rest = argument.substr(first_bar + 1);
  std::string base;
  if (EndsWithSeparator(segment, style)) {
    base = segment;  // a folder, not a script
  } else {
    paths.synchronization = segment;
    base = FolderPart(segment, style);
    if (base.empty()) base = WithClosingSeparator(current_folder, style);
  }

  if (TakeSegment(&rest, &paths.shortcut) && TakeSegment(&rest, &paths.registry)) {
    std::string::size_type bar = rest.find('|');
    paths.file_replace = bar != std::string::npos && bar > 0 ? rest.substr(0, bar) : rest;
  }

  for (std::string* path : {&paths.shortcut, &paths.registry, &paths.file_replace}) {
    if (NeedsBaseFolder(*path, style)) *path = base + *path;
  }
  return paths;
}

}  // namespace tsl
