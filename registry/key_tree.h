// Whole key trees: deleting one (with a record of everything it held), and copying or moving one
// to another name. Both work depth first without recursion, so a deep tree cannot exhaust the
// stack.
#pragma once

#include <string>

#include "platform/registry.h"

namespace tsl {

class RegistryAccess;
class RegWriter;

/// Opens `subkey` below `root` as RegistryAccess::OpenKey does, but in steps of whole key names
/// of at most kKeyPathStep characters, so that a path longer than the system takes in one call
/// (Windows refuses long ones) opens all the same.
inline constexpr std::size_t kKeyPathStep = 200;
long OpenKeyPath(RegistryAccess& registry, const reg::Key& root, const std::string& subkey,
                 std::uint32_t access, reg::Key* result);
/// The same for RegistryAccess::CreateKey: every missing key on the way is created.
long CreateKeyPath(RegistryAccess& registry, const reg::Key& root, const std::string& subkey,
                   std::uint32_t access, reg::Key* result);

/// ERROR_ALREADY_EXISTS: a copy or move whose target is another existing key.
inline constexpr long kTargetExists = 183;

/// Deletes key `name` below `parent` with everything below it. With a writer and a non-empty
/// `path_prefix`, first records every key of the tree (path_prefix\name first, then its subkeys)
/// with all its values, so that importing the record re-creates them. kOk, or the first failure.
long DeleteKeyTree(RegistryAccess& registry, const reg::Key& parent, const std::string& name,
                   const std::string& path_prefix, RegWriter* writer);

enum class TreeTransfer { kCopy, kMove };

/// Copies key `from` below `from_parent`, its values and all its subkeys, to `to` below
/// `to_parent`; a move then deletes the source tree. With `same_parent` (both parents are one
/// key) and names equal ignoring case: exactly equal does nothing, a move that changes letter
/// case only goes through the name + "__". A target that is another existing key is refused
/// (kTargetExists), so that nothing there is merged into and lost by an undo. The caller makes
/// sure that the target does not lie below the source. On a failure the partial copy is deleted
/// again and the source is kept.
long TransferKeyTree(RegistryAccess& registry, const reg::Key& from_parent, const std::string& from,
                     const reg::Key& to_parent, const std::string& to, TreeTransfer mode,
                     bool same_parent = true);

}  // namespace tsl
