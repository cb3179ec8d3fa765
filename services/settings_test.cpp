#include "services/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <optional>

#include "platform/environment.h"
#include "platform/registry.h"
#include "tests/support/registry_support.h"

namespace tsl {
namespace {

using namespace std::string_literals;

// Each test uses a section of its own below the settings key, deleted afterwards. On Linux the
// registry store is a fresh file; on Windows the section lives in the real registry.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    section_ = "Test-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++);
  }

  void TearDown() override {
    reg::Key settings;
    if (reg::OpenKey(reg::Key(reg::Root::kCurrentUser), kSettingsKeyPath, reg::access::kAll,
                     &settings) == reg::kOk) {
      long status = reg::DeleteKey(settings, section_);
      EXPECT_TRUE(status == reg::kOk || status == reg::kNotFound) << status;
    }
    settings.Close();
    // The keys above the section go too when this left them empty.
    for (const char* path : {kSettingsKeyPath, "Software\\Quarnel Software Inc."}) {
      reg::Key key;
      reg::KeyInfo info;
      if (reg::OpenKey(reg::Key(reg::Root::kCurrentUser), path, reg::access::kRead, &key) ==
              reg::kOk &&
          reg::QueryKeyInfo(key, &info) == reg::kOk && info.subkeys == 0 && info.values == 0) {
        key.Close();
        reg::DeleteKey(reg::Key(reg::Root::kCurrentUser), path);
      }
    }
  }

  // Sets a value directly in the section's key.
  void SetRaw(const std::string& name, std::uint32_t type, const std::string& data) {
    reg::Key key;
    ASSERT_EQ(reg::CreateKey(reg::Key(reg::Root::kCurrentUser),
                             std::string(kSettingsKeyPath) + "\\" + section_, "", reg::access::kAll,
                             &key, nullptr),
              reg::kOk);
    ASSERT_EQ(reg::SetValue(key, name, type, data), reg::kOk);
  }

  // Type and bytes of a value as stored, read directly from the key.
  std::pair<std::uint32_t, std::string> Raw(const std::string& name) {
    reg::Key key;
    std::uint32_t type = 0;
    std::string data;
    EXPECT_EQ(reg::OpenKey(reg::Key(reg::Root::kCurrentUser),
                           "Software\\Quarnel Software Inc.\\Tessaline\\" + section_,
                           reg::access::kRead, &key),
              reg::kOk);
    EXPECT_EQ(reg::QueryValue(key, name, &type, &data), reg::kOk) << name;
    return {type, data};
  }

  testing::ScopedTempDir temp_;
  testing::ScopedEnvironment store_{"TESSALINE_REGISTRY", temp_ / "registry.db"};  // Linux only
  std::string section_;
};

TEST_F(SettingsTest, TextRoundTripsAsStringValues) {
  for (const std::string& text : {"C:\\Work\\"s, ""s, "caf\xE9 \xFF"s, std::string(3000, 'x')}) {
    ASSERT_TRUE(WriteSettingString(section_, "Work Path", text));
    EXPECT_EQ(ReadSettingString(section_, "Work Path", "fallback"), text);
    EXPECT_EQ(Raw("Work Path"), std::make_pair(reg::type::kString, text + '\0'));
  }
  EXPECT_EQ(ReadSettingString(section_, "WORK PATH"), std::string(3000, 'x'));
}

TEST_F(SettingsTest, NumbersRoundTripAsLittleEndianDwords) {
  struct Case {
    int value;
    std::string bytes;
  } cases[] = {
      {0, "\0\0\0\0"s},
      {42, "\x2A\0\0\0"s},
      {0x12345678, "\x78\x56\x34\x12"s},
      {-2, "\xFE\xFF\xFF\xFF"s},
      {INT_MAX, "\xFF\xFF\xFF\x7F"s},
      {INT_MIN, "\0\0\0\x80"s},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteSettingInt(section_, "top", c.value));
    EXPECT_EQ(ReadSettingInt(section_, "top", 7), c.value);
    EXPECT_EQ(Raw("top"), std::make_pair(reg::type::kDword, c.bytes)) << c.value;
  }
}

TEST_F(SettingsTest, MissingOrMistypedValuesGiveTheFallback) {
  EXPECT_EQ(ReadSettingString(section_, "absent", "none"), "none");
  EXPECT_EQ(ReadSettingInt(section_, "absent", -5), -5);
  SetRaw("binary", reg::type::kBinary, "abc");
  SetRaw("short number", reg::type::kDword, "\x01\x02"s);
  SetRaw("big endian", reg::type::kDwordBigEndian, "\0\0\0\x01"s);
  ASSERT_TRUE(WriteSettingString(section_, "text", "12"));
  ASSERT_TRUE(WriteSettingInt(section_, "number", 12));
  EXPECT_EQ(ReadSettingString(section_, "binary", "none"), "none");
  EXPECT_EQ(ReadSettingString(section_, "number", "none"), "none");
  EXPECT_EQ(ReadSettingInt(section_, "text", -1), -1);
  EXPECT_EQ(ReadSettingInt(section_, "short number", -1), -1);
  EXPECT_EQ(ReadSettingInt(section_, "big endian", -1), -1);
  EXPECT_EQ(ReadSettingInt("Section that is not there", "number", -1), -1);
}

TEST_F(SettingsTest, ReadsTextWrittenByOthers) {
  SetRaw("expand", reg::type::kExpandString, "%TEMP%\\x\0"s);
  SetRaw("bare", reg::type::kString, "abc"s);
  EXPECT_EQ(ReadSettingString(section_, "expand"), "%TEMP%\\x");
  EXPECT_EQ(ReadSettingString(section_, "bare"), "abc");
}

}  // namespace
}  // namespace tsl
