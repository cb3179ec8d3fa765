#include "registry/registry_engine.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "pattern/search_pattern.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "registry/key_path.h"
#include "registry/key_tree.h"
#include "registry/reg_file.h"
#include "registry/registry_access.h"
#include "resources/string_table.h"
#include "services/settings.h"
#include "services/text_format.h"

namespace tsl {

namespace {

constexpr const char* kRenameMarker = "RT_Rename_Key";
constexpr std::uint32_t kPumpEvery = 256;

std::string JoinPath(const std::string& parent, const std::string& name) {
  if (parent.empty()) return name;
  if (parent.back() == '\\') return parent + name;
  return parent + "\\" + name;
}

bool IsWordByte(unsigned char c) { return c == '_' || cp::IsAlphaNumeric(c); }

unsigned char AsciiUpper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

std::string LittleEndian(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

std::uint64_t ReadLittleEndian(const std::string& data, std::size_t bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes && i < data.size(); ++i) {
    value |= static_cast<std::uint64_t>(static_cast<unsigned char>(data[i])) << (8 * i);
  }
  return value;
}

/// The number a search or replace text stands for in a number search: its leading decimal
/// number (a sign allowed); an empty or non-numeric text is 0.
std::int64_t DecimalValue(const std::string& text) {
  return static_cast<std::int64_t>(std::strtoll(text.c_str(), nullptr, 10));
}

bool IsNumberType(std::uint32_t type) {
  return type == reg::type::kDword || type == reg::type::kDwordBigEndian ||
         type == reg::type::kQword;
}

bool IsStringType(std::uint32_t type) {
  return type == reg::type::kString || type == reg::type::kExpandString ||
         type == reg::type::kMultiString;
}

bool TypeSelected(const RegistryAction& action, std::uint32_t type) {
  switch (type) {
    case reg::type::kString:
      return action.string_data;
    case reg::type::kExpandString:
      return action.expandable_data;
    case reg::type::kMultiString:
      return action.multi_string_data;
    case reg::type::kNone:
    case reg::type::kBinary:
    case reg::type::kLink:
    case reg::type::kResourceList:
    case reg::type::kFullResourceDescriptor:
      return action.binary_data;
    case reg::type::kDword:
    case reg::type::kDwordBigEndian:
    case reg::type::kQword:
      return action.number_data;
    default:
      return false;
  }
}

/// Value data as the confirmation and merge windows show it.
std::string FormatData(std::uint32_t type, const std::string& data) {
  char buffer[64];
  switch (type) {
    case reg::type::kString:
    case reg::type::kExpandString:
      return data.substr(0, data.find('\0'));
    case reg::type::kMultiString: {
      std::string out = "{ \"";
      std::size_t pos = 0;
      bool first = true;
      while (pos < data.size()) {
        std::size_t end = data.find('\0', pos);
        if (end == std::string::npos) end = data.size();
        if (end == pos) break;
        if (!first) out += "\" \"";
        out.append(data, pos, end - pos);
        first = false;
        pos = end + 1;
      }
      return out + "\" }";
    }
    case reg::type::kDword:
    case reg::type::kDwordBigEndian: {
      auto value = static_cast<std::uint32_t>(ReadLittleEndian(data, 4));
      if (type == reg::type::kDwordBigEndian) {
        value = ((value & 0xFF) << 24) | ((value & 0xFF00) << 8) | ((value >> 8) & 0xFF00) |
                (value >> 24);
      }
      std::snprintf(buffer, sizeof buffer, "0x%08x(%d)", value, static_cast<std::int32_t>(value));
      return buffer;
    }
    case reg::type::kQword: {
      std::uint64_t value = ReadLittleEndian(data, 8);
      std::snprintf(buffer, sizeof buffer, "0x%016" PRIx64 "(%" PRId64 ")", value,
                    static_cast<std::int64_t>(value));
      return buffer;
    }
    default: {
      std::string out;
      for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i == 0 ? "%02x" : " %02x",
                      static_cast<unsigned char>(data[i]));
        out += buffer;
      }
      return out;
    }
  }
}

/// The data `Set Value Data` gives a matching value: the replace text, or for a number type
/// and a text that begins with a digit, the number's bytes.
std::string SetValueBytes(std::uint32_t type, const std::string& text) {
  bool digit = !text.empty() && text[0] >= '0' && text[0] <= '9';
  if (digit && type == reg::type::kDword) {
    return LittleEndian(std::strtoul(text.c_str(), nullptr, 10), 4);
  }
  if (digit && type == reg::type::kQword) {
    return LittleEndian(std::strtoull(text.c_str(), nullptr, 10), 8);
  }
  return text;
}

}  // namespace

/// One key of the walk: the key (open, or the start key the walk was given), its path below
/// the root as opened, its path as the action's file writes it, and the names of its subkeys as
/// they were when the walk reached it.
struct RegistryEngine::Frame {
  reg::Key owned;
  const reg::Key* given = nullptr;
  std::string path;
  std::string file_path;
  std::vector<std::string> children;
  std::size_t next = 0;

  const reg::Key& key() const { return given != nullptr ? *given : owned; }
};

RegistryEngine::RegistryEngine(RegistryAccess& registry, RegistryEngineUi& ui)
    : registry_(registry), ui_(ui) {}

RegistryEngine::~RegistryEngine() = default;

void RegistryEngine::SetActions(std::vector<RegistryAction> actions) {
  actions_ = std::move(actions);
  current_ = 0;
}

void RegistryEngine::SelectAction(std::size_t index) { current_ = index; }

void RegistryEngine::PrepareAction(const std::string& key_text, bool replace) {
  CloseKeys();
  start_ = Start::kRoots;
  root_prefix_.clear();
  subkey_path_.clear();
  skip_message_.clear();
  if (key_text.empty()) return;

  std::string text = key_text;
  if (cp::StartsWithIgnoreCase(text, TableText(text_id::kMyRegistry))) {
    std::size_t slash = text.find('\\');
    if (slash != std::string::npos) text.erase(0, slash + 1);
  }
  if (!text.empty() && text.back() == '\\') text.pop_back();

  start_ = Start::kSkipped;
  skip_message_ = "The registry key " + key_text + " cannot be opened; the action is skipped.";
  ParsedKeyPath parsed = ParseKeyPath(registry_, text);
  if (!parsed.root.valid()) return;
  root_ = std::move(parsed.root);
  subkey_path_ = parsed.subkey;

  // The root prefix is the text up to the separator after the root name.
  std::size_t root_end = std::string::npos;
  if (text.rfind("\\\\", 0) == 0) {
    std::size_t machine_end = text.find('\\', 2);
    if (machine_end != std::string::npos) root_end = text.find('\\', machine_end + 1);
  } else {
    root_end = text.find('\\');
  }
  root_prefix_ = root_end == std::string::npos ? text + "\\" : text.substr(0, root_end + 1);

  if (!subkey_path_.empty()) {
    std::uint32_t access =
        replace ? (reg::access::kRead | reg::access::kWrite) : reg::access::kRead;
    if (registry_.OpenKey(root_, subkey_path_, access, &start_key_) != reg::kOk) {
      CloseKeys();
      return;
    }
  }
  start_ = Start::kKey;
}

void RegistryEngine::CloseKeys() {
  start_key_.Close();
  root_.Close();
}

void RegistryEngine::RunAll() {
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    SelectAction(i);
    RegistryAction& action = actions_[i];
    if (action.search.empty()) action.replace_mode = false;
    PrepareAction(action.key, action.replace_mode);
    RunAction(action.replace_mode ? kRegistryReplaceMode : kRegistryFindMode);
    CloseKeys();
  }
}

std::string RegistryEngine::StatisticsLine() const {
  const RegistryCounters& c = counters_;
  auto n = [](std::uint32_t value) { return std::to_string(value); };
  if (replacing()) {
    return FormatText(
        TableText(text_id::kRegistryReplaceStatistics),
        {n(c.keys_searched), n(c.values_searched), n(c.keys_replaced), n(c.keys_found),
         n(c.values_replaced), n(c.values_found), n(c.data_replaced), n(c.data_found)});
  }
  return FormatText(TableText(text_id::kRegistryFindStatistics),
                    {n(c.keys_searched), n(c.values_searched), n(c.keys_found), n(c.values_found),
                     n(c.data_found)});
}

void RegistryEngine::RunAction(int mode) {
  RegistryAction& action = actions_[current_];
  counters_ = {};
  cancel_ = false;
  replace_rest_ = false;
  window_.reset();
  mode_ = action.prompts == 2 ? kRegistryFindMode : mode;
  if (start_ == Start::kSkipped) {
    ui_.ShowMessage(skip_message_);
    return;
  }

  search_ = action.search;
  replace_ = action.replace;
  number_search_ = !action.regular_expression && action.number_data && !action.search_key_names &&
                   !action.search_value_names && !action.string_data && !action.expandable_data &&
                   !action.multi_string_data && !action.binary_data;
  if (number_search_) {
    std::int64_t search = DecimalValue(search_);
    std::int64_t replace = DecimalValue(replace_);
    search_ = LittleEndian(static_cast<std::uint64_t>(search), 4);
    replace_ = LittleEndian(static_cast<std::uint64_t>(replace), 4);
    number_search_wide_ = LittleEndian(static_cast<std::uint64_t>(search), 8);
    number_replace_wide_ = LittleEndian(static_cast<std::uint64_t>(replace), 8);
  } else {
    ExpandEnvironmentMarkers(&search_);
    ExpandEnvironmentMarkers(&replace_);
  }

  if (!action.no_progress) window_ = ui_.OpenSearchingWindow(&cancel_);

  // The output or undo file.
  std::string output_path;
  writer_ = std::make_unique<RegWriter>();
  bool open = false;
  if (action.output_file.empty()) {
    if (!action.undo_folder.empty()) open = writer_->OpenUndoFile(action.undo_folder, LocalNow());
  } else if (action.output_file != "NUL") {
    open = writer_->Open(action.output_file);
  }
  if (open) {
    output_path = writer_->path();
  } else {
    writer_.reset();
  }

  bool searchable = true;
  pattern_.reset();
  if (action.regular_expression && !search_.empty()) {
    PatternOptions options;
    options.case_sensitive = action.case_sensitive;
    options.operator_order = ConfiguredOperatorOrder();
    pattern_ = std::make_unique<SearchPattern>(search_, std::optional<std::string_view>(replace_),
                                               PatternSyntax::kRegex, options);
    if (!pattern_->ok()) {
      ui_.ShowMessage(FormatText(TableText(text_id::kErrorParsing), {pattern_->error()}));
      pattern_.reset();
      searchable = false;
    }
  }

  if (searchable) {
    if (start_ == Start::kKey) {
      if (writer_ && search_.empty()) {
        writer_->WriteEntry(root_prefix_ + subkey_path_, nullptr, 0, nullptr);
      }
      Walk(subkey_path_.empty() ? root_ : start_key_, subkey_path_);
    } else {
      for (reg::Root root : {reg::Root::kClassesRoot, reg::Root::kCurrentUser,
                             reg::Root::kLocalMachine, reg::Root::kUsers}) {
        if (cancel_) break;
        reg::Key root_key(root);
        root_prefix_ = std::string(reg::RootName(root)) + "\\";
        if (writer_ && search_.empty()) writer_->WriteEntry(root_prefix_, nullptr, 0, nullptr);
        Walk(root_key, "");
      }
    }
  }

  if (!cancel_ && window_) window_->Close();
  window_.reset();
  if (writer_) writer_->Close();
  writer_.reset();
  pattern_.reset();
  cancel_ = false;

  std::uint64_t found =
      std::uint64_t{counters_.keys_found} + counters_.values_found + counters_.data_found;
  if (found > 0 && action.prompts == 2 && !output_path.empty()) {
    RegistryAction copy = action;
    copy.output_file = output_path;
    MergePreview(copy);
  } else if (found == 0 && !output_path.empty()) {
    Files().RemoveFile(output_path);
  }
}

void RegistryEngine::Pump() {
  if (window_) window_->PumpMessages();
}

void RegistryEngine::ShowStatistics() {
  if (window_) window_->SetText(StatisticsLine());
}

// The walk: depth first, each key's values before its subkeys, with an explicit stack so that
// the depth of a tree costs memory, never call stack. Each key's subkeys are listed once when
// the walk reaches the key and taken by name, so that renames (which move names in the
// registry's listing) neither skip a key nor visit one twice.
void RegistryEngine::Walk(const reg::Key& start, const std::string& path) {
  std::vector<Frame> stack;
  Frame first;
  first.given = &start;
  first.path = path;
  first.file_path = path;
  if (!EnterKey(&first)) return;
  stack.push_back(std::move(first));
  while (!stack.empty() && !cancel_) {
    Frame& top = stack.back();
    if (top.next >= top.children.size()) {
      stack.pop_back();
      continue;
    }
    std::string name = top.children[top.next++];
    Frame child;
    if (!PrepareChild(top, name, &child)) continue;
    if (!EnterKey(&child)) continue;
    stack.push_back(std::move(child));
  }
}

bool RegistryEngine::EnterKey(Frame* frame) {
  Pump();
  if (cancel_) return false;
  current_path_ = frame->path;
  ++counters_.keys_searched;
  ShowStatistics();
  recorded_.clear();
  ProcessValues(*frame);
  if (actions_[current_].process_subkeys && !cancel_) {
    std::string name;
    for (std::uint32_t i = 0; registry_.EnumKey(frame->key(), i, &name) == reg::kOk; ++i) {
      frame->children.push_back(name);
    }
  }
  return true;
}

bool RegistryEngine::PrepareChild(Frame& parent, const std::string& name, Frame* child) {
  const RegistryAction& action = actions_[current_];
  std::string open_name = name;
  child->path = JoinPath(parent.path, name);
  child->file_path = JoinPath(parent.file_path, name);
  if (action.search_key_names) {
    current_path_ = parent.path;
    std::string built;
    if (MatchAndBuild(name, ItemKind::kKeyName, 0, "", &built) > 0) {
      ++counters_.keys_found;
      if (replacing()) {
        // Below a renamed key the undo file keeps writing the old path: importing it moves the
        // key back first, and the entries that follow find it there.
        if (built != name) {
          recorded_.clear();
          if (RenameKey(parent.key(), parent.file_path, name, built) == reg::kOk) {
            ++counters_.keys_replaced;
            if (built.empty()) return false;
            open_name = built;
            child->path = JoinPath(parent.path, built);
          }
        } else {
          ++counters_.keys_replaced;
        }
      } else {
        // Below a key renamed in the output file, its entries are written under the new path:
        // the file renames the key first.
        if (writer_) {
          if (search_.empty()) {
            writer_->WriteEntry(root_prefix_ + child->path, nullptr, 0, nullptr);
          } else {
            WriteMarker(root_prefix_ + JoinPath(parent.file_path, name),
                        replace_.empty() ? std::string()
                                         : root_prefix_ + JoinPath(parent.file_path, built));
          }
        }
        child->file_path = JoinPath(parent.file_path, built);
      }
    }
  }
  std::uint32_t access =
      replacing() ? (reg::access::kRead | reg::access::kWrite) : reg::access::kRead;
  if (registry_.OpenKey(parent.key(), open_name, access, &child->owned) != reg::kOk) {
    if (!replacing() ||
        registry_.OpenKey(parent.key(), open_name, reg::access::kRead, &child->owned) != reg::kOk) {
      return false;
    }
  }
  return true;
}

void RegistryEngine::ProcessValues(const Frame& frame) {
  const RegistryAction& action = actions_[current_];
  if (!action.search_value_names && !action.search_data) return;
  const reg::Key& key = frame.key();
  std::string name;
  std::string data;
  std::uint32_t type = 0;
  if (!replacing()) {
    // A find changes nothing, so the listing stays as it is while the values are taken.
    for (std::uint32_t i = 0; !cancel_; ++i) {
      if (registry_.EnumValue(key, i, &name, &type, &data) != reg::kOk) break;
      ProcessValue(key, frame.file_path, name, type, data, nullptr);
      if (++pump_countdown_ % kPumpEvery == 0) Pump();
    }
    return;
  }
  // A replace renames values, which moves names in the listing: the values are listed once
  // and taken from that list. A value another rename wrote over is not taken again: its data
  // now is what that rename already processed.
  struct Listed {
    std::string name;
    std::uint32_t type;
    std::string data;
  };
  std::vector<Listed> listed;
  for (std::uint32_t i = 0; registry_.EnumValue(key, i, &name, &type, &data) == reg::kOk; ++i) {
    listed.push_back({name, type, data});
  }
  std::unordered_set<std::string> overwritten;
  for (const Listed& value : listed) {
    if (cancel_) break;
    if (overwritten.count(cp::ToUpper(value.name)) != 0) continue;
    ProcessValue(key, frame.file_path, value.name, value.type, value.data, &overwritten);
    if (++pump_countdown_ % kPumpEvery == 0) Pump();
  }
}

void RegistryEngine::ProcessValue(const reg::Key& key, const std::string& file_path,
                                  const std::string& name, std::uint32_t type,
                                  const std::string& data,
                                  std::unordered_set<std::string>* overwritten) {
  if (cancel_) return;
  const RegistryAction& action = actions_[current_];
  ++counters_.values_searched;
  const std::string key_path = root_prefix_ + file_path;
  std::string entry_name = name;  // the name the file's entries use
  std::string live_name = name;   // the name the registry knows the value by now

  if (action.search_value_names) {
    std::string built;
    if (MatchAndBuild(name, ItemKind::kValueName, type, name, &built) > 0) {
      ++counters_.values_found;
      if (action.set_value_data != 0) {
        std::string new_data = SetValueBytes(action.set_value_data, replace_);
        if (replacing()) {
          WriteUndoValue(key_path, name, type, &data);
          if (registry_.SetValue(key, name, action.set_value_data, new_data) == reg::kOk) {
            ++counters_.data_replaced;
            ++counters_.data_found;
          }
        } else if (writer_) {
          writer_->WriteEntry(key_path, &name, action.set_value_data, &new_data);
        }
        return;
      }
      if (replacing()) {
        if (built == name) {
          ++counters_.values_replaced;
        } else {
          bool renamed = RenameValue(key, key_path, name, built, type, data);
          if (!built.empty() && !cp::EqualsIgnoreCase(built, name) && overwritten != nullptr) {
            overwritten->insert(cp::ToUpper(built));
          }
          if (renamed) {
            ++counters_.values_replaced;
            if (built.empty()) return;
            live_name = built;
          }
        }
      } else {
        if (writer_) {
          if (!cp::EqualsIgnoreCase(built, name)) writer_->WriteEntry(key_path, &name, 0, nullptr);
          if (!built.empty()) writer_->WriteEntry(key_path, &built, type, &data);
        }
        if (built.empty()) return;
        entry_name = built;
      }
    }
  }

  if (!action.search_data || !TypeSelected(action, type)) return;
  std::size_t width = data.size();
  if (type == reg::type::kDword || type == reg::type::kDwordBigEndian) width = 4;
  if (type == reg::type::kQword) width = 8;
  width = std::min(width, data.size());
  std::string built;
  if (MatchAndBuild(data.substr(0, width), ItemKind::kData, type, entry_name, &built) <= 0) {
    return;
  }
  built.append(data, width, std::string::npos);
  if (!replacing()) {
    if (writer_) {
      // A string keeps one terminating zero (the searched data carries it); a number keeps
      // its size.
      if (IsStringType(type) && (built.empty() || built.back() != '\0')) built.push_back('\0');
      writer_->WriteEntry(key_path, &entry_name, type, &built);
    }
  } else if (built == data) {
    ++counters_.data_replaced;
  } else if (!IsNumberType(type) || built.size() == data.size()) {
    WriteUndoValue(key_path, entry_name, type, &data);
    if (registry_.SetValue(key, live_name, type, built) == reg::kOk) ++counters_.data_replaced;
  }
  ++counters_.data_found;
}

bool RegistryEngine::RenameValue(const reg::Key& key, const std::string& key_path,
                                 const std::string& old_name, const std::string& new_name,
                                 std::uint32_t type, const std::string& data) {
  if (cancel_) return false;
  bool case_only = !new_name.empty() && cp::EqualsIgnoreCase(old_name, new_name);
  if (writer_) {
    if (!new_name.empty() && !case_only) {
      // A value already named so is replaced by the rename: its undo entry gives its data
      // back rather than deleting it.
      std::uint32_t existing_type = 0;
      std::string existing;
      long status = registry_.QueryValue(key, new_name, &existing_type, &existing);
      if (status == reg::kOk) {
        WriteUndoValue(key_path, new_name, existing_type, &existing);
      } else if (status == reg::kNotFound) {
        WriteUndoValue(key_path, new_name, 0, nullptr);
      } else {
        return false;  // what the name holds is unknown: nothing is changed
      }
    }
    WriteUndoValue(key_path, old_name, type, &data);
  }
  if (new_name.empty()) return registry_.DeleteValue(key, old_name) == reg::kOk;
  if (case_only) {
    // The registry compares names ignoring case: the value is deleted and set again to take
    // the new spelling. A failed set puts the old one back.
    if (registry_.DeleteValue(key, old_name) != reg::kOk) return false;
    if (registry_.SetValue(key, new_name, type, data) == reg::kOk) return true;
    registry_.SetValue(key, old_name, type, data);
    return false;
  }
  if (registry_.SetValue(key, new_name, type, data) != reg::kOk) return false;
  return registry_.DeleteValue(key, old_name) == reg::kOk;
}

long RegistryEngine::RenameKey(const reg::Key& parent, const std::string& file_parent,
                               const std::string& old_name, const std::string& new_name) {
  if (cancel_) return reg::kAccessDenied;
  const std::string old_path = root_prefix_ + JoinPath(file_parent, old_name);
  if (new_name.empty()) {
    return DeleteKeyTree(registry_, parent, old_name, root_prefix_ + file_parent, writer_.get());
  }
  if (new_name.find('\\') != std::string::npos) return reg::kInvalidParameter;
  bool case_only = cp::EqualsIgnoreCase(old_name, new_name);
  if (!case_only) {
    // A rename onto another existing key is refused before anything is recorded.
    reg::Key existing;
    long status = registry_.OpenKey(parent, new_name, reg::access::kRead, &existing);
    if (status == reg::kOk) return kTargetExists;
    if (status != reg::kNotFound) return status;
  }
  const std::string new_path = root_prefix_ + JoinPath(file_parent, new_name);
  // The undo entry goes first, so that a process stopped during the move leaves its record.
  WriteMarker(new_path, old_path);
  if (case_only) {
    long status =
        TransferKeyTree(registry_, parent, old_name, parent, new_name, TreeTransfer::kMove);
    if (status != reg::kOk) {
      reg::Key halfway;
      if (registry_.OpenKey(parent, old_name + "__", reg::access::kRead, &halfway) == reg::kOk) {
        WriteMarker(root_prefix_ + JoinPath(file_parent, old_name + "__"), old_path);
      }
    }
    return status;
  }
  // Copy, then delete the source: a failure leaves a state the entries written after it undo.
  long status = TransferKeyTree(registry_, parent, old_name, parent, new_name, TreeTransfer::kCopy);
  if (status != reg::kOk) {
    if (status != kTargetExists) {
      // The source is whole: the part copied goes, and so does the key the first entry would
      // leave behind when imported.
      DeleteKeyTree(registry_, parent, new_name, "", nullptr);
      WriteMarker(new_path, "");
    }
    return status;
  }
  status = DeleteKeyTree(registry_, parent, old_name, "", nullptr);
  if (status != reg::kOk) {
    // The copy is whole and the source partly deleted: the undo deletes what is left of the
    // source and moves the copy back.
    WriteMarker(old_path, "");
    WriteMarker(new_path, old_path);
  }
  return status;
}

void RegistryEngine::WriteMarker(const std::string& key_path, const std::string& target) {
  if (!writer_) return;
  std::string name = kRenameMarker;
  std::string data = target.empty() ? std::string() : target + std::string(1, '\0');
  writer_->ForgetHeader();
  writer_->WriteEntry(key_path, &name, reg::type::kString, &data);
  writer_->ForgetHeader();
}

void RegistryEngine::WriteUndoValue(const std::string& key_path, const std::string& name,
                                    std::uint32_t type, const std::string* data) {
  if (!writer_) return;
  if (!recorded_.insert(cp::ToUpper(name)).second) return;
  writer_->WriteEntry(key_path, &name, type, data);
}

int RegistryEngine::MatchAndBuild(const std::string& input, ItemKind kind, std::uint32_t type,
                                  const std::string& value_name, std::string* built) {
  const RegistryAction& action = actions_[current_];
  if (search_.empty()) {
    *built = input;
    return 1;
  }
  const std::string* search = &search_;
  const std::string* replacement = &replace_;
  if (number_search_ && kind == ItemKind::kData && type == reg::type::kQword) {
    search = &number_search_wide_;
    replacement = &number_replace_wide_;
  }
  built->clear();
  int count = 0;
  std::size_t last = 0;
  const std::size_t length = input.size();

  if (pattern_) {
    std::int64_t last_line_break = -1;
    std::int64_t lines = 0;
    std::size_t pos = 0;
    while (pos < length && !cancel_) {
      std::int64_t end =
          pattern_->Find(input.data() + pos, static_cast<std::int64_t>(length - pos), 0,
                         static_cast<std::int64_t>(pos), 0, &last_line_break, &lines);
      if (end < 0) break;
      std::string matched = pattern_->MatchedText();
      std::size_t stop = pos + static_cast<std::size_t>(end);
      std::size_t start = stop >= matched.size() ? stop - matched.size() : pos;
      if (start < last) start = last;
      built->append(input, last, start - last);
      if (replacing() || !replace_.empty()) {
        built->append(pattern_->BuildReplacement());
      } else {
        built->append(matched);
      }
      last = stop;
      ++count;
      pos = stop > pos ? stop : pos + 1;
    }
  } else {
    // Numbers are compared byte for byte: case and word rules are about text.
    bool case_sensitive = action.case_sensitive || number_search_;
    bool whole_word = action.whole_word && !number_search_;
    const std::size_t n = search->size();
    std::size_t p = 0;
    while (p + n <= length && !cancel_) {
      bool equal = true;
      for (std::size_t m = 0; m < n; ++m) {
        auto a = static_cast<unsigned char>(input[p + m]);
        auto b = static_cast<unsigned char>((*search)[m]);
        if (a != b && (case_sensitive || AsciiUpper(a) != AsciiUpper(b))) {
          equal = false;
          break;
        }
      }
      if (equal && whole_word) {
        if ((p > 0 && IsWordByte(static_cast<unsigned char>(input[p - 1]))) ||
            (p + n < length && IsWordByte(static_cast<unsigned char>(input[p + n])))) {
          equal = false;
        }
      }
      if (!equal) {
        ++p;
        continue;
      }
      built->append(input, last, p - last);
      if (replacing() || !replacement->empty()) {
        built->append(*replacement);
      } else {
        built->append(input, p, n);
      }
      last = p + n;
      p += n;
      ++count;
    }
  }
  if (count == 0) return 0;
  built->append(input, last, std::string::npos);

  if (replacing() && action.prompts == 1 && !replace_rest_) {
    if (!Confirm(kind, type, value_name, input, *built)) return 0;
  }
  return count;
}

bool RegistryEngine::Confirm(ItemKind kind, std::uint32_t type, const std::string& value_name,
                             const std::string& old_text, const std::string& new_text) {
  bool data = kind == ItemKind::kData;
  RegistryItem item = kind == ItemKind::kKeyName     ? RegistryItem::kKeyName
                      : kind == ItemKind::kValueName ? RegistryItem::kValueName
                                                     : RegistryItem::kValueData;
  RegistryReplaceAnswer answer = ui_.AskReplace(
      item, root_prefix_ + current_path_, kind == ItemKind::kKeyName ? std::string() : value_name,
      data ? FormatData(type, old_text) : old_text, data ? FormatData(type, new_text) : new_text);
  switch (answer) {
    case RegistryReplaceAnswer::kReplaceThis:
      return true;
    case RegistryReplaceAnswer::kReplaceRest:
      replace_rest_ = true;
      return true;
    case RegistryReplaceAnswer::kSkipThis:
      return false;
    case RegistryReplaceAnswer::kCancelRest:
      break;
  }
  cancel_ = true;
  if (window_) window_->Close();
  window_.reset();
  return false;
}

void RegistryEngine::MergePreview(const RegistryAction& action) {
  RegFile file;
  std::string error;
  if (file.Load(action.output_file, &error) != RegFileRead::kLoaded) {
    if (!error.empty()) ui_.ShowMessage(error);
    return;
  }
  std::vector<RegFile::Line> lines = file.ValueLines();
  std::vector<MergeRow> rows;
  rows.reserve(lines.size());
  // Lines of one section share their key: it is opened once for all of them.
  std::optional<std::string> open_path;
  reg::Key key;
  for (const RegFile::Line& line : lines) {
    RegValueLine value = ParseRegValue(line.text, file.converted_from_utf16());
    MergeRow row;
    row.key_path = line.key_path;
    row.value_name = value.name;
    bool marker = value.name == kRenameMarker;
    if (value.kind == RegValueLine::Kind::kSet) {
      row.reg_data = FormatData(value.type, value.data);
    } else if (value.kind == RegValueLine::Kind::kReference) {
      row.reg_data = value.reference_key + "\"" + value.reference_value + "\"";
    }
    if (value.kind == RegValueLine::Kind::kDelete ||
        (marker && value.kind == RegValueLine::Kind::kSet && row.reg_data.empty())) {
      row.registry_data = kMergeDeletionText;
      row.deletes = true;
    } else if (!marker) {
      if (line.key_path != open_path) {
        open_path = line.key_path;
        key.Close();
        ParsedKeyPath parsed = ParseKeyPath(registry_, line.key_path);
        if (parsed.root.valid()) {
          OpenKeyPath(registry_, parsed.root, parsed.subkey, reg::access::kRead, &key);
        }
      }
      std::uint32_t type = 0;
      std::string data;
      if (key.valid() && registry_.QueryValue(key, value.name, &type, &data) == reg::kOk) {
        row.registry_data = FormatData(type, data);
      } else {
        row.in_registry = false;
      }
    }
    rows.push_back(std::move(row));
  }
  std::vector<std::size_t> kept;
  if (!ui_.AskMerge(action.output_file, rows, &kept)) return;
  std::vector<bool> keep(rows.size(), false);
  for (std::size_t index : kept) {
    if (index < keep.size()) keep[index] = true;
  }
  for (std::size_t i = rows.size(); i-- > 0;) {
    if (!keep[i]) file.RemoveValueLine(i);
  }
  long applied = file.Import(registry_, action.undo_folder);
  if (applied < 0) {
    ui_.ShowMessage("No undo file could be created in " + action.undo_folder +
                    "; nothing was merged into the registry.");
  } else if (applied > 0) {
    ui_.ShowMessage(FormatText(TableText(text_id::kRegistryChanges), {std::to_string(applied)}));
  }
}

}  // namespace tsl
