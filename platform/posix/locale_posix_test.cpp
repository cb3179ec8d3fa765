// Linux takes the pictures from the registry store and has English names.
#include <gtest/gtest.h>

#include <optional>

#include "platform/environment.h"
#include "platform/locale.h"
#include "platform/registry.h"
#include "tests/support/registry_support.h"

namespace tsl {
namespace {

using namespace std::string_literals;

class LocalePosixTest : public ::testing::Test {
 protected:
  void SetInternational(const std::string& name, std::uint32_t type, const std::string& data) {
    reg::Key key;
    ASSERT_EQ(reg::CreateKey(reg::Key(reg::Root::kCurrentUser), "Control Panel\\International", "",
                             reg::access::kAll, &key, nullptr),
              reg::kOk);
    ASSERT_EQ(reg::SetValue(key, name, type, data), reg::kOk);
  }

  testing::ScopedRegistry registry_;
};

TEST_F(LocalePosixTest, EnglishNames) {
  struct Case {
    int number;
    const char* month;
    const char* month_short;
    const char* day;
    const char* day_short;
  } cases[] = {
      {0, "", "", "Sunday", "Sun"},
      {1, "January", "Jan", "Monday", "Mon"},
      {3, "March", "Mar", "Wednesday", "Wed"},
      {6, "June", "Jun", "Saturday", "Sat"},
      {9, "September", "Sep", "", ""},
      {12, "December", "Dec", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MonthName(c.number, false), c.month);
    EXPECT_EQ(MonthName(c.number, true), c.month_short);
    EXPECT_EQ(DayName(c.number, false), c.day);
    EXPECT_EQ(DayName(c.number, true), c.day_short);
  }
  EXPECT_EQ(TimeMarker(false), "AM");
  EXPECT_EQ(TimeMarker(true), "PM");
}

TEST_F(LocalePosixTest, DefaultPictures) {
  CalendarTime time;
  time.year = 2009;
  time.month = 2;
  time.day = 3;
  time.hour = 15;
  time.minute = 4;
  time.second = 5;
  EXPECT_EQ(ShortDatePicture(), "M/d/yyyy");
  EXPECT_EQ(TimePicture(), "h:mm:ss tt");
  EXPECT_EQ(FormatShortDate(time), "2/3/2009");
  EXPECT_EQ(FormatTime(time), "3:04:05 PM");
}

TEST_F(LocalePosixTest, PicturesFromTheUsersSettings) {
  CalendarTime time;
  time.year = 2009;
  time.month = 2;
  time.day = 3;
  time.hour = 15;
  time.minute = 4;
  time.second = 5;
  SetInternational("sShortDate", reg::type::kString, "dd.MM.yyyy\0"s);
  SetInternational("sTimeFormat", reg::type::kExpandString, "HH:mm"s);
  EXPECT_EQ(FormatShortDate(time), "03.02.2009");
  EXPECT_EQ(FormatTime(time), "15:04");
  // Unusable values leave the defaults in force.
  SetInternational("sShortDate", reg::type::kString, "\0"s);
  SetInternational("sTimeFormat", reg::type::kBinary, "HH"s);
  EXPECT_EQ(ShortDatePicture(), "M/d/yyyy");
  EXPECT_EQ(TimePicture(), "h:mm:ss tt");
}

}  // namespace
}  // namespace tsl
