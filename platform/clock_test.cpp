#include "platform/clock.h"

#include <gtest/gtest.h>

namespace tsl {
namespace {

TEST(ClockTest, CalendarArithmetic) {
  struct Case {
    int year, month, day, hour, minute, second, day_of_week;
    FileTime expected;
  } cases[] = {
      {1601, 1, 1, 0, 0, 0, 1, 0},
      {1970, 1, 1, 0, 0, 0, 4, 116444736000000000LL},
      {2000, 2, 29, 12, 30, 15, 2, 125963010150000000LL},
      {2002, 5, 17, 14, 3, 59, 5, 126661178390000000LL},
      {2026, 12, 8, 23, 59, 59, 2, 134412479990000000LL},
  };
  for (const Case& c : cases) {
    CalendarTime t;
    t.year = c.year;
    t.month = c.month;
    t.day = c.day;
    t.hour = c.hour;
    t.minute = c.minute;
    t.second = c.second;
    std::optional<FileTime> time = FromCalendar(t);
    ASSERT_TRUE(time) << c.year;
    EXPECT_EQ(*time, c.expected) << c.year << "-" << c.month << "-" << c.day;
    std::optional<CalendarTime> back = ToCalendar(*time + 234 * 10000);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->year, c.year);
    EXPECT_EQ(back->month, c.month);
    EXPECT_EQ(back->day, c.day);
    EXPECT_EQ(back->hour, c.hour);
    EXPECT_EQ(back->minute, c.minute);
    EXPECT_EQ(back->second, c.second);
    EXPECT_EQ(back->milliseconds, 234);  // 1234 ms: one second on, 234 ms into it
    EXPECT_EQ(back->day_of_week, c.day_of_week);
  }
}

TEST(ClockTest, InvalidDatesAreRefused) {
  CalendarTime t;
  t.year = 2001;
  t.month = 2;
  t.day = 29;
  EXPECT_FALSE(FromCalendar(t));
  t.year = 2000;
  EXPECT_TRUE(FromCalendar(t));
  t.year = 1900;
  EXPECT_FALSE(FromCalendar(t));  // before 1601 is out of range anyway
  t.year = 2100;
  EXPECT_FALSE(FromCalendar(t));  // not a leap year
  t.year = 2024;
  t.month = 13;
  EXPECT_FALSE(FromCalendar(t));
  EXPECT_FALSE(ToCalendar(-1));
}

TEST(ClockTest, LocalTimeGoesThereAndBack) {
  FileTime now = CurrentFileTime();
  EXPECT_GT(now, 134000000000000000LL);  // after 2025
  for (FileTime t : {now, FileTime{126661178390000000LL}, FileTime{133600000000000000LL}}) {
    EXPECT_EQ(LocalToUtc(UtcToLocal(t)), t);
  }
}

}  // namespace
}  // namespace tsl
