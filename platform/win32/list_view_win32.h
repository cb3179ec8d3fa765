// List-view helpers shared by the program's own dialogs. Internal to the Windows platform code
// (it names system types).
#pragma once

#include <windows.h>

namespace tsl {

/// Adds column number `index` with its heading and width (pixels) to a list-view control.
void AddListColumn(HWND list, int index, const char* heading, int width);

}  // namespace tsl
