#include "tests/support/registry_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>


namespace tsl::testing {

ScopedRegistry::ScopedRegistry() : store_("TESSALINE_REGISTRY", folder_ / "registry.db") {
  static std::atomic<int> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  scratch_path_ = "Software\\TessalineTest-" + std::to_string(stamp % 1000000007) + "-" +
                  std::to_string(counter++);
  EXPECT_EQ(reg::CreateKey(reg::Key(reg::Root::kCurrentUser), scratch_path_, "",
                           reg::access::kAll, &scratch_, nullptr),
            reg::kOk);
}

ScopedRegistry::~ScopedRegistry() {
  scratch_.Close();
  reg::Key software;
  if (reg::OpenKey(reg::Key(reg::Root::kCurrentUser), "Software", reg::access::kAll,
                   &software) == reg::kOk) {
    EXPECT_EQ(DeleteKeyTree(software, scratch_path_.substr(scratch_path_.find('\\') + 1)),
              reg::kOk);
  }
}

long DeleteKeyTree(const reg::Key& parent, const std::string& name) {
  reg::Key key;
  long status = reg::OpenKey(parent, name, reg::access::kAll, &key);
  if (status != reg::kOk) return status;
  std::string child;
  while (reg::EnumKey(key, 0, &child) == reg::kOk) {
    status = DeleteKeyTree(key, child);
    if (status != reg::kOk) return status;
  }
  key.Close();
  return reg::DeleteKey(parent, name);
}

std::vector<std::string> SubkeyNames(const reg::Key& key) {
  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t i = 0; reg::EnumKey(key, i, &name) == reg::kOk; ++i) names.push_back(name);
  return names;
}

std::vector<std::string> ValueNames(const reg::Key& key) {
  std::vector<std::string> names;
  std::string name, data;
  std::uint32_t type = 0;
  for (std::uint32_t i = 0; reg::EnumValue(key, i, &name, &type, &data) == reg::kOk; ++i) {
    names.push_back(name);
  }
  return names;
}

}  // namespace tsl::testing
