// Formatting with Windows date and time pictures, written once for both platforms: Linux formats
// every date and time with it, and on Windows it is checked against the system's own functions.
#include "platform/locale.h"

#include <cstdio>

namespace tsl {

namespace {

std::string Number(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

// Copies quoted text that starts at `i` (just after the opening quote) and gives the position
// after the closing quote. A doubled quote stands for one; an unclosed text runs to the end.
std::size_t CopyQuoted(const std::string& picture, std::size_t i, std::string* out) {
  while (i < picture.size()) {
    if (picture[i] != '\'') {
      out->push_back(picture[i++]);
    } else if (i + 1 < picture.size() && picture[i + 1] == '\'') {
      out->push_back('\'');
      i += 2;
    } else {
      return i + 1;
    }
  }
  return i;
}

int TwelveHour(int hour) { return hour % 12 == 0 ? 12 : hour % 12; }

// Appends the element made of `count` times `letter`; false when the letter is no element.
// Longer runs than an element has mean its longest form (ddddd is dddd, hhh is hh).
bool AppendElement(char letter, std::size_t count, const CalendarTime& time, std::string* out) {
  int width = count >= 2 ? 2 : 1;
  switch (letter) {
    case 'd':
      *out += count <= 2 ? Number(time.day, width) : DayName(time.day_of_week, count == 3);
      return true;
    case 'M':
      *out += count <= 2 ? Number(time.month, width) : MonthName(time.month, count == 3);
      return true;
    case 'y':
      // y is the year without century and without a leading zero; yyy and longer the full year.
      *out += count <= 2 ? Number(time.year % 100, width) : Number(time.year, 4);
      return true;
    case 'h':
      *out += Number(TwelveHour(time.hour), width);
      return true;
    case 'H':
      *out += Number(time.hour, width);
      return true;
    case 'm':
      *out += Number(time.minute, width);
      return true;
    case 's':
      *out += Number(time.second, width);
      return true;
    case 't': {
      std::string marker = TimeMarker(time.hour >= 12);
      *out += count == 1 ? marker.substr(0, 1) : marker;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

std::string FormatWithPicture(const std::string& picture, const CalendarTime& time) {
  std::string out;
  std::size_t i = 0;
  while (i < picture.size()) {
    char letter = picture[i];
    if (letter == '\'') {
      i = CopyQuoted(picture, i + 1, &out);
      continue;
    }
    std::size_t count = 1;
    while (i + count < picture.size() && picture[i + count] == letter) ++count;
    if (!AppendElement(letter, count, time, &out)) out.append(count, letter);
    i += count;
  }
  return out;
}

}  // namespace tsl
