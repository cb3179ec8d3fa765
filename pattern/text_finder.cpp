#include "pattern/text_finder.h"

#include "pattern/skip_search.h"

namespace tsl {

using pattern_internal::FoldTable;
using pattern_internal::LiteralSearch;

TextFinder::TextFinder(std::string_view text, bool case_sensitive) {
  const FoldTable& fold =
      case_sensitive ? pattern_internal::IdentityTable() : pattern_internal::UpperTable();
  std::string literal(text);
  for (char& c : literal) c = static_cast<char>(fold[static_cast<unsigned char>(c)]);
  search_ = std::make_unique<LiteralSearch>(std::move(literal), fold);
}

TextFinder::TextFinder(TextFinder&&) noexcept = default;
TextFinder& TextFinder::operator=(TextFinder&&) noexcept = default;
TextFinder::~TextFinder() = default;

std::int64_t TextFinder::Find(const char* data, std::int64_t length, std::int64_t from,
                              std::int64_t last_start) const {
  if (from > last_start) return -1;
  return search_->Find(reinterpret_cast<const unsigned char*>(data), length, from, last_start);
}

}  // namespace tsl
