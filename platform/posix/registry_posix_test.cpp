// The Linux registry store beyond what Windows shares: where the file lives, the exact order of
// values and subkeys, exact string bytes, and several processes using one file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "tests/support/registry_support.h"

namespace tsl::reg {
namespace {

using namespace std::string_literals;

// Sets an environment variable for the life of the object.
using ScopedVariable = testing::ScopedEnvironment;

// Runs `work` in a child process; the exit status is 0 when it returned true.
pid_t StartChild(const std::function<bool()>& work) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(work() ? 0 : 1);
  return pid;
}

int WaitForChild(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using testing::SubkeyNames;
using testing::ValueNames;

class RegistryStoreTest : public ::testing::Test {
 protected:
  Key Create(const std::string& path, const std::string& class_name = "") {
    Key key;
    EXPECT_EQ(CreateKey(Key(Root::kCurrentUser), path, class_name, access::kAll, &key, nullptr),
              kOk)
        << path;
    return key;
  }
  std::string Value(const Key& key, const std::string& name) {
    std::uint32_t type = 0;
    std::string data;
    long status = QueryValue(key, name, &type, &data);
    return status == kOk ? data : "<status " + std::to_string(status) + ">";
  }

  testing::ScopedTempDir temp_;
  std::string store_path_ = temp_ / "registry.db";
  ScopedVariable store_{"TESSALINE_REGISTRY", store_path_};
};

TEST_F(RegistryStoreTest, ValuesEnumerateInCreationOrder) {
  Key key = Create("order");
  for (const char* name : {"zeta", "Alpha", "mid", "beta"}) {
    ASSERT_EQ(SetValue(key, name, type::kBinary, name), kOk);
  }
  ASSERT_EQ(SetValue(key, "ALPHA", type::kString, "again\0"s), kOk);  // keeps its place
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"zeta", "Alpha", "mid", "beta"}));
  ASSERT_EQ(DeleteValue(key, "zeta"), kOk);
  ASSERT_EQ(SetValue(key, "Zeta", type::kBinary, "back"), kOk);  // made anew: last
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"Alpha", "mid", "beta", "Zeta"}));
}

// The order of subkeys is that of their upper-cased names compared bytewise, so `_` and `[`
// come after the letters (Wine, which lower-cases, puts them before).
TEST_F(RegistryStoreTest, SubkeysSortByUpperCasedBytes) {
  Key key = Create("sorted");
  for (const char* name : {"_u", "[", "b", "A", "^", "a1", "Z", "`", "\xFF", "\x9Fz", "~"}) {
    Key child;
    ASSERT_EQ(CreateKey(key, name, "", access::kAll, &child, nullptr), kOk) << name;
  }
  // \xFF upper-cases to \x9F.
  EXPECT_EQ(SubkeyNames(key), (std::vector<std::string>{"A", "a1", "b", "Z", "[", "^", "_u", "`",
                                                        "~", "\xFF", "\x9Fz"}));
}

// A walk by index over many subkeys reads from a cached list; it must give what sorting the
// names afresh gives, also after changes in between.
TEST_F(RegistryStoreTest, LargeEnumerationMatchesPlainSort) {
  Key key = Create("many");
  std::mt19937 random(20240607);
  const std::string alphabet = "abcXYZ_[09\xE9\xC9\xFF\x9F";
  std::vector<std::string> reference;
  std::set<std::string> folded;
  while (reference.size() < 1500) {
    std::string name;
    for (int i = 1 + random() % 6; i > 0; --i) name += alphabet[random() % alphabet.size()];
    Key child;
    bool created = false;
    ASSERT_EQ(CreateKey(key, name, "", access::kAll, &child, &created), kOk);
    EXPECT_EQ(created, folded.insert(cp::ToUpper(name)).second) << name;
    if (created) reference.push_back(name);
  }
  auto by_upper = [](const std::string& a, const std::string& b) {
    return cp::ToUpper(a) < cp::ToUpper(b);  // std::string compares as unsigned bytes
  };
  std::sort(reference.begin(), reference.end(), by_upper);
  EXPECT_EQ(SubkeyNames(key), reference);

  // Delete every third key while walking, as a renaming walk does.
  std::string name;
  std::uint32_t index = 0;
  int seen = 0;
  while (EnumKey(key, index, &name) == kOk) {
    ASSERT_LT(index, reference.size());
    ASSERT_EQ(name, reference[index]);
    if (seen++ % 3 == 0) {
      ASSERT_EQ(DeleteKey(key, name), kOk);
      reference.erase(reference.begin() + index);
    } else {
      ++index;
    }
  }
  EXPECT_EQ(index, reference.size());
  EXPECT_EQ(SubkeyNames(key), reference);

  // And add keys while walking: each lands at its place in the order.
  for (index = 0; EnumKey(key, index, &name) == kOk; ++index) {
    ASSERT_LT(index, reference.size());
    ASSERT_EQ(name, reference[index]);
    if (index % 4 == 0) {
      std::string added = "+" + name;
      Key child;
      bool created = false;
      ASSERT_EQ(CreateKey(key, added, "", access::kAll, &child, &created), kOk);
      if (!created) continue;
      reference.insert(std::upper_bound(reference.begin(), reference.end(), added, by_upper),
                       added);
    }
  }
  EXPECT_EQ(index, reference.size());
  EXPECT_EQ(SubkeyNames(key), reference);
}

TEST_F(RegistryStoreTest, StringsKeepTheirExactBytes) {
  Key key = Create("strings");
  for (const std::string& data : {"no zero"s, "two\0zeros\0"s, ""s, "\0"s, "\xE9\x81\x8D"s}) {
    ASSERT_EQ(SetValue(key, "s", type::kString, data), kOk);
    EXPECT_EQ(Value(key, "s"), data);
  }
}

TEST_F(RegistryStoreTest, DataSurvivesReopeningAndStoresAreSeparate) {
  Key kept = Create("kept");
  ASSERT_EQ(SetValue(kept, "v", type::kBinary, "one"), kOk);
  {
    ScopedVariable other("TESSALINE_REGISTRY", temp_ / "other.db");
    Key key;
    EXPECT_EQ(OpenKey(Key(Root::kCurrentUser), "kept", access::kRead, &key), kNotFound);
    Create("only in other");
    // A key opened before the switch stays with its own store.
    EXPECT_EQ(SetValue(kept, "w", type::kBinary, "two"), kOk);
  }
  Key key;
  ASSERT_EQ(OpenKey(Key(Root::kCurrentUser), "kept", access::kRead, &key), kOk);
  EXPECT_EQ(Value(key, "v"), "one");
  EXPECT_EQ(Value(key, "w"), "two");
  EXPECT_EQ(OpenKey(Key(Root::kCurrentUser), "only in other", access::kRead, &key), kNotFound);
  EXPECT_TRUE(PathExists(temp_ / "other.db"));
}

TEST_F(RegistryStoreTest, RootsAreSeparateTrees) {
  Create("Software\\Shared");
  for (Root root : {Root::kClassesRoot, Root::kLocalMachine, Root::kUsers, Root::kCurrentConfig,
                    Root::kDynData}) {
    Key key;
    EXPECT_EQ(OpenKey(Key(root), "Software\\Shared", access::kRead, &key), kNotFound)
        << RootName(root);
    EXPECT_EQ(SubkeyNames(Key(root)), std::vector<std::string>{}) << RootName(root);
  }
}

TEST_F(RegistryStoreTest, DefaultLocations) {
  ScopedVariable no_store("TESSALINE_REGISTRY", std::nullopt);
  {
    ScopedVariable data("XDG_DATA_HOME", temp_ / "xdg");
    Create("in xdg");
    EXPECT_TRUE(PathExists(temp_ / "xdg/tessaline/registry.db"));
  }
  ScopedVariable no_data("XDG_DATA_HOME", std::nullopt);
  ScopedVariable home("HOME", temp_ / "home");
  Create("in home");
  EXPECT_TRUE(PathExists(temp_ / "home/.local/share/tessaline/registry.db"));
  Key key;
  EXPECT_EQ(OpenKey(Key(Root::kCurrentUser), "in xdg", access::kRead, &key), kNotFound);
}

TEST_F(RegistryStoreTest, UnusableFilesFail) {
  testing::WriteFile(temp_ / "junk.db", std::string(4096, 'j'));
  {
    ScopedVariable junk("TESSALINE_REGISTRY", temp_ / "junk.db");
    Key key;
    EXPECT_EQ(CreateKey(Key(Root::kCurrentUser), "x", "", access::kAll, &key, nullptr), kIoFailed);
    EXPECT_FALSE(key.valid());
  }
  ScopedVariable below_file("TESSALINE_REGISTRY", temp_ / "junk.db/registry.db");
  std::string name;
  EXPECT_EQ(EnumKey(Key(Root::kCurrentUser), 0, &name), kIoFailed);
}

TEST_F(RegistryStoreTest, WindowsRulesTheStoreFollows) {
  Key key = Create("classy", "First");
  Create("classy", "Second");  // an existing key keeps its class
  KeyInfo info;
  ASSERT_EQ(QueryKeyInfo(key, &info), kOk);
  EXPECT_EQ(info.class_name, "First");

  Key writer;
  ASSERT_EQ(OpenKey(Key(Root::kCurrentUser), "classy", access::kWrite, &writer), kOk);
  EXPECT_EQ(QueryKeyInfo(writer, &info), kAccessDenied);  // needs query access

  Key made;
  EXPECT_EQ(CreateKey(key, std::string(255, 'n'), "", access::kAll, &made, nullptr), kOk);
  EXPECT_EQ(CreateKey(key, std::string(256, 'n'), "", access::kAll, &made, nullptr),
            kInvalidParameter);
  // Only HKEY_CLASSES_ROOT takes a leading backslash.
  EXPECT_EQ(CreateKey(Key(Root::kClassesRoot), "\\.txt", "", access::kAll, &made, nullptr), kOk);
  EXPECT_EQ(SubkeyNames(Key(Root::kClassesRoot)), std::vector<std::string>{".txt"});
}

TEST_F(RegistryStoreTest, ProcessesWriteAtOnce) {
  Key shared = Create("shared");
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  auto writer = [&](const std::string& prefix) {
    for (int i = 0; i < 60; ++i) {
      std::string name = prefix + std::to_string(i);
      Key key;
      if (CreateKey(Key(Root::kCurrentUser), "shared\\" + name, "", access::kAll, &key, nullptr) !=
          kOk) {
        return false;
      }
      if (SetValue(shared, name, type::kBinary, name) != kOk) return false;
    }
    return true;
  };
  std::vector<pid_t> children;
  for (const char* prefix : {"first", "second", "third"}) {
    children.push_back(StartChild([&, prefix] {
      char byte;
      ::close(gate[1]);
      ::read(gate[0], &byte, 1);  // returns when the parent closes its end
      return writer(prefix);
    }));
  }
  ::close(gate[0]);
  ::close(gate[1]);
  EXPECT_TRUE(writer("parent"));
  for (pid_t child : children) EXPECT_EQ(WaitForChild(child), 0);
  EXPECT_EQ(SubkeyNames(shared).size(), 240u);
  EXPECT_EQ(ValueNames(shared).size(), 240u);
  EXPECT_EQ(Value(shared, "third59"), "third59");
}

TEST_F(RegistryStoreTest, ChangesOfOtherProcessesAreSeen) {
  Key parent = Create("watched");
  Key doomed = Create("watched\\doomed");
  EXPECT_EQ(SubkeyNames(parent), std::vector<std::string>{"doomed"});
  EXPECT_EQ(ValueNames(parent), std::vector<std::string>{});
  pid_t child = StartChild([] {
    Key key, born;
    return OpenKey(Key(Root::kCurrentUser), "watched", access::kAll, &key) == kOk &&
           DeleteKey(key, "doomed") == kOk && SetValue(key, "v", type::kBinary, "x") == kOk &&
           CreateKey(key, "born", "", access::kAll, &born, nullptr) == kOk;
  });
  ASSERT_EQ(WaitForChild(child), 0);
  EXPECT_EQ(SubkeyNames(parent), std::vector<std::string>{"born"});
  EXPECT_EQ(ValueNames(parent), std::vector<std::string>{"v"});
  EXPECT_EQ(SetValue(doomed, "v", type::kBinary, "x"), kKeyDeleted);
}

TEST_F(RegistryStoreTest, ACrashLosesNothingDone) {
  pid_t child = StartChild([] {
    Key key;
    if (CreateKey(Key(Root::kCurrentUser), "durable", "", access::kAll, &key, nullptr) != kOk ||
        SetValue(key, "v", type::kBinary, "kept") != kOk) {
      return false;
    }
    ::raise(SIGKILL);  // no clean-up of any kind
    return false;
  });
  EXPECT_EQ(WaitForChild(child), 128 + SIGKILL);
  Key key;
  ASSERT_EQ(OpenKey(Key(Root::kCurrentUser), "durable", access::kRead, &key), kOk);
  EXPECT_EQ(Value(key, "v"), "kept");
}

}  // namespace
}  // namespace tsl::reg
