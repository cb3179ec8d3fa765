#include "filereplace/file_transforms.h"

#include <algorithm>
#include <cstring>

namespace tsl {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
/// Output is passed on once this much has gathered.
constexpr std::size_t kOutputPiece = 64 * 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

Reformatter::Reformatter(int width, ByteSink sink)
    : width_(static_cast<std::size_t>(std::max(width, 0))), sink_(std::move(sink)) {}

bool Reformatter::Feed(const char* data, std::size_t size) {
  std::size_t i = 0;
  while (i < size && !failed_) {
    const char c = data[i];
    if (after_cr_) {
      after_cr_ = false;
      if (c == '\n') {
        ++i;
        continue;
      }
    }
    if (c == '\r' || c == '\n') {
      EndLine();
      after_cr_ = c == '\r';
      ++i;
      continue;
    }
    line_has_bytes_ = true;
    if (IsBlank(c)) {
      if (!line_is_blank_) {
        EndWord();
      } else if (!in_paragraph_) {
        lead_ += c;  // the indent, should a word follow on this line
      }
      ++i;
      continue;
    }
    if (line_is_blank_) {
      line_is_blank_ = false;
      if (!in_paragraph_) {
        in_paragraph_ = true;
        indent_.swap(lead_);
        room_ = width_ > indent_.size() ? width_ - indent_.size() : 0;
      }
    }
    // The word's bytes up to the next blank or line end, all at once.
    std::size_t end = i + 1;
    while (end < size && !IsBlank(data[end]) && data[end] != '\r' && data[end] != '\n') ++end;
    if (end < size && word_.empty() && !long_word_ && end - i <= room_) {
      PlaceWord(std::string_view(data + i, end - i));  // whole in this piece: no copy to hold it
    } else if (long_word_) {
      out_.append(data + i, end - i);
      line_length_ += end - i;
      PassOnFull();
    } else if (word_.size() + (end - i) > room_) {
      StartLongWord(std::string_view(data + i, end - i));
    } else {
      word_.append(data + i, end - i);
    }
    i = end;
  }
  return !failed_;
}

bool Reformatter::Finish() {
  if (line_has_bytes_) EndLine();
  EndParagraph();
  PassOn();
  return !failed_;
}

// A line that held nothing but spaces and tabs is an empty line; any other ends its last word.
void Reformatter::EndLine() {
  if (line_is_blank_) {
    EndParagraph();
    out_ += kLineEnd;
  } else {
    EndWord();
  }
  lead_.clear();
  line_has_bytes_ = false;
  line_is_blank_ = true;
  PassOnFull();
}

// Places the finished word.
void Reformatter::EndWord() {
  if (long_word_) {
    // The line now holds more than the width, so the next word starts a new one.
    long_word_ = false;
    return;
  }
  if (word_.empty()) return;
  PlaceWord(word_);
  word_.clear();
}

// A whole word: on the current output line when it fits there, else on a new one.
void Reformatter::PlaceWord(std::string_view word) {
  if (line_length_ != 0 && line_length_ + 1 + word.size() <= width_) {
    out_ += ' ';
    line_length_ += 1 + word.size();
  } else {
    if (line_length_ != 0) out_ += kLineEnd;
    out_ += indent_;
    line_length_ = indent_.size() + word.size();
  }
  out_ += word;
  PassOnFull();
}

void Reformatter::EndParagraph() {
  EndWord();
  if (line_length_ != 0) out_ += kLineEnd;
  line_length_ = 0;
  in_paragraph_ = false;
  indent_.clear();
}

// The word, with `more` of it, has outgrown a line of its own: it goes on a new line now, the
// rest of it as it comes, so that a long word is never held whole.
void Reformatter::StartLongWord(std::string_view more) {
  if (line_length_ != 0) out_ += kLineEnd;
  out_ += indent_;
  out_ += word_;
  out_ += more;
  line_length_ = indent_.size() + word_.size() + more.size();
  word_.clear();
  long_word_ = true;
  PassOnFull();
}

void Reformatter::PassOnFull() {
  if (out_.size() >= kOutputPiece) PassOn();
}

void Reformatter::PassOn() {
  if (out_.empty() || failed_) return;
  if (!sink_(out_.data(), out_.size())) failed_ = true;
  out_.clear();
}

CharacterMap::CharacterMap(const std::vector<std::pair<unsigned char, std::string>>& pairs) {
  for (int b = 0; b < 256; ++b) table_[b] = static_cast<unsigned char>(b);
  for (const auto& [byte, text] : pairs) {
    texts_[byte] = text;
    mapped_[byte] = 1;
  }
  for (int b = 0; b < 256; ++b) {
    if (!mapped_[b]) continue;
    growth_[b] = static_cast<std::int64_t>(texts_[b].size()) - 1;
    if (texts_[b].size() == 1) {
      table_[b] = static_cast<unsigned char>(texts_[b][0]);
    } else {
      single_bytes_ = false;
    }
  }
}

std::int64_t CharacterMap::Convert(const char* data, std::size_t size, std::string* out) const {
  std::int64_t growth = 0;
  return Convert(data, size, out, &growth);
}

std::int64_t CharacterMap::Convert(const char* data, std::size_t size, std::string* out,
                                   std::int64_t* growth) const {
  const auto* in = reinterpret_cast<const unsigned char*>(data);
  std::int64_t mapped = 0;
  const std::size_t start = out->size();
  if (single_bytes_) {
    out->resize(start + size);
    auto* to = reinterpret_cast<unsigned char*>(out->data() + start);
    for (std::size_t i = 0; i < size; ++i) {
      to[i] = table_[in[i]];
      mapped += mapped_[in[i]];
    }
    *growth = 0;
    return mapped;
  }
  // Texts of other lengths: the output's size first, then each byte or text written in place.
  std::int64_t change = 0;
  for (std::size_t i = 0; i < size; ++i) {
    mapped += mapped_[in[i]];
    change += growth_[in[i]];
  }
  const auto new_size = static_cast<std::size_t>(static_cast<std::int64_t>(size) + change);
  out->resize(start + new_size);
  char* to = out->data() + start;
  for (std::size_t i = 0; i < size; ++i) {
    if (!mapped_[in[i]]) {
      *to++ = data[i];
    } else {
      const std::string& text = texts_[in[i]];
      std::memcpy(to, text.data(), text.size());
      to += text.size();
    }
  }
  *growth = change;
  return mapped;
}

std::vector<std::pair<unsigned char, std::string>> CharacterMapPairs(
    const std::vector<SearchEntry>& entries,
    const std::function<std::string(std::string_view)>& decode_escapes) {
  // The loader keeps the binary texts as the script wrote them (escapes and all), and entry
  // preparation decodes its own copies in search_text and replace_text without touching them,
  // so the escapes of the binary fields are decoded here, once.
  std::vector<std::pair<unsigned char, std::string>> pairs;
  for (const SearchEntry& entry : entries) {
    // A binary block with no text leaves only the marker in search_text: it gives no pair.
    std::string search;
    if (!entry.binary_search_text.empty() || entry.search_text == kBinaryModeText) {
      search = decode_escapes(entry.binary_search_text);
    } else if (entry.regular_expression) {
      search = decode_escapes(entry.search_text);
    } else {
      search = entry.search_text;
    }
    if (search.empty()) continue;
    std::string text;
    if (entry.replace_text == kBinaryModeText) {
      text = decode_escapes(entry.binary_replace_text);
    } else if (entry.regular_expression) {
      text = decode_escapes(entry.replace_text);
    } else {
      text = entry.replace_text;
    }
    pairs.emplace_back(static_cast<unsigned char>(search[0]), std::move(text));
  }
  return pairs;
}

}  // namespace tsl
