// The merge window on Windows: dialog 102 of the resources, a four-column list of the lines
// listed, "&Delete from List", "&Options" (dialog 103, "Compare Options"), "Merge Values" and
// "Cancel". The list is refilled from the MergeList after every change.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/merge_window.h"
#include "platform/win32/list_view_win32.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

// Data longer than this is shortened in the list.
constexpr std::size_t kShownData = 1000;

struct MergeState {
  const std::string* reg_file;
  MergeList* list;
  const MergeAnswerRecorder* record;
};

void SetCell(HWND list, int row, int column, const std::string& text) {
  std::string shown = OneLineText(text, kShownData);
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = shown.data();
  if (column == 0) {
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  } else {
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }
}

void Refill(HWND window, const MergeList& list) {
  HWND view = GetDlgItem(window, TSL_MERGE_LIST);
  SendMessageA(view, WM_SETREDRAW, FALSE, 0);
  SendMessageA(view, LVM_DELETEALLITEMS, 0, 0);
  const std::vector<std::size_t>& listed = list.listed();
  for (std::size_t n = 0; n < listed.size(); ++n) {
    const MergeRow& row = list.row(listed[n]);
    int at = static_cast<int>(n);
    SetCell(view, at, 0, row.key_path);
    SetCell(view, at, 1, row.value_name);
    SetCell(view, at, 2, row.reg_data);
    SetCell(view, at, 3, row.registry_data);
  }
  SendMessageA(view, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(view, nullptr, TRUE);
  std::string shown = std::to_string(listed.size()) + " line(s) listed";
  if (std::size_t hidden = list.hidden()) {
    shown += ", " + std::to_string(hidden) + " hidden by the options (they are merged too)";
  }
  SetDlgItemTextA(window, TSL_MERGE_SHOWN, shown.c_str());
}

// Deletes the selected lines, the highest first, telling each one.
void DeleteSelected(HWND window, const MergeState& state) {
  HWND view = GetDlgItem(window, TSL_MERGE_LIST);
  std::vector<std::size_t> numbers;  // 1-based, ascending
  for (int i = -1;;) {
    i = static_cast<int>(
        SendMessageA(view, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED));
    if (i < 0) break;
    numbers.push_back(static_cast<std::size_t>(i) + 1);
  }
  if (numbers.empty()) return;
  for (auto n = numbers.rbegin(); n != numbers.rend(); ++n) {
    std::size_t listed = state.list->listed().size();
    if (state.list->Delete(*n)) (*state.record)(listed, "Delete " + std::to_string(*n));
  }
  Refill(window, *state.list);
}

struct OptionBox {
  int control;
  bool CompareOptions::*member;
};
constexpr OptionBox kOptionBoxes[] = {
    {TSL_COMPARE_ONLY_IN_FILE, &CompareOptions::show_only_in_file},
    {TSL_COMPARE_ONLY_IN_REGISTRY, &CompareOptions::show_only_in_registry},
    {TSL_COMPARE_SAME, &CompareOptions::show_same},
    {TSL_COMPARE_DIFFERENT, &CompareOptions::show_different},
    {TSL_COMPARE_CASE_SENSITIVE, &CompareOptions::case_sensitive},
};

INT_PTR CALLBACK OptionsProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* options = reinterpret_cast<CompareOptions*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(window, DWLP_USER, lparam);
      options = reinterpret_cast<CompareOptions*>(lparam);
      for (const OptionBox& box : kOptionBoxes) {
        CheckDlgButton(window, box.control, options->*box.member ? BST_CHECKED : BST_UNCHECKED);
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK && options) {
        for (const OptionBox& box : kOptionBoxes) {
          options->*box.member = IsDlgButtonChecked(window, box.control) == BST_CHECKED;
        }
        EndDialog(window, IDOK);
      } else if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(window, IDCANCEL);
      }
      return TRUE;
    case WM_CLOSE:
      EndDialog(window, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

void ChangeOptions(HWND window, MergeList* list) {
  CompareOptions options = list->options();
  INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TSL_DIALOG_COMPARE_OPTIONS),
                      window, OptionsProc, reinterpret_cast<LPARAM>(&options));
  if (result != IDOK) return;
  list->SetOptions(options);
  Refill(window, *list);
}

void Initialize(HWND window, const MergeState& state) {
  SetDlgItemTextA(window, TSL_MERGE_FILE, state.reg_file->c_str());
  HWND view = GetDlgItem(window, TSL_MERGE_LIST);
  SendMessageA(view, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  RECT area{};
  GetClientRect(view, &area);
  int width = area.right - area.left - GetSystemMetrics(SM_CXVSCROLL);
  AddListColumn(view, 0, "Key Path", width * 34 / 100);
  AddListColumn(view, 1, "Value Name", width * 18 / 100);
  AddListColumn(view, 2, ".REG Data", width * 24 / 100);
  AddListColumn(view, 3, "Registry Data", width * 24 / 100);
  Refill(window, *state.list);
}

// Results of the dialog: 0 and -1 are the system's (not shown).
constexpr INT_PTR kMergeResult = 1;
constexpr INT_PTR kCancelResult = 2;

void End(HWND window, const MergeState& state, INT_PTR result) {
  (*state.record)(state.list->listed().size(), result == kMergeResult ? "Merge Values" : "Cancel");
  EndDialog(window, result);
}

INT_PTR CALLBACK MergeProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<MergeState*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(window, DWLP_USER, lparam);
      Initialize(window, *reinterpret_cast<MergeState*>(lparam));
      SetForegroundWindow(window);
      return TRUE;
    case WM_COMMAND:
      if (!state || HIWORD(wparam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wparam)) {
        case TSL_MERGE_DELETE:
          DeleteSelected(window, *state);
          break;
        case TSL_MERGE_OPTIONS:
          ChangeOptions(window, state->list);
          break;
        case IDOK:
          End(window, *state, kMergeResult);
          break;
        case IDCANCEL:
          End(window, *state, kCancelResult);
          break;
      }
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (state && header->idFrom == TSL_MERGE_LIST && header->code == LVN_KEYDOWN &&
          reinterpret_cast<const NMLVKEYDOWN*>(lparam)->wVKey == VK_DELETE) {
        DeleteSelected(window, *state);
        return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      if (state) End(window, *state, kCancelResult);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

MergeOutcome ShowMergeWindow(const std::string& reg_file, MergeList* list,
                             const MergeAnswerRecorder& record) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  MergeState state{&reg_file, list, &record};
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TSL_DIALOG_MERGE),
                                   nullptr, MergeProc, reinterpret_cast<LPARAM>(&state));
  if (result == kMergeResult) return MergeOutcome::kMerge;
  if (result == kCancelResult) return MergeOutcome::kCancel;
  return MergeOutcome::kNotShown;
}

}  // namespace tsl
