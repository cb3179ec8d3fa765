#include "services/date_value.h"

#include <gtest/gtest.h>

#include "resources/string_table.h"

namespace tsl {
namespace {

DateConventions Conventions(const std::string& picture, int current_year = 2002) {
  DateConventions c;
  c.picture = picture;
  c.months = {"January", "February", "March",     "April",   "May",      "June",
              "July",    "August",   "September", "October", "November", "December"};
  for (int m = 0; m < 12; ++m) c.month_abbreviations[m] = c.months[m].substr(0, 3);
  c.days = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  for (int d = 0; d < 7; ++d) c.day_abbreviations[d] = c.days[d].substr(0, 3);
  c.current_year = current_year;
  return c;
}

struct DateCase {
  const char* picture;
  const char* text;
  int current_year;
  int year, month, day;  // expected date, when error is 0
  int error;
};

TEST(DateValueTest, ReadsDatesByThePictureAndChecksTheirParts) {
  const DateCase cases[] = {
      {"M/d/yyyy", "3/7/2001", 2002, 2001, 3, 7, 0},
      {"M/d/yyyy", "12/31/1999", 2002, 1999, 12, 31, 0},
      {"dd.MM.yyyy", "07.03.2001", 2002, 2001, 3, 7, 0},
      {"yyyy-MM-dd", "2001-03-07", 2002, 2001, 3, 7, 0},
      {"d MMMM yyyy", "7 march 2001", 2002, 2001, 3, 7, 0},
      {"d MMM yyyy", "7 Mar 2001", 2002, 2001, 3, 7, 0},
      {"dddd, MMMM dd, yyyy", "Wednesday, March 07, 2001", 2002, 2001, 3, 7, 0},
      {"d 'de' MMMM yyyy", "7 de March 2001", 2002, 2001, 3, 7, 0},
      // Two-digit years lie within 51 years of the current year.
      {"M/d/yy", "1/1/30", 2002, 2030, 1, 1, 0},
      {"M/d/yy", "1/1/60", 2002, 1960, 1, 1, 0},
      {"M/d/yy", "1/1/53", 2002, 2053, 1, 1, 0},
      {"M/d/yy", "1/1/54", 2002, 1954, 1, 1, 0},
      {"M/d/yy", "1/1/99", 2060, 2099, 1, 1, 0},
      {"M/d/yy", "1/1/00", 2060, 2100, 1, 1, 0},
      {"M/d/yy", "1/1/10", 2060, 2010, 1, 1, 0},
      // Leap years.
      {"M/d/yyyy", "2/29/2000", 2002, 2000, 2, 29, 0},
      {"M/d/yyyy", "2/29/2004", 2002, 2004, 2, 29, 0},
      {"M/d/yyyy", "2/29/1900", 2002, 0, 0, 0, text_id::kInvalidDay},
      {"M/d/yyyy", "2/29/2001", 2002, 0, 0, 0, text_id::kInvalidDay},
      {"M/d/yyyy", "2/30/2000", 2002, 0, 0, 0, text_id::kInvalidDay},
      {"M/d/yyyy", "4/31/2001", 2002, 0, 0, 0, text_id::kInvalidDay},
      {"M/d/yyyy", "1/32/2001", 2002, 0, 0, 0, text_id::kInvalidDay},
      {"M/d/yyyy", "1/0/2001", 2002, 0, 0, 0, text_id::kInvalidDay},
      {"M/d/yyyy", "13/1/2001", 2002, 0, 0, 0, text_id::kInvalidMonth},
      {"M/d/yyyy", "0/1/2001", 2002, 0, 0, 0, text_id::kInvalidMonth},
      // The month is checked before the day.
      {"M/d/yyyy", "13/40/2001", 2002, 0, 0, 0, text_id::kInvalidMonth},
      {"M/d/yyyy", "1/1/1600", 2002, 0, 0, 0, text_id::kInvalidYear},
      {"M/d/yyyy", "1/1/30849", 2002, 0, 0, 0, text_id::kInvalidYear},
      {"M/d/yyyy", "1/1/30848", 2002, 30848, 1, 1, 0},
      {"M/d/yyyy", "1/1/1601", 2002, 1601, 1, 1, 0},
      // Not a date: a part missing, a separator that does not match, no digits.
      {"M/d/yyyy", "3/7", 2002, 0, 0, 0, text_id::kInvalidDate},
      {"M/d/yyyy", "3-7-2001", 2002, 0, 0, 0, text_id::kInvalidDate},
      {"M/d/yyyy", "", 2002, 0, 0, 0, text_id::kInvalidDate},
      {"M/d/yyyy", "x/7/2001", 2002, 0, 0, 0, text_id::kInvalidDate},
      {"d MMMM yyyy", "7 Marsch 2001", 2002, 0, 0, 0, text_id::kInvalidDate},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(std::string(c.picture) + " / " + c.text);
    ParsedDate parsed = ParseDateText(c.text, Conventions(c.picture, c.current_year));
    EXPECT_EQ(parsed.error_text_id, c.error);
    ASSERT_EQ(parsed.date.has_value(), c.error == 0);
    if (parsed.date) {
      EXPECT_EQ(parsed.date->year, c.year);
      EXPECT_EQ(parsed.date->month, c.month);
      EXPECT_EQ(parsed.date->day, c.day);
    }
  }
}

}  // namespace
}  // namespace tsl
