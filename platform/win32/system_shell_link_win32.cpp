// Shell links through the shell's IShellLinkA and IPersistFile.
#include <windows.h>
// After windows.h:
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "platform/code_page.h"
#include "platform/system_shell_link.h"

namespace tsl {
namespace {

// Releases a COM interface when it goes out of scope.
template <class T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p) p->Release();
  }
  void** out() { return reinterpret_cast<void**>(&p); }
};

SystemLinkStatus StatusOf(HRESULT hr) {
  if (SUCCEEDED(hr)) return SystemLinkStatus::kOk;
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
      hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
    return SystemLinkStatus::kNotFound;
  }
  if (hr == E_FAIL) return SystemLinkStatus::kGeneralFailure;
  if (hr == E_OUTOFMEMORY) return SystemLinkStatus::kOutOfMemory;
  return SystemLinkStatus::kOther;
}

std::wstring Wide(const std::string& path) {
  std::u16string units = cp::ToUtf16(path);
  return std::wstring(units.begin(), units.end());
}

// Creates the shell link object and its IPersistFile.
HRESULT MakeLink(Held<IShellLinkA>* link, Held<IPersistFile>* file) {
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link->out());
  if (FAILED(hr)) return hr;
  return link->p->QueryInterface(IID_IPersistFile, file->out());
}

}  // namespace

SystemLinkStatus ReadSystemLink(const std::string& path, SystemLinkFields* fields) {
  Held<IShellLinkA> link;
  Held<IPersistFile> file;
  HRESULT hr = MakeLink(&link, &file);
  if (SUCCEEDED(hr)) hr = file.p->Load(Wide(path).c_str(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE);
  if (FAILED(hr)) return StatusOf(hr);
  char text[MAX_PATH] = {};
  WIN32_FIND_DATAA found = {};
  auto take = [&](HRESULT result, std::string* field) {
    if (SUCCEEDED(result)) *field = text;
    text[0] = '\0';
    return SUCCEEDED(result);
  };
  bool ok = take(link.p->GetPath(text, MAX_PATH, &found, SLGP_UNCPRIORITY), &fields->path) &&
            take(link.p->GetWorkingDirectory(text, MAX_PATH), &fields->working_folder) &&
            take(link.p->GetDescription(text, MAX_PATH), &fields->description) &&
            take(link.p->GetArguments(text, MAX_PATH), &fields->arguments) &&
            take(link.p->GetIconLocation(text, MAX_PATH, &fields->icon_index), &fields->icon_file);
  WORD hot_key = 0;
  ok = ok && SUCCEEDED(link.p->GetHotkey(&hot_key)) &&
       SUCCEEDED(link.p->GetShowCmd(&fields->show_command));
  fields->hot_key = hot_key;
  return ok ? SystemLinkStatus::kOk : SystemLinkStatus::kGeneralFailure;
}

SystemLinkStatus WriteSystemLink(const std::string& path, const SystemLinkFields& fields) {
  Held<IShellLinkA> link;
  Held<IPersistFile> file;
  HRESULT hr = MakeLink(&link, &file);
  if (SUCCEEDED(hr)) hr = link.p->SetPath(fields.path.c_str());
  if (SUCCEEDED(hr)) hr = link.p->SetWorkingDirectory(fields.working_folder.c_str());
  if (SUCCEEDED(hr)) hr = link.p->SetDescription(fields.description.c_str());
  if (SUCCEEDED(hr)) hr = link.p->SetArguments(fields.arguments.c_str());
  if (SUCCEEDED(hr)) hr = link.p->SetIconLocation(fields.icon_file.c_str(), fields.icon_index);
  if (SUCCEEDED(hr)) hr = link.p->SetHotkey(fields.hot_key);
  if (SUCCEEDED(hr)) hr = link.p->SetShowCmd(fields.show_command);
  if (SUCCEEDED(hr)) hr = file.p->Save(Wide(path).c_str(), TRUE);
  return StatusOf(hr);
}

}  // namespace tsl
