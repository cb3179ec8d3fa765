// Link access through our own codec.
#include "shortcuts/icon_count.h"
#include "shortcuts/link_access.h"
#include "shortcuts/shell_link.h"

namespace tsl {
namespace {

bool Take(std::string value, std::string* out) {
  if (value.size() > kMaxLinkField) value.resize(kMaxLinkField);
  *out = std::move(value);
  return true;
}

class CodecLinkAccess : public LinkAccess {
 public:
  LinkLoad Load(const std::string& path) override {
    path_ = path;
    loaded_ = false;
    switch (LoadShellLink(path, &link_)) {
      case LinkError::kNone:
        loaded_ = true;
        return LinkLoad::kOk;
      case LinkError::kNotFound:
        return LinkLoad::kNotFound;
      case LinkError::kDamaged:
        return LinkLoad::kGeneralFailure;
      case LinkError::kOther:
        break;
    }
    return LinkLoad::kOther;
  }
  bool GetPath(std::string* path) override { return loaded_ && Take(link_.Path(), path); }
  bool GetWorkingFolder(std::string* folder) override {
    return loaded_ && Take(link_.WorkingFolder(), folder);
  }
  bool GetDescription(std::string* text) override {
    return loaded_ && Take(link_.Description(), text);
  }
  bool GetArguments(std::string* arguments) override {
    return loaded_ && Take(link_.Arguments(), arguments);
  }
  bool GetHotKey(std::uint16_t* hot_key) override {
    *hot_key = link_.HotKey();
    return loaded_;
  }
  bool GetShowCommand(int* show_command) override {
    *show_command = link_.ShowCommand();
    return loaded_;
  }
  bool GetIconLocation(std::string* file, int* index) override {
    *index = link_.IconIndex();
    return loaded_ && Take(link_.IconFile(), file);
  }
  // A link without an icon of its own shows its target's first icon.
  bool ExtractorIconLocation(std::string* file, int* index) override {
    if (!loaded_) return false;
    std::string own = link_.IconFile();
    *index = own.empty() ? 0 : link_.IconIndex();
    Take(own.empty() ? link_.Path() : own, file);
    return !file->empty();
  }
  int IconCount(const std::string& file) override { return IconCountOfFile(file); }
  bool SetPath(const std::string& path) override {
    link_.SetPath(path);
    return loaded_;
  }
  bool SetWorkingFolder(const std::string& folder) override {
    link_.SetWorkingFolder(folder);
    return loaded_;
  }
  bool SetArguments(const std::string& arguments) override {
    link_.SetArguments(arguments);
    return loaded_;
  }
  bool SetIconLocation(const std::string& file, int index) override {
    link_.SetIconLocation(file, index);
    return loaded_;
  }
  bool Save() override { return loaded_ && SaveShellLink(path_, link_).ok(); }

 private:
  std::string path_;
  ShellLink link_;
  bool loaded_ = false;
};

}  // namespace

std::unique_ptr<LinkAccess> MakeCodecLinkAccess() { return std::make_unique<CodecLinkAccess>(); }

}  // namespace tsl
