// The windows of file operations from the program's resources: "Replace Confirmation"
// (dialog 127) and the error list (dialog 156, a two-column list of the failed operations).
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include "platform/file_operation_dialogs.h"
#include "platform/win32/list_view_win32.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

struct ReplaceTexts {
  const std::string* header;
  const std::string* existing;
  const std::string* replacement;
};

// Dialog results: the index of the button in ReplaceButtons() plus one (0 is "closed").
INT_PTR ReplaceResult(WORD id) {
  switch (id) {
    case IDYES:
      return 1;
    case TSL_REPLACE_YES_TO_ALL:
      return 2;
    case IDNO:
      return 3;
    case TSL_REPLACE_NO_TO_ALL:
      return 4;
    case IDCANCEL:
      return 5;
  }
  return -1;
}

INT_PTR CALLBACK ReplaceProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    const auto* texts = reinterpret_cast<const ReplaceTexts*>(lparam);
    SetDlgItemTextA(window, TSL_REPLACE_HEADER, texts->header->c_str());
    SetDlgItemTextA(window, TSL_REPLACE_EXISTING, texts->existing->c_str());
    SetDlgItemTextA(window, TSL_REPLACE_REPLACEMENT, texts->replacement->c_str());
    return TRUE;
  }
  if (message == WM_COMMAND) {
    INT_PTR result = ReplaceResult(LOWORD(wparam));
    if (result > 0) EndDialog(window, result);
    return TRUE;
  }
  if (message == WM_CLOSE) {
    EndDialog(window, 0);
    return TRUE;
  }
  return FALSE;
}

struct ErrorList {
  const std::string* title;
  const std::vector<std::string>* lines;
};

// Column 1 numbers the failures, column 2 holds each one's log line.
void FillList(HWND list, const std::vector<std::string>& lines) {
  RECT area;
  GetClientRect(list, &area);
  AddListColumn(list, 0, "No.", 40);
  AddListColumn(list, 1, "Error", area.right - area.left - 44);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string number = std::to_string(i + 1);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = number.data();
    int row =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    item.iItem = row;
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(lines[i].c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }
}

INT_PTR CALLBACK ErrorsProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    const auto* errors = reinterpret_cast<const ErrorList*>(lparam);
    SetWindowTextA(window, errors->title->c_str());
    FillList(GetDlgItem(window, TSL_ERRORS_LIST), *errors->lines);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    EndDialog(window, LOWORD(wparam));
    return TRUE;
  }
  if (message == WM_CLOSE) {
    EndDialog(window, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int ShowReplaceConfirmation(const std::string& header, const std::string& existing_line,
                            const std::string& replacement_line) {
  ReplaceTexts texts{&header, &existing_line, &replacement_line};
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TSL_DIALOG_REPLACE),
                                   nullptr, ReplaceProc, reinterpret_cast<LPARAM>(&texts));
  if (result <= 0) return -1;
  return static_cast<int>(result - 1);
}

void ShowFileOperationErrors(const std::string& title, const std::vector<std::string>& lines) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  ErrorList errors{&title, &lines};
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TSL_DIALOG_ERRORS), nullptr,
                  ErrorsProc, reinterpret_cast<LPARAM>(&errors));
}

}  // namespace tsl
