// Expectations of the registry service that hold on both platforms: on Windows against the real
// registry (Wine's, when the tests run under Wine), on Linux against the SQLite store. Every test
// works in a scratch key below HKEY_CURRENT_USER\Software that is deleted afterwards; on Linux
// the store itself is a fresh file in a temporary folder.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <vector>

#include "platform/environment.h"
#include "tests/support/registry_support.h"

namespace tsl::reg {
namespace {

using namespace std::string_literals;

using testing::SubkeyNames;
using testing::ValueNames;

class RegistryTest : public ::testing::Test {
 protected:
  std::string ScratchPath() const { return registry_.scratch_path(); }

  Key Create(const std::string& path, std::uint32_t access = access::kAll) {
    Key key;
    EXPECT_EQ(CreateKey(scratch_, path, "", access, &key, nullptr), kOk) << path;
    return key;
  }

  testing::ScopedRegistry registry_;
  const Key& scratch_ = registry_.scratch();
};

TEST_F(RegistryTest, CreatesNestedPathsAndOpensThem) {
  Key key;
  bool created = false;
  ASSERT_EQ(CreateKey(scratch_, "one\\two\\three", "", access::kAll, &key, &created), kOk);
  EXPECT_TRUE(key.valid());
  EXPECT_TRUE(created);
  ASSERT_EQ(CreateKey(scratch_, "one\\two\\three", "", access::kAll, &key, &created), kOk);
  EXPECT_FALSE(created);
  ASSERT_EQ(CreateKey(scratch_, "one\\two", "", access::kAll, &key, &created), kOk);
  EXPECT_FALSE(created);

  EXPECT_EQ(OpenKey(scratch_, "one\\two\\three", access::kRead, &key), kOk);
  EXPECT_EQ(OpenKey(Key(Root::kCurrentUser), ScratchPath() + "\\one\\two", access::kRead, &key),
            kOk);
  EXPECT_EQ(SubkeyNames(key), std::vector<std::string>{"three"});
  EXPECT_EQ(OpenKey(scratch_, "one\\missing", access::kRead, &key), kNotFound);
  EXPECT_FALSE(key.valid());
  EXPECT_EQ(OpenKey(scratch_, "missing\\two", access::kRead, &key), kNotFound);
}

TEST_F(RegistryTest, PathForms) {
  Create("a\\b");
  struct Case {
    const char* path;
    long status;
    const char* lands_in;  // the key opened: its only subkey, or "" for a leaf
  } cases[] = {
      {"a", kOk, "b"},                 // one level down
      {"a\\b", kOk, ""},               // two levels down
      {"a\\\\b", kOk, ""},             // a run of separators counts as one
      {"a\\", kOk, "b"},               // a closing separator is ignored
      {"a\\b\\\\", kOk, ""},           // and so is a closing run
      {"\\a", kBadPathName, nullptr},  // a leading separator is refused
      {"", kOk, "a"},                  // the key itself
  };
  for (const Case& c : cases) {
    Key key;
    EXPECT_EQ(OpenKey(scratch_, c.path, access::kRead, &key), c.status) << c.path;
    Key created;
    EXPECT_EQ(CreateKey(scratch_, c.path, "", access::kRead, &created, nullptr), c.status)
        << c.path;
    if (c.status != kOk) continue;
    std::vector<std::string> expected;
    if (*c.lands_in) expected.push_back(c.lands_in);
    EXPECT_EQ(SubkeyNames(key), expected) << c.path;
    EXPECT_EQ(SubkeyNames(created), expected) << c.path;
  }
  EXPECT_EQ(SubkeyNames(scratch_), std::vector<std::string>{"a"});
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepIt) {
  Create("MixedCase");
  Key key;
  bool created = true;
  ASSERT_EQ(CreateKey(scratch_, "MIXEDCASE", "", access::kAll, &key, &created), kOk);
  EXPECT_FALSE(created);
  Create("Caf\xE9");
  EXPECT_EQ(OpenKey(scratch_, "CAF\xC9", access::kRead, &key), kOk);  // é and É
  EXPECT_EQ(OpenKey(scratch_, "Cafe", access::kRead, &key), kNotFound);
  EXPECT_EQ(SubkeyNames(scratch_), (std::vector<std::string>{"Caf\xE9", "MixedCase"}));

  ASSERT_EQ(SetValue(scratch_, "Colour", type::kBinary, "1"), kOk);
  ASSERT_EQ(SetValue(scratch_, "COLOUR", type::kBinary, "2"), kOk);
  std::uint32_t type = 0;
  std::string data;
  ASSERT_EQ(QueryValue(scratch_, "colour", &type, &data), kOk);
  EXPECT_EQ(data, "2");
  EXPECT_EQ(ValueNames(scratch_), std::vector<std::string>{"Colour"});
}

TEST_F(RegistryTest, ValuesKeepTypeAndBytes) {
  struct Case {
    const char* name;
    std::uint32_t type;
    std::string data;
  } cases[] = {
      {"text", type::kString, "C:\\Temp\r\n\0"s},
      {"western", type::kString, "caf\xE9 \xFC\xDF\0"s},
      {"expand", type::kExpandString, "%PATH%;x\0"s},
      {"multi", type::kMultiString, "one\0two\0\0"s},
      {"binary", type::kBinary, "\0\x01\xFF\x80 \0z"s},
      {"number", type::kDword, "\x19\0\0\0"s},
      {"big endian", type::kDwordBigEndian, "\0\0\0\x19"s},
      {"wide number", type::kQword, "\x01\x02\x03\x04\x05\x06\x07\x08"s},
      {"no data", type::kNone, ""},
      {"empty binary", type::kBinary, ""},
      {"short dword", type::kDword, "\x01\x02"s},  // the registry does not check sizes
      {"own type", 99, "\xAB\xCD"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(SetValue(scratch_, c.name, c.type, c.data), kOk) << c.name;
  }
  for (const Case& c : cases) {
    std::uint32_t type = 12345;
    std::string data = "stale";
    ASSERT_EQ(QueryValue(scratch_, c.name, &type, &data), kOk) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(data, c.data) << c.name;
  }
  std::uint32_t type = 0;
  std::string data;
  EXPECT_EQ(QueryValue(scratch_, "absent", &type, &data), kNotFound);
}

TEST_F(RegistryTest, LargeDataAndLongNamesComeBackWhole) {
  std::string big(100000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 % 251);
  std::string long_value_name(300, 'v');
  std::string long_key_name(255, 'k');
  ASSERT_EQ(SetValue(scratch_, long_value_name, type::kBinary, big), kOk);
  Key child = Create(long_key_name);
  ASSERT_EQ(SetValue(child, "x", type::kString, std::string(5000, 'y') + '\0'), kOk);

  std::uint32_t type = 0;
  std::string name, data;
  ASSERT_EQ(QueryValue(scratch_, long_value_name, &type, &data), kOk);
  EXPECT_EQ(data, big);
  ASSERT_EQ(EnumValue(scratch_, 0, &name, &type, &data), kOk);
  EXPECT_EQ(name, long_value_name);
  EXPECT_EQ(data, big);
  ASSERT_EQ(EnumKey(scratch_, 0, &name), kOk);
  EXPECT_EQ(name, long_key_name);
  ASSERT_EQ(EnumValue(child, 0, &name, &type, &data), kOk);
  EXPECT_EQ(data, std::string(5000, 'y') + '\0');
}

TEST_F(RegistryTest, DefaultValueHasTheEmptyName) {
  std::uint32_t type = 0;
  std::string data;
  EXPECT_EQ(QueryValue(scratch_, "", &type, &data), kNotFound);
  ASSERT_EQ(SetValue(scratch_, "", type::kString, "default\0"s), kOk);
  ASSERT_EQ(QueryValue(scratch_, "", &type, &data), kOk);
  EXPECT_EQ(data, "default\0"s);
  std::string name = "stale";
  ASSERT_EQ(EnumValue(scratch_, 0, &name, &type, &data), kOk);
  EXPECT_EQ(name, "");
  EXPECT_EQ(DeleteValue(scratch_, ""), kOk);
  EXPECT_EQ(QueryValue(scratch_, "", &type, &data), kNotFound);
}

TEST_F(RegistryTest, SubkeysEnumerateInNameOrderIgnoringCase) {
  for (const char* name : {"b", "A", "a1", "Zeta", "m", "\xE9t\xE9", "\xC9z", "10", "9"}) {
    Create(name);
  }
  EXPECT_EQ(SubkeyNames(scratch_), (std::vector<std::string>{"10", "9", "A", "a1", "b", "m", "Zeta",
                                                             "\xE9t\xE9", "\xC9z"}));
  std::string name;
  EXPECT_EQ(EnumKey(scratch_, 9, &name), kNoMoreItems);
  EXPECT_EQ(EnumKey(scratch_, 1000, &name), kNoMoreItems);
}

TEST_F(RegistryTest, EnumerationFollowsChanges) {
  Create("b");
  Create("d");
  std::string name;
  ASSERT_EQ(EnumKey(scratch_, 1, &name), kOk);
  EXPECT_EQ(name, "d");
  Create("c");
  ASSERT_EQ(EnumKey(scratch_, 1, &name), kOk);
  EXPECT_EQ(name, "c");
  ASSERT_EQ(DeleteKey(scratch_, "b"), kOk);
  ASSERT_EQ(EnumKey(scratch_, 1, &name), kOk);
  EXPECT_EQ(name, "d");
  EXPECT_EQ(EnumKey(scratch_, 2, &name), kNoMoreItems);

  ASSERT_EQ(SetValue(scratch_, "v1", type::kBinary, "1"), kOk);
  EXPECT_EQ(ValueNames(scratch_), std::vector<std::string>{"v1"});
  ASSERT_EQ(SetValue(scratch_, "v2", type::kBinary, "2"), kOk);
  EXPECT_EQ(ValueNames(scratch_), (std::vector<std::string>{"v1", "v2"}));
  ASSERT_EQ(DeleteValue(scratch_, "v1"), kOk);
  EXPECT_EQ(ValueNames(scratch_), std::vector<std::string>{"v2"});
}

TEST_F(RegistryTest, EnumeratedValuesCarryTheirData) {
  // Windows and this program's store list values in creation order, Wine by name: only the
  // set of values is common ground here (the order is tested on Linux).
  std::set<std::string> expected;
  for (int i = 0; i < 20; ++i) {
    std::string name = "value" + std::to_string((i * 7) % 20);
    ASSERT_EQ(SetValue(scratch_, name, type::kBinary, name + "-data"), kOk);
    expected.insert(name);
  }
  ASSERT_EQ(SetValue(scratch_, "VALUE3", type::kDword, "\x03\0\0\0"s), kOk);
  std::set<std::string> seen;
  std::string name, data;
  std::uint32_t type = 0;
  std::uint32_t index = 0;
  for (; EnumValue(scratch_, index, &name, &type, &data) == kOk; ++index) {
    EXPECT_TRUE(seen.insert(name).second) << name;
    if (name == "value3") {
      EXPECT_EQ(type, type::kDword);
      EXPECT_EQ(data, "\x03\0\0\0"s);
    } else {
      EXPECT_EQ(type, type::kBinary);
      EXPECT_EQ(data, name + "-data");
    }
  }
  EXPECT_EQ(index, 20u);
  EXPECT_EQ(seen, expected);
}

TEST_F(RegistryTest, KeyInfoCountsAndLongestSizes) {
  Key key;
  ASSERT_EQ(CreateKey(scratch_, "info", "MyClass", access::kAll, &key, nullptr), kOk);
  for (const char* name : {"s", "subkey name", "mid"}) {
    Key child;
    ASSERT_EQ(CreateKey(key, name, "", access::kAll, &child, nullptr), kOk);
  }
  // Binary data: Windows reports string sizes as stored in UTF-16.
  ASSERT_EQ(SetValue(key, "a", type::kBinary, std::string(40, 'x')), kOk);
  ASSERT_EQ(SetValue(key, "long name", type::kBinary, "xyz"), kOk);
  ASSERT_EQ(SetValue(key, "", type::kBinary, std::string(7, '\0')), kOk);
  KeyInfo info;
  ASSERT_EQ(QueryKeyInfo(key, &info), kOk);
  EXPECT_EQ(info.class_name, "MyClass");
  EXPECT_EQ(info.subkeys, 3u);
  EXPECT_EQ(info.longest_subkey_name, 11u);
  EXPECT_EQ(info.values, 3u);
  EXPECT_EQ(info.longest_value_name, 9u);
  EXPECT_EQ(info.longest_data, 40u);

  Key empty = Create("empty");
  ASSERT_EQ(QueryKeyInfo(empty, &info), kOk);
  EXPECT_EQ(info.class_name, "");
  EXPECT_EQ(info.subkeys, 0u);
  EXPECT_EQ(info.values, 0u);
  EXPECT_EQ(info.longest_subkey_name, 0u);
  EXPECT_EQ(info.longest_value_name, 0u);
  EXPECT_EQ(info.longest_data, 0u);
}

TEST_F(RegistryTest, HandlesRememberTheirAccess) {
  Create("target\\child");
  ASSERT_EQ(SetValue(Create("target"), "v", type::kBinary, "1"), kOk);
  Key reader;
  ASSERT_EQ(OpenKey(scratch_, "target", access::kRead, &reader), kOk);
  std::uint32_t type = 0;
  std::string data, name;
  EXPECT_EQ(QueryValue(reader, "v", &type, &data), kOk);
  EXPECT_EQ(EnumKey(reader, 0, &name), kOk);
  EXPECT_EQ(SetValue(reader, "v", type::kBinary, "2"), kAccessDenied);
  EXPECT_EQ(SetValue(reader, "new", type::kBinary, "2"), kAccessDenied);
  EXPECT_EQ(DeleteValue(reader, "v"), kAccessDenied);
  ASSERT_EQ(QueryValue(reader, "v", &type, &data), kOk);
  EXPECT_EQ(data, "1");

  // As on Windows, subkeys are created and deleted through a handle of any access: the rights
  // that count are those on the subkey itself.
  Key child;
  EXPECT_EQ(CreateKey(reader, "made", "", access::kAll, &child, nullptr), kOk);
  EXPECT_EQ(SetValue(child, "v", type::kBinary, "3"), kOk);
  child.Close();
  EXPECT_EQ(DeleteKey(reader, "made"), kOk);

  Key writer;
  ASSERT_EQ(OpenKey(scratch_, "target", access::kWrite, &writer), kOk);
  EXPECT_EQ(QueryValue(writer, "v", &type, &data), kAccessDenied);
  EXPECT_EQ(EnumKey(writer, 0, &name), kAccessDenied);
  EXPECT_EQ(EnumValue(writer, 0, &name, &type, &data), kAccessDenied);
  EXPECT_EQ(SetValue(writer, "v", type::kBinary, "4"), kOk);
}

TEST_F(RegistryTest, DeletesOnlyKeysWithoutSubkeys) {
  Create("parent\\child");
  EXPECT_EQ(DeleteKey(scratch_, "parent"), kAccessDenied);
  EXPECT_EQ(DeleteKey(scratch_, "missing"), kNotFound);
  ASSERT_EQ(SetValue(Create("parent\\child"), "v", type::kBinary, "1"), kOk);
  EXPECT_EQ(DeleteKey(scratch_, "PARENT\\child"), kOk);
  Key key;
  EXPECT_EQ(OpenKey(scratch_, "parent\\child", access::kRead, &key), kNotFound);
  EXPECT_EQ(DeleteKey(scratch_, "parent"), kOk);
  EXPECT_EQ(SubkeyNames(scratch_), std::vector<std::string>{});
  // A key of the same name made again starts empty.
  Key again = Create("parent\\child");
  std::uint32_t type = 0;
  std::string data;
  EXPECT_EQ(QueryValue(again, "v", &type, &data), kNotFound);
  EXPECT_EQ(DeleteKey(Key(Root::kCurrentUser), ""), kAccessDenied);
}

TEST_F(RegistryTest, KeyDeletedWhileOpen) {
  Key doomed = Create("doomed");
  ASSERT_EQ(SetValue(doomed, "v", type::kBinary, "1"), kOk);
  Key other;
  ASSERT_EQ(OpenKey(scratch_, "doomed", access::kRead, &other), kOk);
  ASSERT_EQ(DeleteKey(scratch_, "doomed"), kOk);
  Create("doomed");  // a new key of the same name is another key

  std::uint32_t type = 0;
  std::string name, data;
  KeyInfo info;
  Key result;
  EXPECT_EQ(SetValue(doomed, "v", type::kBinary, "2"), kKeyDeleted);
  EXPECT_EQ(QueryValue(doomed, "v", &type, &data), kKeyDeleted);
  EXPECT_EQ(QueryValue(other, "v", &type, &data), kKeyDeleted);
  EXPECT_EQ(DeleteValue(doomed, "v"), kKeyDeleted);
  EXPECT_EQ(EnumKey(doomed, 0, &name), kKeyDeleted);
  EXPECT_EQ(EnumValue(doomed, 0, &name, &type, &data), kKeyDeleted);
  EXPECT_EQ(QueryKeyInfo(doomed, &info), kKeyDeleted);
  EXPECT_EQ(OpenKey(doomed, "", access::kRead, &result), kKeyDeleted);
  EXPECT_EQ(CreateKey(doomed, "child", "", access::kAll, &result, nullptr), kKeyDeleted);
  EXPECT_EQ(DeleteKey(doomed, ""), kKeyDeleted);
  // The new key of that name was not touched.
  Key fresh;
  ASSERT_EQ(OpenKey(scratch_, "doomed", access::kRead, &fresh), kOk);
  EXPECT_EQ(QueryValue(fresh, "v", &type, &data), kNotFound);
}

TEST_F(RegistryTest, DeletesValues) {
  ASSERT_EQ(SetValue(scratch_, "gone", type::kBinary, "1"), kOk);
  ASSERT_EQ(SetValue(scratch_, "kept", type::kBinary, "2"), kOk);
  EXPECT_EQ(DeleteValue(scratch_, "GONE"), kOk);
  EXPECT_EQ(DeleteValue(scratch_, "gone"), kNotFound);
  EXPECT_EQ(ValueNames(scratch_), std::vector<std::string>{"kept"});
}

TEST_F(RegistryTest, EmptyPathOpensTheKeyItself) {
  ASSERT_EQ(SetValue(scratch_, "here", type::kBinary, "1"), kOk);
  Key same;
  ASSERT_EQ(OpenKey(scratch_, "", access::kRead, &same), kOk);
  std::uint32_t type = 0;
  std::string data;
  EXPECT_EQ(QueryValue(same, "here", &type, &data), kOk);
  EXPECT_EQ(SetValue(same, "here", type::kBinary, "2"), kAccessDenied);
  // Closing the copy leaves the original usable; a root reopened that way is the root.
  same.Close();
  EXPECT_EQ(QueryValue(scratch_, "here", &type, &data), kOk);
  Key root;
  ASSERT_EQ(OpenKey(Key(Root::kCurrentUser), "", access::kRead, &root), kOk);
  Key scratch_again;
  EXPECT_EQ(OpenKey(root, ScratchPath(), access::kRead, &scratch_again), kOk);
}

TEST_F(RegistryTest, InvalidHandlesAreRefused) {
  Key none;
  Key result;
  std::string name, data;
  std::uint32_t type = 0;
  EXPECT_EQ(OpenKey(none, "x", access::kRead, &result), kInvalidHandle);
  EXPECT_EQ(SetValue(none, "x", type::kBinary, "1"), kInvalidHandle);
  EXPECT_EQ(EnumKey(none, 0, &name), kInvalidHandle);
  EXPECT_EQ(QueryValue(none, "x", &type, &data), kInvalidHandle);
}

TEST_F(RegistryTest, RemoteMachines) {
  Key remote;
  EXPECT_EQ(ConnectRegistry("\\\\tessaline-no-such-host.invalid", Root::kLocalMachine, &remote),
            kBadNetPath);
  EXPECT_FALSE(remote.valid());
  // No machine name: this machine's own root.
  ASSERT_EQ(ConnectRegistry("", Root::kCurrentUser, &remote), kOk);
  Key key;
  EXPECT_EQ(OpenKey(remote, ScratchPath(), access::kRead, &key), kOk);
}

}  // namespace
}  // namespace tsl::reg
