#include "registry/registry_engine.h"
#include "services/messages.h"

namespace tsl {

namespace {

class SystemUi : public RegistryEngineUi {
 public:
  RegistryReplaceAnswer AskReplace(RegistryItem item, const std::string& key_path,
                                   const std::string& value_name, const std::string& old_text,
                                   const std::string& new_text) override {
    return AskRegistryReplace(item, key_path, value_name, old_text, new_text);
  }
  std::unique_ptr<SearchingWindow> OpenSearchingWindow(bool* cancel_flag) override {
    return ::tsl::OpenSearchingWindow(cancel_flag);
  }
  bool AskMerge(const std::string& reg_file, const std::vector<MergeRow>& rows,
                std::vector<std::size_t>* kept) override {
    return ::tsl::AskMerge(reg_file, rows, kept);
  }
  void ShowMessage(const std::string& text) override { ::tsl::ShowMessage(text); }
};

}  // namespace

RegistryEngineUi& SystemRegistryEngineUi() {
  static SystemUi ui;
  return ui;
}

}  // namespace tsl
