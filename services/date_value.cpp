// Reading a date by the user's short date picture, and the checks of its parts.
#include "services/date_value.h"

#include "platform/code_page.h"
#include "resources/string_table.h"
#include "services/job_services.h"

namespace tsl {
namespace {

struct DateParts {
  std::optional<int> day, month, year;
};

class DateScanner {
 public:
  DateScanner(std::string_view text, const DateConventions& conventions)
      : text_(text), conventions_(conventions) {}

  bool ReadNumber(std::optional<int>* out) {
    std::size_t start = at_;
    long value = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      if (value < 1000000) value = value * 10 + (text_[at_] - '0');
      ++at_;
    }
    if (at_ == start) return false;
    *out = static_cast<int>(value);
    return true;
  }

  // Matches the longest of the names given; the index found (0-based), or -1.
  template <std::size_t N>
  int ReadName(const std::array<std::string, N>& full, const std::array<std::string, N>& short_) {
    int found = -1;
    std::size_t best = 0;
    for (const auto* names : {&full, &short_}) {
      for (std::size_t k = 0; k < N; ++k) {
        const std::string& name = (*names)[k];
        if (!name.empty() && name.size() > best && Remaining().size() >= name.size() &&
            cp::EqualsIgnoreCase(Remaining().substr(0, name.size()), name)) {
          found = static_cast<int>(k);
          best = name.size();
        }
      }
    }
    at_ += best;
    return found;
  }

  bool Literal(char c) {
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  std::string_view Remaining() const { return text_.substr(at_); }
  const DateConventions& conventions() const { return conventions_; }

 private:
  std::string_view text_;
  const DateConventions& conventions_;
  std::size_t at_ = 0;
};

// Handles one run of the same picture letter; false when the text does not fit it.
bool ReadField(char letter, std::size_t run, DateScanner& scanner, DateParts* parts) {
  const DateConventions& c = scanner.conventions();
  if (letter == 'd') {
    if (run <= 2) return scanner.ReadNumber(&parts->day);
    return scanner.ReadName(c.days, c.day_abbreviations) >= 0;
  }
  if (letter == 'M') {
    if (run <= 2) return scanner.ReadNumber(&parts->month);
    int month = scanner.ReadName(c.months, c.month_abbreviations);
    if (month < 0) return false;
    parts->month = month + 1;
    return true;
  }
  return scanner.ReadNumber(&parts->year);  // 'y'
}

DateParts WalkPicture(std::string_view text, const DateConventions& conventions) {
  DateParts parts;
  DateScanner scanner(text, conventions);
  const std::string& picture = conventions.picture;
  std::size_t i = 0;
  while (i < picture.size()) {
    char c = picture[i];
    if (c == '\'') {
      for (++i; i < picture.size(); ++i) {
        if (picture[i] == '\'') {
          if (i + 1 < picture.size() && picture[i + 1] == '\'') {
            ++i;  // '' stands for one quote
          } else {
            break;
          }
        }
        if (!scanner.Literal(picture[i])) return parts;
      }
      ++i;
      continue;
    }
    if (c == 'd' || c == 'M' || c == 'y') {
      std::size_t run = 1;
      while (i + run < picture.size() && picture[i + run] == c) ++run;
      if (!ReadField(c, run, scanner, &parts)) return parts;
      i += run;
      continue;
    }
    if (!scanner.Literal(c)) return parts;
    ++i;
  }
  return parts;
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

ParsedDate Rejected(int id) { return ParsedDate{std::nullopt, id}; }

}  // namespace

ParsedDate ParseDateText(std::string_view text, const DateConventions& conventions) {
  DateParts parts = WalkPicture(text, conventions);
  if (!parts.day || !parts.month || !parts.year) return Rejected(text_id::kInvalidDate);
  int day = *parts.day, month = *parts.month, year = *parts.year;
  if (month < 1 || month > 12) return Rejected(text_id::kInvalidMonth);
  if (day < 1 || day > 31) return Rejected(text_id::kInvalidDay);
  if (day == 31 && (month == 2 || month == 4 || month == 6 || month == 9 || month == 11)) {
    return Rejected(text_id::kInvalidDay);
  }
  if (year < 100) {
    int current = conventions.current_year;
    year += current / 100 * 100;
    if (year < current - 51) year += 100;
    if (year > current + 51) year -= 100;
  }
  if (year < 1601 || year > 30848) return Rejected(text_id::kInvalidYear);
  if (month == 2 && (day == 30 || (day == 29 && !IsLeapYear(year)))) {
    return Rejected(text_id::kInvalidDay);
  }
  CalendarTime date;
  date.year = year;
  date.month = month;
  date.day = day;
  return ParsedDate{date, 0};
}

std::optional<FileTime> ReadScriptDate(JobServices& services, const std::string& text,
                                       bool end_of_day) {
  DateConventions conventions;
  conventions.picture = services.ShortDatePicture();
  for (int m = 1; m <= 12; ++m) {
    conventions.months[m - 1] = services.MonthName(m, false);
    conventions.month_abbreviations[m - 1] = services.MonthName(m, true);
  }
  for (int d = 0; d < 7; ++d) {
    conventions.days[d] = services.DayName(d, false);
    conventions.day_abbreviations[d] = services.DayName(d, true);
  }
  conventions.current_year = services.LocalNow().year;
  ParsedDate parsed = ParseDateText(text, conventions);
  if (!parsed.date) {
    services.ShowMessage(TableText(parsed.error_text_id));
    return std::nullopt;
  }
  CalendarTime date = *parsed.date;
  if (end_of_day) {
    date.hour = 23;
    date.minute = 59;
    date.second = 59;
  }
  // The date reader takes years up to 30848, the file time scale ends in 30827: a year between
  // them would drop the filter without a word.
  std::optional<FileTime> local = FromCalendar(date);
  if (!local) {
    services.ShowMessage(TableText(text_id::kInvalidYear));
    return std::nullopt;
  }
  return LocalToUtc(*local);
}

}  // namespace tsl
