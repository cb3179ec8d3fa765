// Messages and questions in Windows windows. Message boxes are the system's own; a question
// with named buttons gets a small dialog built in memory. When no window can be shown (no
// display, as under Wine without X), the call returns -1 at once instead of waiting.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/dialogs.h"

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
  DialogTemplate dialog(caption, text, buttons);
  INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog.get(), nullptr,
                                           QuestionProc, 0);
  if (result <= 0) return -1;
  return static_cast<int>(result - 1);
}

}  // namespace tsl
