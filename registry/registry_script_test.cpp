#include "registry/registry_script.h"

#include <gtest/gtest.h>

#include "registry/key_path.h"
#include "registry/registry_access.h"
#include "tests/support/registry_support.h"

namespace tsl {
namespace {

std::vector<RegistryAction> Read(std::string_view text) {
  ScriptFile script;
  EXPECT_TRUE(script.LoadText("reg.ini", text));
  return ReadRegistryScript(script, "/undo/");
}

TEST(RegistryScriptTest, ActionsInheritTheDefaultSectionAndTheBuiltInDefaults) {
  auto actions = Read(
      "[Default]\r\nSearch String=abc\r\nPrompts=0\r\n"
      "[Action2]\r\nKey=HKEY_CURRENT_USER\\Software\\Y\r\nValues=1\r\nData=yes\r\n"
      "Set Value Data=4\r\n"
      "[Action1]\r\nKey=HKEY_CURRENT_USER\\Software\\X\r\n");
  ASSERT_EQ(actions.size(), 2u);
  const RegistryAction& first = actions[0];
  EXPECT_EQ(first.key, "HKEY_CURRENT_USER\\Software\\X");
  EXPECT_EQ(first.search, "abc");
  EXPECT_EQ(first.prompts, 0);
  EXPECT_TRUE(first.search_data && first.string_data && first.expandable_data &&
              first.multi_string_data && first.process_subkeys);
  EXPECT_FALSE(first.binary_data || first.number_data || first.replace_mode ||
               first.search_key_names || first.search_value_names);
  EXPECT_EQ(first.undo_folder, "/undo/");
  const RegistryAction& second = actions[1];
  EXPECT_TRUE(second.search_value_names);
  EXPECT_FALSE(second.search_data);  // "yes" reads as 0
  EXPECT_EQ(second.set_value_data, 4u);

  EXPECT_TRUE(Read("[Default]\r\nSearch String=abc\r\n").empty());
}

TEST(KeyPathTest, RootsSubkeysAndTheMyRegistryPrefix) {
  testing::ScopedRegistry registry;
  auto parse = [](const std::string& path) {
    ParsedKeyPath parsed = ParseKeyPath(SystemRegistry(), path);
    return std::make_pair(parsed.root.valid(), parsed.subkey);
  };
  EXPECT_EQ(parse("HKEY_LOCAL_MACHINE"), std::make_pair(true, std::string()));
  EXPECT_EQ(parse("HKEY_CURRENT_USER\\Software\\X"),
            std::make_pair(true, std::string("Software\\X")));
  EXPECT_EQ(parse("My Registry\\HKEY_USERS\\.DEFAULT"),
            std::make_pair(true, std::string(".DEFAULT")));
  // Root names count only in full, in capitals, as a whole element.
  for (const char* path : {"hkey_current_user\\Software", "HKCU\\Software", "HKEY_USERSX\\a",
                           "Software\\X", "my registry\\HKEY_USERS", ""}) {
    EXPECT_EQ(parse(path), std::make_pair(false, std::string())) << path;
  }
  // This machine has no remote registry to reach (Linux has none at all).
  EXPECT_EQ(parse("\\\\nosuchmachine-tsl\\HKEY_LOCAL_MACHINE\\Software"),
            std::make_pair(false, std::string()));
  EXPECT_EQ(parse("\\\\server\\HKEY_CURRENT_USER\\Software"), std::make_pair(false, std::string()));

  testing::ScopedEnvironment variable("TSL_APPKEY", "Demo");
  EXPECT_EQ(parse("HKEY_CURRENT_USER\\Software\\%%ENVVAR=TSL_APPKEY%%"),
            std::make_pair(true, std::string("Software\\Demo")));
}

TEST(KeyPathTest, EnvironmentMarkers) {
  testing::ScopedEnvironment name("TSL_MARKER", "value");
  testing::ScopedEnvironment unset("TSL_UNSET_MARKER", std::nullopt);
  auto expand = [](std::string text) {
    ExpandEnvironmentMarkers(&text);
    return text;
  };
  EXPECT_EQ(expand("a%%envvar=TSL_MARKER%%\\x"), "avalue\\x");
  EXPECT_EQ(expand("%%ENVVAR=TSL_MARKER%%%%ENVVAR=TSL_UNSET_MARKER%%!"), "value!");
  EXPECT_EQ(expand("100%% sure"), "100%% sure");
  EXPECT_EQ(expand("x%%ENVVAR=TSL_MARKER"), "xTSL_MARKER");  // no closing: the opening goes
}

}  // namespace
}  // namespace tsl
