// The "Synchronize Directories" dialog from the program's resources.
#include <windows.h>

#include "platform/operation_dialog.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

struct DialogState {
  const std::vector<OperationOption>* options;
  OperationChoice* choice;
};

void ShowFolders(HWND window, const OperationChoice& choice) {
  SetDlgItemTextA(window, TSL_SYNCHRONIZE_SOURCE, choice.source.c_str());
  SetDlgItemTextA(window, TSL_SYNCHRONIZE_TARGET, choice.target.c_str());
}

int CheckedCode(HWND window, const DialogState& state) {
  for (std::size_t i = 0; i < state.options->size(); ++i) {
    if (IsDlgButtonChecked(window, TSL_SYNCHRONIZE_FIRST_OPTION + static_cast<int>(i)) ==
        BST_CHECKED) {
      return (*state.options)[i].code;
    }
  }
  return -1;
}

INT_PTR CALLBACK OperationProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DialogState* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(window, DWLP_USER, lparam);
      state = reinterpret_cast<DialogState*>(lparam);
      ShowFolders(window, *state->choice);
      for (std::size_t i = 0; i < state->options->size(); ++i) {
        if ((*state->options)[i].code == state->choice->code) {
          CheckDlgButton(window, TSL_SYNCHRONIZE_FIRST_OPTION + static_cast<int>(i), BST_CHECKED);
        }
      }
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case TSL_SYNCHRONIZE_SWAP:
          std::swap(state->choice->source, state->choice->target);
          ShowFolders(window, *state->choice);
          return TRUE;
        case IDOK:
          state->choice->code = CheckedCode(window, *state);
          EndDialog(window, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(window, IDCANCEL);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(window, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

DialogOutcome ShowOperationDialog(const std::vector<OperationOption>& options,
                                  OperationChoice* choice) {
  OperationChoice shown = *choice;
  DialogState state{&options, &shown};
  INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TSL_DIALOG_SYNCHRONIZE), nullptr,
                      OperationProc, reinterpret_cast<LPARAM>(&state));
  if (result == IDOK) {
    *choice = shown;
    return DialogOutcome::kOk;
  }
  return result == IDCANCEL ? DialogOutcome::kCancel : DialogOutcome::kNotShown;
}

}  // namespace tsl
