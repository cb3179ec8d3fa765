// A plain text searched for as it is written: exactly, or with letter case ignored as the code
// page upper-cases. The file replace job's plain scan finds its candidates with it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tsl {

namespace pattern_internal {
class LiteralSearch;
}

class TextFinder {
 public:
  /// `text` must not be empty.
  TextFinder(std::string_view text, bool case_sensitive);
  TextFinder(TextFinder&&) noexcept;
  TextFinder& operator=(TextFinder&&) noexcept;
  ~TextFinder();

  /// The first start p in [from, last_start] at which the text lies in `data[0, length)`;
  /// -1 when there is none.
  std::int64_t Find(const char* data, std::int64_t length, std::int64_t from,
                    std::int64_t last_start) const;

 private:
  std::unique_ptr<pattern_internal::LiteralSearch> search_;
};

}  // namespace tsl
