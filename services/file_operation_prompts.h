// The questions and windows of a batch of file operations, with scripted answers
// (TESSALINE_ANSWERS) and a transcript line each:
//   Question: Replace Confirmation: <header>\n<existing file>\n<replacing file> -> <answer>
//   Question: File Operations Errors: <line 1>\n<line 2>... -> OK
#pragma once

#include <string>
#include <vector>

namespace tsl {

enum class ReplaceAnswer { kYes, kYesToAll, kNo, kNoToAll, kCancel };

/// Asks whether to overwrite an existing file. A scripted answer names a button ("Yes",
/// "Yes to All", "No", "No to All", "Cancel", letter case ignored); an answer that names none,
/// a list used up, or a window that could not be shown mean Cancel.
ReplaceAnswer AskReplace(const std::string& header, const std::string& existing_line,
                         const std::string& replacement_line);

/// Shows the lines of the failed operations in the window "File Operations Errors". With
/// scripted answers it takes one answer, whatever it says, as the window's OK.
void ShowErrorList(const std::vector<std::string>& lines);

}  // namespace tsl
