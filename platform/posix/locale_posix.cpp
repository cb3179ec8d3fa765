// The user's date and time conventions on Linux: the pictures come from the registry store, where
// Windows keeps the user's choices, and the names are English.
#include <string>

#include "platform/locale.h"
#include "platform/registry.h"

namespace tsl {

namespace {

constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

// A text of the user's international settings; `fallback` when it is missing or empty.
std::string InternationalText(const char* name, const char* fallback) {
  reg::Key key;
  if (reg::OpenKey(reg::Key(reg::Root::kCurrentUser), "Control Panel\\International",
                   reg::access::kQueryValue, &key) != reg::kOk) {
    return fallback;
  }
  std::uint32_t type = 0;
  std::string data;
  if (reg::QueryValue(key, name, &type, &data) != reg::kOk) return fallback;
  if (type != reg::type::kString && type != reg::type::kExpandString) return fallback;
  data.resize(data.find('\0') == std::string::npos ? data.size() : data.find('\0'));
  return data.empty() ? fallback : data;
}

}  // namespace

std::string ShortDatePicture() { return InternationalText("sShortDate", "M/d/yyyy"); }

std::string TimePicture() { return InternationalText("sTimeFormat", "h:mm:ss tt"); }

std::string MonthName(int month, bool abbreviated) {
  if (month < 1 || month > 12) return "";
  std::string name = kMonths[month - 1];
  return abbreviated ? name.substr(0, 3) : name;
}

std::string DayName(int day_of_week, bool abbreviated) {
  if (day_of_week < 0 || day_of_week > 6) return "";
  std::string name = kDays[day_of_week];
  return abbreviated ? name.substr(0, 3) : name;
}

std::string TimeMarker(bool pm) { return pm ? "PM" : "AM"; }

std::string FormatShortDate(const CalendarTime& time) {
  return FormatWithPicture(ShortDatePicture(), time);
}

std::string FormatTime(const CalendarTime& time) { return FormatWithPicture(TimePicture(), time); }

}  // namespace tsl
