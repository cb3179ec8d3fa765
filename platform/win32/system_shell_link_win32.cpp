// Shell links through the shell's IShellLinkA, IPersistFile and IExtractIconA.
#include <windows.h>
// After windows.h:
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
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

// A text field read through a buffer of MAX_PATH.
template <class Get>
bool ReadText(std::string* out, Get get) {
  char text[MAX_PATH] = {};
  if (FAILED(get(text))) return false;
  text[MAX_PATH - 1] = '\0';
  *out = text;
  return true;
}

class ShellLinkObject : public SystemShellLink {
 public:
  bool Create() { return SUCCEEDED(MakeLink(&link_, &file_)); }

  SystemLinkStatus Load(const std::string& path) override {
    path_ = Wide(path);
    return StatusOf(file_.p->Load(path_.c_str(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE));
  }
  bool GetPath(std::string* path) override {
    WIN32_FIND_DATAA found = {};
    return ReadText(path, [&](char* text) {
      return link_.p->GetPath(text, MAX_PATH, &found, SLGP_UNCPRIORITY);
    });
  }
  bool GetWorkingFolder(std::string* folder) override {
    return ReadText(folder,
                    [&](char* text) { return link_.p->GetWorkingDirectory(text, MAX_PATH); });
  }
  bool GetDescription(std::string* description) override {
    return ReadText(description,
                    [&](char* text) { return link_.p->GetDescription(text, MAX_PATH); });
  }
  bool GetArguments(std::string* arguments) override {
    return ReadText(arguments, [&](char* text) { return link_.p->GetArguments(text, MAX_PATH); });
  }
  bool GetHotKey(std::uint16_t* hot_key) override {
    WORD key = 0;
    if (FAILED(link_.p->GetHotkey(&key))) return false;
    *hot_key = key;
    return true;
  }
  bool GetShowCommand(int* show_command) override {
    return SUCCEEDED(link_.p->GetShowCmd(show_command));
  }
  bool GetIconLocation(std::string* file, int* index) override {
    return ReadText(file,
                    [&](char* text) { return link_.p->GetIconLocation(text, MAX_PATH, index); });
  }
  bool ExtractorIconLocation(std::string* file, int* index) override {
    Held<IExtractIconA> extractor;
    if (FAILED(link_.p->QueryInterface(IID_IExtractIconA, extractor.out()))) return false;
    UINT flags = 0;
    return ReadText(file, [&](char* text) {
      return extractor.p->GetIconLocation(0, text, MAX_PATH, index, &flags);
    });
  }
  bool SetPath(const std::string& path) override {
    return SUCCEEDED(link_.p->SetPath(path.c_str()));
  }
  bool SetWorkingFolder(const std::string& folder) override {
    return SUCCEEDED(link_.p->SetWorkingDirectory(folder.c_str()));
  }
  bool SetArguments(const std::string& arguments) override {
    return SUCCEEDED(link_.p->SetArguments(arguments.c_str()));
  }
  bool SetIconLocation(const std::string& file, int index) override {
    return SUCCEEDED(link_.p->SetIconLocation(file.c_str(), index));
  }
  bool Save() override { return SUCCEEDED(file_.p->Save(path_.c_str(), TRUE)); }

 private:
  Held<IShellLinkA> link_;
  Held<IPersistFile> file_;
  std::wstring path_;
};

}  // namespace

std::unique_ptr<SystemShellLink> CreateSystemShellLink() {
  auto object = std::make_unique<ShellLinkObject>();
  if (!object->Create()) return nullptr;
  return object;
}

int SystemIconCount(const std::string& path) {
  HICON count = ExtractIconA(GetModuleHandleA(nullptr), path.c_str(), static_cast<UINT>(-1));
  return static_cast<int>(reinterpret_cast<UINT_PTR>(count));
}

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
