// What the file replace script fuzz target does with one input, shared with the test that
// replays the kept inputs. The first byte is a mode byte: value % 4 picks a small window size
// (1, 7 or 100 bytes, or the normal one), bit 0x80 stretches each `~` of the text into 9,000
// bytes so that short inputs make blocks larger than the normal window, and bit 0x40 also loads
// the script from a file. The script is loaded with the normal window and with the chosen one:
// the window must not change what is read, and the file must read as the same bytes in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filereplace/expression.h"
#include "filereplace/file_replace_script.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_system.h"
#include "services/test_job_services.h"

namespace tsl::fuzzing {

class MessageRecorder : public testing::TestServices {
 public:
  Answer ShowMessage(const std::string& text, MessageButtons) override {
    messages.push_back(text);
    return Answer::kOk;
  }
  std::vector<std::string> messages;
};

/// Everything a load gives, as one text, for comparing two loads.
inline std::string LoadedText(const FileReplaceScript& script,
                              const std::vector<std::string>& messages) {
  std::string text = script.path() + "\n" + script.description() + "\n" + script.expression();
  for (const SearchEntry& e : script.entries()) {
    text += "\nentry " + e.search_text + "|" + e.replace_text + "|" + e.binary_search_text + "|" +
            e.binary_replace_text + "|" + e.search_header_rest + "|" + e.replace_header_rest +
            "|" + std::to_string(e.case_sensitive) + std::to_string(e.whole_word) +
            std::to_string(e.regular_expression) + std::to_string(e.append_mode) +
            std::to_string(e.prepend_mode) + std::to_string(e.ignore_whitespace) +
            std::to_string(e.html_text) + " " + std::to_string(e.reformat_width);
  }
  for (const std::string& path : script.paths()) text += "\npath " + path;
  if (const FileReplaceOptions* o = script.options()) {
    text += "\noptions " + o->output_file + "|" + o->backup_path + "|" + o->before_hit + "|" +
            o->after_hit + "|" + o->unzip_dir + "|" + std::to_string(o->prompt) + " " +
            std::to_string(o->script_loop) + " " + std::to_string(o->filter.min_date) + " " +
            std::to_string(o->filter.max_date) + " " + std::to_string(o->filter.max_size);
  }
  for (const std::string& chained : script.chained_scripts()) text += "\nchained " + chained;
  for (const std::string& message : messages) text += "\nmessage " + message;
  return text;
}

inline void CheckLoaded(const FileReplaceScript& script) {
  Check(script.paths().size() % 2 == 0);
  for (const SearchEntry& e : script.entries()) {
    if (!e.binary_search_text.empty()) Check(e.search_text == kBinaryModeText);
    if (e.append_mode || e.prepend_mode) Check(!e.regular_expression);
  }
  for (std::size_t i = 0; i < script.paths().size(); i += 2) {
    const std::string& folder = script.paths()[i];
    Check(folder.empty() || folder.back() == NativeSeparator());
  }
  if (!script.expression().empty()) {
    const ParsedExpression parsed = ParseExpression(script.expression());
    Check(parsed.ok());
    Check(parsed.largest_variable <= static_cast<std::int64_t>(script.entries().size()));
  }
  for (const std::string& chained : script.chained_scripts()) Check(PathExists(chained));
}

inline void RunFileReplaceScriptFuzzInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const std::uint8_t mode = data[0];
  std::string text;
  for (std::size_t i = 1; i < size; ++i) {
    if ((mode & 0x80) != 0 && data[i] == '~') {
      text.append(9000, 'x');
    } else {
      text += static_cast<char>(data[i]);
    }
  }
  static constexpr std::size_t kWindowSizes[] = {1, 7, 100, kScriptWindowSize};
  const std::size_t window = kWindowSizes[mode % 4];

  MessageRecorder normal_services;
  FileReplaceScript normal;
  normal.LoadFromMemory("script", text, normal_services);
  CheckLoaded(normal);
  const std::string expected = LoadedText(normal, normal_services.messages);

  MessageRecorder small_services;
  FileReplaceScript small;
  small.LoadFromMemory("script", text, small_services, window);
  Check(LoadedText(small, small_services.messages) == expected);

  if ((mode & 0x40) != 0 && ScratchFile::Write(text)) {
    MessageRecorder file_services;
    FileReplaceScript from_file;
    Check(from_file.Load(ScratchFile::Path(), file_services));
    std::string loaded = LoadedText(from_file, file_services.messages);
    Check(loaded.compare(0, ScratchFile::Path().size(), ScratchFile::Path()) == 0);
    Check(loaded.substr(ScratchFile::Path().size()) == expected.substr(6));
  }
}

}  // namespace tsl::fuzzing
