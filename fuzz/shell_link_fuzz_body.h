// What the shell link fuzz target does with one input, shared with the test that replays the kept
// inputs. The input is a link file. When it parses, writing it back must give the input byte for
// byte and read again to the same fields; then the path, working folder, arguments and icon are
// set from the link's own texts and the written link must read back with exactly those values and
// with every extra block that does not describe the target still there. The icon counters read the
// same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"
#include "shortcuts/icon_count.h"
#include "shortcuts/shell_link.h"

namespace tsl::fuzzing {

inline void CheckSameLink(const ShellLink& a, const ShellLink& b) {
  Check(a.Serialize() == b.Serialize());
  Check(a.Path() == b.Path() && a.Description() == b.Description());
  Check(a.RelativePath() == b.RelativePath() && a.WorkingFolder() == b.WorkingFolder());
  Check(a.Arguments() == b.Arguments() && a.IconFile() == b.IconFile());
  Check(a.IconIndex() == b.IconIndex() && a.HotKey() == b.HotKey());
  Check(a.ShowCommand() == b.ShowCommand() && a.PointsToNetwork() == b.PointsToNetwork());
  Check(a.id_list() == b.id_list() && a.link_info().has_value() == b.link_info().has_value());
}

/// The text as a field of the link gives it back: through UTF-16 in a Unicode link.
inline std::string AsStored(const ShellLink& link, const std::string& text) {
  return link.unicode() ? cp::FromUtf16(cp::ToUtf16(text)) : text;
}

/// True when a text comes back unchanged from an environment block (at most 259 characters that
/// survive the trip through UTF-16).
inline bool FitsEnvironmentBlock(const std::string& text) {
  return text.size() < 260 && cp::FromUtf16(cp::ToUtf16(text)) == text;
}

inline bool DescribesTarget(std::uint32_t signature) {
  return signature == link_block::kEnvironment || signature == link_block::kTracker ||
         signature == link_block::kSpecialFolder || signature == link_block::kKnownFolder ||
         signature == link_block::kVistaIdList;
}

inline void CheckChangedLink(const ShellLink& link) {
  ShellLink changed = link;
  // Texts the input chose; the path alternates between the kinds SetPath tells apart.
  const std::string folder = link.Arguments();
  const std::string arguments = link.Description();
  const std::string icon = link.WorkingFolder();
  std::string path = link.Path();
  if (link.HotKey() & 1) path = "\\\\" + path;
  if (link.HotKey() & 2) path += "%";
  changed.SetWorkingFolder(folder);
  changed.SetArguments(arguments);
  changed.SetIconLocation(icon, link.IconIndex() ^ 1);
  changed.SetPath(path);
  changed.SetFlag(link_flag::kForceNoLinkInfo,
                  !(link.header().flags & link_flag::kForceNoLinkInfo));

  ShellLink back;
  Check(ShellLink::Parse(changed.Serialize(), &back) == LinkError::kNone);
  CheckSameLink(changed, back);
  Check(back.WorkingFolder() == AsStored(link, folder));
  Check(back.Arguments() == AsStored(link, arguments));
  if (FitsEnvironmentBlock(icon)) Check(back.IconFile() == AsStored(link, icon));
  Check(back.IconIndex() == (link.IconIndex() ^ 1));
  if (path.find('%') == std::string::npos || FitsEnvironmentBlock(path)) Check(back.Path() == path);
  Check(back.id_list().empty() && back.RelativePath().empty());
  Check((back.header().flags & link_flag::kForceNoLinkInfo) !=
        (link.header().flags & link_flag::kForceNoLinkInfo));
  // The blocks that do not describe the target are all still there, in their order (an icon
  // environment block goes with an emptied icon location).
  std::size_t next = 0;
  for (const LinkExtraBlock& block : link.extra_blocks()) {
    if (DescribesTarget(block.signature)) continue;
    if (block.signature == link_block::kIconEnvironment && icon.empty()) continue;
    while (next < back.extra_blocks().size() &&
           back.extra_blocks()[next].signature != block.signature) {
      ++next;
    }
    Check(next < back.extra_blocks().size());
    if (block.signature != link_block::kIconEnvironment) {
      Check(back.extra_blocks()[next].bytes == block.bytes);
    }
    ++next;
  }
}

inline void RunShellLinkFuzzInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const int icons = IconCount(bytes);
  Check(icons >= 0 && icons <= 0x1FFFF);
  ShellLink link;
  if (ShellLink::Parse(bytes, &link) != LinkError::kNone) return;
  Check(HasShellLinkHeader(bytes));
  Check(link.Serialize() == bytes);
  ShellLink again;
  Check(ShellLink::Parse(link.Serialize(), &again) == LinkError::kNone);
  CheckSameLink(link, again);
  Check(TrackingForbidden(bytes) == ((link.header().flags & link_flag::kForceNoLinkInfo) != 0));
  CheckChangedLink(link);
}

}  // namespace tsl::fuzzing
