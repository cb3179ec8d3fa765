// The two modes that transform a whole file instead of replacing occurrences: reformatting text
// to a width, and converting characters byte by byte. Both work on a stream: the file's bytes
// come in pieces of any size and the new content goes out as it is made, so that memory does not
// grow with the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "filereplace/file_replace_script.h"

namespace tsl {

/// Takes output bytes; false: the write failed.
using ByteSink = std::function<bool(const char* data, std::size_t size)>;

/// Word-wraps text to a width, streaming: feed the file's bytes in pieces of any size.
///
/// The input is read as lines, each ending at LF, CR LF or a lone CR (the last one may lack an
/// end). A paragraph is a run of lines that hold more than spaces and tabs; its words (separated
/// by spaces, tabs and line ends) are written with one space between them, as many to a line as
/// `width` bytes allow. The spaces and tabs that begin a paragraph's first line are its indent:
/// every output line of the paragraph starts with them, and they count toward the width. A line
/// that is empty or holds only spaces and tabs ends any paragraph and is written as an empty
/// line. Every output line ends with CR LF.
///
/// A word longer than the width less the indent is not broken: it gets a line of its own (after
/// the indent), longer than the width. A width below 1 thus puts each word on its own line.
///
/// Memory holds the indent, at most a line's worth of the current word (a longer word is written
/// out as it comes) and the output not yet passed on: that goes to the sink once 64 KiB have
/// gathered (more only when one piece fed holds more of a long word), and when Finish is called.
class Reformatter {
 public:
  Reformatter(int width, ByteSink sink);
  /// False when the sink failed, now or before; nothing more is written after that.
  bool Feed(const char* data, std::size_t size);
  /// Ends the last line and paragraph and passes on what is left. Feed is not called after it.
  bool Finish();

 private:
  void EndLine();
  void EndWord();
  void PlaceWord(std::string_view word);
  void EndParagraph();
  void StartLongWord(std::string_view more);
  void PassOnFull();
  void PassOn();

  std::size_t width_;
  ByteSink sink_;
  std::string out_;              // output not yet passed on
  std::string lead_;             // the spaces and tabs that begin the current line
  std::string indent_;           // the current paragraph's indent
  std::string word_;             // the current word, while it may still fit on a line with others
  std::size_t room_ = 0;         // the width less the indent
  std::size_t line_length_ = 0;  // bytes on the current output line; 0: none begun
  bool in_paragraph_ = false;
  bool line_has_bytes_ = false;  // the input line read so far is not empty
  bool line_is_blank_ = true;    // and holds only spaces and tabs
  bool after_cr_ = false;        // a CR ended the last line: an LF right after it belongs to it
  bool long_word_ = false;       // the current word is being written out as it comes
  bool failed_ = false;
};

/// A character conversion: each mapped byte is written as its text, every other byte unchanged.
class CharacterMap {
 public:
  /// From (byte, text) pairs; a later pair for the same byte replaces an earlier one.
  explicit CharacterMap(const std::vector<std::pair<unsigned char, std::string>>& pairs);
  /// Converts `size` bytes, appending to `out`; returns how many bytes were mapped (counted once
  /// each, even when a byte maps to itself).
  std::int64_t Convert(const char* data, std::size_t size, std::string* out) const;
  /// As above; `*growth` is set to the size change (output length minus input length).
  std::int64_t Convert(const char* data, std::size_t size, std::string* out,
                       std::int64_t* growth) const;
  /// Every text is exactly one byte: a 256-entry table does the work.
  bool single_bytes() const { return single_bytes_; }

 private:
  std::array<std::string, 256> texts_;
  std::array<unsigned char, 256> mapped_{};  // 1 for a mapped byte
  std::array<unsigned char, 256> table_{};   // the single-byte conversion
  std::array<std::int64_t, 256> growth_{};   // each byte's text length less one
  bool single_bytes_ = true;
};

/// The pairs of a character conversion made from search entries: the byte is the first byte of
/// the binary search text when the search block is binary, else of the search text; the text is
/// the binary replace text when the replace block is binary, else the replace text. Binary texts
/// have their escape sequences decoded with `decode_escapes`, and so do the other texts of a
/// regular expression entry. An entry whose search text is empty (after decoding) gives no pair.
/// Meant for the entries as the script loader gives them (PrepareEntry rewrites the other texts);
/// the binary texts stay as the script wrote them either way, so they are decoded once, here.
std::vector<std::pair<unsigned char, std::string>> CharacterMapPairs(
    const std::vector<SearchEntry>& entries,
    const std::function<std::string(std::string_view)>& decode_escapes);

}  // namespace tsl
