// The registry service: Windows' real registry, or on Linux a store of the same shape kept in
// SQLite. Calls return status codes with the Windows values (kOk, kNotFound, kNoMoreItems ...),
// so that the registry job behaves alike on both platforms.
//
// Key paths below a key use `\` on both platforms; a run of several `\` counts as one, a closing
// `\` is ignored and a leading one is refused (kBadPathName). Key and value names are compared
// ignoring letter case (ANSI upper-casing) and kept as written. Value data are raw bytes; a string
// value holds whatever bytes were set (with or without a terminating zero; Windows adds a zero to
// a string read back without one).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tsl::reg {

/// Status codes (Windows' own numbers).
inline constexpr long kOk = 0;
inline constexpr long kNotFound = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr long kAccessDenied = 5;   // ERROR_ACCESS_DENIED
inline constexpr long kInvalidHandle = 6;  // ERROR_INVALID_HANDLE
inline constexpr long kBadNetPath = 53;    // ERROR_BAD_NETPATH: machine cannot be reached
inline constexpr long kInvalidParameter = 87;
inline constexpr long kBadPathName = 161;  // a key path that begins with `\`
inline constexpr long kMoreData = 234;
inline constexpr long kNoMoreItems = 259;    // enumeration index past the end
inline constexpr long kKeyDeleted = 1018;    // the key was deleted while open
inline constexpr long kIoFailed = 1016;      // the store could not be read or written
inline constexpr long kCannotDelete = 1019;  // ERROR_KEY_HAS_CHILDREN (5 on Windows NT)

/// Value types (Windows' numbers).
namespace type {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kString = 1;
inline constexpr std::uint32_t kExpandString = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kDwordBigEndian = 5;
inline constexpr std::uint32_t kLink = 6;
inline constexpr std::uint32_t kMultiString = 7;
inline constexpr std::uint32_t kResourceList = 8;
inline constexpr std::uint32_t kFullResourceDescriptor = 9;
inline constexpr std::uint32_t kResourceRequirementsList = 10;
inline constexpr std::uint32_t kQword = 11;
}  // namespace type

/// Access rights asked for when opening or creating a key (Windows' values).
namespace access {
inline constexpr std::uint32_t kQueryValue = 0x0001;
inline constexpr std::uint32_t kSetValue = 0x0002;
inline constexpr std::uint32_t kCreateSubKey = 0x0004;
inline constexpr std::uint32_t kEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kRead = 0x20019;
inline constexpr std::uint32_t kWrite = 0x20006;
inline constexpr std::uint32_t kAll = 0xF003F;
}  // namespace access

/// The predefined root keys.
enum class Root { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kCurrentConfig, kDynData };

/// The name of a root as written in key paths ("HKEY_CURRENT_USER" ...).
const char* RootName(Root root);

struct KeyHandle;  // the platform's own representation

/// An open key or a predefined root. Owns what it opened and closes it when it goes away
/// (predefined roots are never closed). Move-only.
class Key {
 public:
  Key();
  explicit Key(Root root);
  ~Key();
  Key(Key&& other) noexcept;
  Key& operator=(Key&& other) noexcept;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  bool valid() const { return handle_ != nullptr; }
  void Close();

  KeyHandle* handle() const { return handle_.get(); }
  explicit Key(std::unique_ptr<KeyHandle> handle);

 private:
  std::unique_ptr<KeyHandle> handle_;
};

/// What a key holds, as counts and longest sizes.
struct KeyInfo {
  std::string class_name;
  std::uint32_t subkeys = 0;
  std::uint32_t longest_subkey_name = 0;  // characters, without a terminating zero
  std::uint32_t values = 0;
  std::uint32_t longest_value_name = 0;  // characters, without a terminating zero
  std::uint32_t longest_data = 0;        // bytes (Windows counts strings as stored, in UTF-16)
};

/// Opens `subkey` (a `\`-separated path, may be empty for the key itself) below `parent`.
/// On failure `result` is left without a key.
long OpenKey(const Key& parent, const std::string& subkey, std::uint32_t access, Key* result);

/// Opens or creates `subkey` and every missing key on the way; `created` (may be null) tells
/// whether the last key was new.
long CreateKey(const Key& parent, const std::string& subkey, const std::string& class_name,
               std::uint32_t access, Key* result, bool* created);

/// The name of subkey number `index`; kNoMoreItems past the end. Linux enumerates subkeys in name
/// order ignoring case.
long EnumKey(const Key& key, std::uint32_t index, std::string* name);

/// Name, type and data of value number `index`; kNoMoreItems past the end. Linux enumerates
/// values in the order they were created, as Windows does (Wine sorts them by name).
long EnumValue(const Key& key, std::uint32_t index, std::string* name, std::uint32_t* type,
               std::string* data);

long QueryKeyInfo(const Key& key, KeyInfo* info);

/// Type and data of a value; the empty name is the key's default value.
long QueryValue(const Key& key, const std::string& name, std::uint32_t* type, std::string* data);

/// Sets (creates or replaces) a value. Needs kSetValue access.
long SetValue(const Key& key, const std::string& name, std::uint32_t type, const std::string& data);

long DeleteValue(const Key& key, const std::string& name);

/// Deletes a key that has no subkeys (a key with subkeys is refused: kAccessDenied, as Windows
/// does); an empty `subkey` deletes `parent` itself. As on Windows, the access `parent` was opened
/// with does not matter; open handles of the deleted key then fail with kKeyDeleted.
long DeleteKey(const Key& parent, const std::string& subkey);

/// Connects to the local-machine or users root of another machine (`\\name`). Linux has no
/// remote registry: it fails with kBadNetPath, as an unreachable machine does on Windows.
long ConnectRegistry(const std::string& machine, Root root, Key* result);

}  // namespace tsl::reg
