#include "platform/locale.h"

#include <gtest/gtest.h>

namespace tsl {
namespace {

CalendarTime At(int year, int month, int day, int day_of_week, int hour = 0, int minute = 0,
                int second = 0) {
  CalendarTime time;
  time.year = year;
  time.month = month;
  time.day = day;
  time.day_of_week = day_of_week;
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  return time;
}

TEST(LocaleTest, NumericElementsAndLiteralText) {
  const CalendarTime monday = At(2005, 3, 7, 1, 9, 5, 4);
  const CalendarTime late = At(2023, 11, 28, 2, 23, 59, 30);
  struct Case {
    const char* picture;
    const char* early;  // formatted for monday
    const char* later;  // formatted for late
  } cases[] = {
      {"d/M/yyyy", "7/3/2005", "28/11/2023"},
      {"dd.MM.yy", "07.03.05", "28.11.23"},
      {"y", "5", "23"},  // no century and no leading zero
      {"yy", "05", "23"},
      {"yyy", "2005", "2023"},
      {"yyyyy", "2005", "2023"},
      {"yyyy-MM-dd", "2005-03-07", "2023-11-28"},
      {"h:mm:ss", "9:05:04", "11:59:30"},
      {"hh hhh", "09 09", "11 11"},
      {"H:m:s", "9:5:4", "23:59:30"},
      {"HH:mm:ss", "09:05:04", "23:59:30"},
      {"mmm sss", "05 04", "59 30"},
      {"'d' d", "d 7", "d 28"},
      {"'it''s' H", "it's 9", "it's 23"},
      {"''", "", ""},
      {"a''b", "ab", "ab"},
      {"''''", "'", "'"},
      {"x'y", "xy", "xy"},
      {"'open d", "open d", "open d"},
      {"g-z:/ \t[]", "g-z:/ \t[]", "g-z:/ \t[]"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatWithPicture(c.picture, monday), c.early) << c.picture;
    EXPECT_EQ(FormatWithPicture(c.picture, late), c.later) << c.picture;
  }
}

TEST(LocaleTest, TwelveHourClockAndMarkers) {
  struct Case {
    int hour;
    const char* h;
    const char* hh;
    bool pm;
  } cases[] = {
      {0, "12", "12", false}, {1, "1", "01", false}, {11, "11", "11", false},
      {12, "12", "12", true}, {13, "1", "01", true}, {23, "11", "11", true},
  };
  for (const Case& c : cases) {
    CalendarTime time = At(2001, 1, 1, 1, c.hour, 0, 0);
    std::string marker = TimeMarker(c.pm);
    EXPECT_EQ(FormatWithPicture("h", time), c.h) << c.hour;
    EXPECT_EQ(FormatWithPicture("hh", time), c.hh) << c.hour;
    EXPECT_EQ(FormatWithPicture("tt", time), marker) << c.hour;
    EXPECT_EQ(FormatWithPicture("ttt", time), marker) << c.hour;
    EXPECT_EQ(FormatWithPicture("t", time), marker.substr(0, 1)) << c.hour;
    EXPECT_EQ(FormatWithPicture("h:mm tt", time), std::string(c.h) + ":00 " + marker);
  }
  EXPECT_NE(TimeMarker(false), TimeMarker(true));
}

TEST(LocaleTest, NameElements) {
  for (int day = 0; day < 7; ++day) {
    CalendarTime time = At(2024, 1 + day, 10, day);
    EXPECT_EQ(FormatWithPicture("ddd", time), DayName(day, true));
    EXPECT_EQ(FormatWithPicture("dddd", time), DayName(day, false));
    EXPECT_EQ(FormatWithPicture("dddddd", time), DayName(day, false));
    EXPECT_EQ(FormatWithPicture("MMM", time), MonthName(1 + day, true));
    EXPECT_EQ(FormatWithPicture("MMMMM", time), MonthName(1 + day, false));
    EXPECT_EQ(FormatWithPicture("dddd, MMMM dd, yyyy", time),
              DayName(day, false) + ", " + MonthName(1 + day, false) + " 10, 2024");
    EXPECT_FALSE(DayName(day, false).empty());
    EXPECT_NE(DayName(day, false), DayName((day + 1) % 7, false));
  }
  for (int month = 1; month <= 12; ++month) {
    EXPECT_FALSE(MonthName(month, false).empty()) << month;
    EXPECT_NE(MonthName(month, false), MonthName(month % 12 + 1, false)) << month;
  }
  EXPECT_EQ(MonthName(0, false), "");
  EXPECT_EQ(MonthName(13, true), "");
  EXPECT_EQ(DayName(7, false), "");
  EXPECT_EQ(DayName(-1, true), "");
}

}  // namespace
}  // namespace tsl
