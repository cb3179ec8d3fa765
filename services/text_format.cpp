#include "services/text_format.h"

namespace tsl {

std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(format.size() + 64);
  const std::string_view* next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%' || i + 1 >= format.size()) {
      out += c;
      continue;
    }
    std::string_view rest = format.substr(i + 1);
    std::size_t length = 0;
    for (std::string_view spec : {"s", "d", "ld", "lu", "u", "I64d"}) {
      if (rest.substr(0, spec.size()) == spec) {
        length = spec.size();
        break;
      }
    }
    if (rest[0] == '%') {
      out += '%';
      ++i;
    } else if (length > 0) {
      if (next != args.end()) out += *next++;
      i += length;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace tsl
