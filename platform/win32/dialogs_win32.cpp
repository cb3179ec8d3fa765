// Messages and questions in Windows windows. Message boxes are the system's own; the file
// replacement's two questions and the registry job's one are dialogs of the program's resources; any other question with
// named buttons gets a small dialog built in memory. When no window can be shown (no display,
// as under Wine without X), the call returns -1 at once instead of waiting.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/dialogs.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

// The standard message box type for a set of buttons, or -1 when the set is not standard.
int MessageBoxType(const std::vector<std::string>& buttons, std::vector<int>* ids) {
  auto same = [&](std::initializer_list<const char*> labels) {
    if (labels.size() != buttons.size()) return false;
    std::size_t i = 0;
    for (const char* l : labels) {
      if (lstrcmpiA(buttons[i++].c_str(), l) != 0) return false;
    }
    return true;
  };
  if (same({"OK"})) {
    *ids = {IDOK};
    return MB_OK;
  }
  if (same({"OK", "Cancel"})) {
    *ids = {IDOK, IDCANCEL};
    return MB_OKCANCEL;
  }
  if (same({"&Yes", "&No"})) {
    *ids = {IDYES, IDNO};
    return MB_YESNO;
  }
  if (same({"&Yes", "&No", "Cancel"})) {
    *ids = {IDYES, IDNO, IDCANCEL};
    return MB_YESNOCANCEL;
  }
  return -1;
}

// A dialog template in memory: the text above a row of buttons, in dialog units.
class DialogTemplate {
 public:
  DialogTemplate(const std::string& caption, const std::string& text,
                 const std::vector<std::string>& buttons) {
    int lines = 1;
    for (char c : text) lines += c == '\n';
    const int width = 300, text_height = 10 * lines, button_width = 56;
    const int height = text_height + 40;
    Header(caption, static_cast<WORD>(buttons.size() + 1), width, height);
    Item(0xFFFF, 0x0082, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 7, 7, width - 14,
         text_height, text);
    int x = width - 7 - static_cast<int>(buttons.size()) * (button_width + 4) + 4;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      Item(static_cast<WORD>(100 + i), 0x0080, style, x, height - 21, button_width, 14,
           buttons[i]);
      x += button_width + 4;
    }
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Dword(DWORD v) {
    words_.push_back(LOWORD(v));
    words_.push_back(HIWORD(v));
  }
  void Text(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, wide.data(), n);
    for (wchar_t c : wide) words_.push_back(static_cast<WORD>(c));
  }
  void Header(const std::string& caption, WORD items, int cx, int cy) {
    Dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    Dword(0);
    words_.push_back(items);
    words_.insert(words_.end(), {0, 0, static_cast<WORD>(cx), static_cast<WORD>(cy), 0, 0});
    Text(caption);
    words_.push_back(8);
    Text("MS Shell Dlg");
  }
  void Item(WORD id, WORD klass, DWORD style, int x, int y, int cx, int cy,
            const std::string& text) {
    if (words_.size() % 2) words_.push_back(0);  // items start on a DWORD boundary
    Dword(style);
    Dword(0);
    words_.insert(words_.end(), {static_cast<WORD>(x), static_cast<WORD>(y),
                                 static_cast<WORD>(cx), static_cast<WORD>(cy), id, 0xFFFF, klass});
    Text(text);
    words_.push_back(0);
  }
  std::vector<WORD> words_;
};

INT_PTR CALLBACK QuestionProc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND) {
    WORD id = LOWORD(wparam);
    if (id >= 100) EndDialog(window, id - 100 + 1);
    if (id == IDCANCEL) EndDialog(window, 0);
    return TRUE;
  }
  if (message == WM_CLOSE) {
    EndDialog(window, 0);
    return TRUE;
  }
  return FALSE;
}

// A question window of the resources: its number, its buttons' control numbers in the order of
// the answers (the last one IDCANCEL, which Esc and closing the window give too), and the static
// control that shows the text (or 0 when the text goes into the list).
struct ResourceQuestion {
  int dialog;
  std::vector<int> button_ids;
  int text_id;
};

const ResourceQuestion* ResourceQuestionFor(DialogStyle style) {
  static const ResourceQuestion kReplace{
      TSL_DIALOG_REPLACE_CONFIRMATION,
      {TSL_REPLACE_CONFIRMATION_FIRST_BUTTON, TSL_REPLACE_CONFIRMATION_FIRST_BUTTON + 1,
       TSL_REPLACE_CONFIRMATION_FIRST_BUTTON + 2, TSL_REPLACE_CONFIRMATION_FIRST_BUTTON + 3,
       TSL_REPLACE_CONFIRMATION_FIRST_BUTTON + 4, TSL_REPLACE_CONFIRMATION_FIRST_BUTTON + 5,
       TSL_REPLACE_CONFIRMATION_FIRST_BUTTON + 6, IDCANCEL},
      0};
  static const ResourceQuestion kConfirmation{
      TSL_DIALOG_CONFIRMATION_REQUIRED,
      {IDYES, TSL_CONFIRMATION_YES_TO_ALL, IDNO, IDCANCEL},
      TSL_CONFIRMATION_QUESTION};
  static const ResourceQuestion kRegistryReplace{
      TSL_DIALOG_REGISTRY_REPLACE,
      {TSL_REGISTRY_REPLACE_THIS, TSL_REGISTRY_REPLACE_REST, TSL_REGISTRY_REPLACE_SKIP, IDCANCEL},
      0};
  switch (style) {
    case DialogStyle::kReplaceConfirmation: return &kReplace;
    case DialogStyle::kConfirmationRequired: return &kConfirmation;
    case DialogStyle::kRegistryReplace: return &kRegistryReplace;
    default: return nullptr;
  }
}

struct ResourceQuestionState {
  const ResourceQuestion* question;
  const std::string* caption;
  const std::string* text;
  const std::vector<std::string>* buttons;
};

// Fills the list of the Replace Confirmation window: one row per line of the text, wide enough
// to scroll to the end of the longest.
void FillLineList(HWND list, const std::string& text) {
  HDC dc = GetDC(list);
  HGDIOBJ old_font =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
  LONG widest = 0;
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type end = text.find('\n', start);
    std::string row =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!row.empty() && row.back() == '\r') row.pop_back();
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    SIZE size{};
    if (GetTextExtentPoint32A(dc, row.c_str(), static_cast<int>(row.size()), &size)) {
      widest = std::max(widest, size.cx);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  SelectObject(dc, old_font);
  ReleaseDC(list, dc);
  SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
}

// The path a Replace Confirmation caption names.
std::string PathOfCaption(const std::string& caption) {
  static const std::string kPrefix = "Replace - ";
  return caption.compare(0, kPrefix.size(), kPrefix) == 0 ? caption.substr(kPrefix.size())
                                                          : caption;
}

// Fills the registry question: the key path from the caption, and the three lines of the text
// (what is replaced, "Old: ..." and "New: ...") in their controls, without the line labels the
// window shows beside them.
void FillRegistryQuestion(HWND window, const std::string& caption, const std::string& text) {
  std::string lines[3];
  std::string::size_type start = 0;
  for (int i = 0; i < 3; ++i) {
    std::string::size_type end = i < 2 ? text.find('\n', start) : std::string::npos;
    lines[i] = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  auto without = [](const std::string& line, const char* label) {
    std::string::size_type n = std::strlen(label);
    return line.compare(0, n, label) == 0 ? line.substr(n) : line;
  };
  SetDlgItemTextA(window, TSL_REGISTRY_REPLACE_PATH, PathOfCaption(caption).c_str());
  SetDlgItemTextA(window, TSL_REGISTRY_REPLACE_ITEM, lines[0].c_str());
  SetDlgItemTextA(window, TSL_REGISTRY_REPLACE_OLD, without(lines[1], "Old: ").c_str());
  SetDlgItemTextA(window, TSL_REGISTRY_REPLACE_NEW, without(lines[2], "New: ").c_str());
}

// Ends the dialog with the index of the answer plus one (0 stays "not shown").
void EndWithAnswer(HWND window, const ResourceQuestion& question, int control) {
  for (std::size_t i = 0; i < question.button_ids.size(); ++i) {
    if (question.button_ids[i] == control) EndDialog(window, static_cast<INT_PTR>(i + 1));
  }
}

INT_PTR CALLBACK ResourceQuestionProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<ResourceQuestionState*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(window, DWLP_USER, lparam);
      state = reinterpret_cast<ResourceQuestionState*>(lparam);
      const ResourceQuestion& question = *state->question;
      SetWindowTextA(window, state->caption->c_str());
      for (std::size_t i = 0; i < question.button_ids.size(); ++i) {
        SetDlgItemTextA(window, question.button_ids[i], (*state->buttons)[i].c_str());
      }
      if (question.text_id != 0) {
        SetDlgItemTextA(window, question.text_id, state->text->c_str());
      } else if (question.dialog == TSL_DIALOG_REGISTRY_REPLACE) {
        FillRegistryQuestion(window, *state->caption, *state->text);
      } else {
        FillLineList(GetDlgItem(window, TSL_REPLACE_CONFIRMATION_LINE), *state->text);
        SetDlgItemTextA(window, TSL_REPLACE_CONFIRMATION_PATH,
                        PathOfCaption(*state->caption).c_str());
      }
      SetForegroundWindow(window);
      SetFocus(GetDlgItem(window, question.button_ids.front()));  // not the list: the answer
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (state && HIWORD(wparam) == BN_CLICKED) {
        EndWithAnswer(window, *state->question, LOWORD(wparam));
      }
      return TRUE;
    case WM_CLOSE:
      if (state) EndWithAnswer(window, *state->question, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int SystemAsk(DialogStyle style, const std::string& caption, const std::string& text,
              const std::vector<std::string>& buttons) {
  std::vector<int> ids;
  int type = MessageBoxType(buttons, &ids);
  if (style == DialogStyle::kMessageBox && type >= 0) {
    int result = MessageBoxA(nullptr, text.c_str(), caption.c_str(),
                             static_cast<UINT>(type) | MB_TASKMODAL | MB_SETFOREGROUND);
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (ids[i] == result) return static_cast<int>(i);
    }
    return -1;  // no window could be shown
  }
  const ResourceQuestion* question = ResourceQuestionFor(style);
  if (question && question->button_ids.size() == buttons.size()) {
    ResourceQuestionState state{question, &caption, &text, &buttons};
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(question->dialog),
                                     nullptr, ResourceQuestionProc,
                                     reinterpret_cast<LPARAM>(&state));
    if (result <= 0) return -1;
    return static_cast<int>(result - 1);
  }
  DialogTemplate dialog(caption, text, buttons);
  INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog.get(), nullptr,
                                           QuestionProc, 0);
  if (result <= 0) return -1;
  return static_cast<int>(result - 1);
}

}  // namespace tsl
