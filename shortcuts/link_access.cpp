// Link access through the system's shell link object, each file checked by our codec first:
// the system's reader can fault on a damaged link (an ID-list item whose size runs past the
// list), which must instead be a general failure.
#include "shortcuts/link_access.h"

#include "platform/system_shell_link.h"
#include "shortcuts/shell_link.h"

namespace tsl {
namespace {

class SystemLinkAccess : public LinkAccess {
 public:
  explicit SystemLinkAccess(std::unique_ptr<SystemShellLink> link) : link_(std::move(link)) {}

  LinkLoad Load(const std::string& path) override {
    // A fresh object for every file, so nothing of the link before remains.
    if (loaded_once_) {
      std::unique_ptr<SystemShellLink> fresh = CreateSystemShellLink();
      if (!fresh) return LinkLoad::kOther;
      link_ = std::move(fresh);
    }
    loaded_once_ = true;
    ShellLink checked;
    switch (LoadShellLink(path, &checked)) {
      case LinkError::kNone:
        break;
      case LinkError::kNotFound:
        return LinkLoad::kNotFound;
      case LinkError::kDamaged:
        return LinkLoad::kGeneralFailure;
      case LinkError::kOther:
        return LinkLoad::kOther;
    }
    switch (link_->Load(path)) {
      case SystemLinkStatus::kOk:
        return LinkLoad::kOk;
      case SystemLinkStatus::kNotFound:
        return LinkLoad::kNotFound;
      case SystemLinkStatus::kGeneralFailure:
        return LinkLoad::kGeneralFailure;
      case SystemLinkStatus::kOutOfMemory:
        return LinkLoad::kOutOfMemory;
      default:
        return LinkLoad::kOther;
    }
  }
  bool GetPath(std::string* path) override { return link_->GetPath(path); }
  bool GetWorkingFolder(std::string* folder) override { return link_->GetWorkingFolder(folder); }
  bool GetDescription(std::string* text) override { return link_->GetDescription(text); }
  bool GetArguments(std::string* arguments) override { return link_->GetArguments(arguments); }
  bool GetHotKey(std::uint16_t* hot_key) override { return link_->GetHotKey(hot_key); }
  bool GetShowCommand(int* show_command) override { return link_->GetShowCommand(show_command); }
  bool GetIconLocation(std::string* file, int* index) override {
    return link_->GetIconLocation(file, index);
  }
  bool ExtractorIconLocation(std::string* file, int* index) override {
    return link_->ExtractorIconLocation(file, index);
  }
  int IconCount(const std::string& file) override { return SystemIconCount(file); }
  bool SetPath(const std::string& path) override { return link_->SetPath(path); }
  bool SetWorkingFolder(const std::string& folder) override {
    return link_->SetWorkingFolder(folder);
  }
  bool SetArguments(const std::string& arguments) override {
    return link_->SetArguments(arguments);
  }
  bool SetIconLocation(const std::string& file, int index) override {
    return link_->SetIconLocation(file, index);
  }
  bool Save() override { return link_->Save(); }

 private:
  std::unique_ptr<SystemShellLink> link_;
  bool loaded_once_ = false;
};

}  // namespace

std::unique_ptr<LinkAccess> MakeLinkAccess() {
  if (std::unique_ptr<SystemShellLink> link = CreateSystemShellLink()) {
    return std::make_unique<SystemLinkAccess>(std::move(link));
  }
  return MakeCodecLinkAccess();
}

}  // namespace tsl
