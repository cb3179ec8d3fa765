// The string table. Texts are exactly as the program shows or writes them, byte for byte;
// sorted by number.
#include "resources/string_table.h"

#include <algorithm>
#include <iterator>

namespace tsl {
namespace {

struct Entry {
  int id;
  const char* text;
};

constexpr Entry kEntries[] = {
    {2055,
     "Source directory is empty. Since prune would delete all target files, operation is "
     "aborted.\r\n"},
    {2060, "My Registry"},
    {2114, "Found %d files in %d directories"},
    {2119, "Invalid month"},
    {2120, "Invalid day"},
    {2121, "Invalid year"},
    {2122, "Invalid date"},
    {2132, "Found %d files in 1 directory"},
    {2139, "Quarnel Software Inc."},
    {2143, "File Comparison using mask (%s)\r\nSource: %s\t\t\t\t\tTarget: %s\r\n"},
    {2149,
     "Two-directory synchronization performed at %s using mask (%s)\r\nSource: %s\tTarget: "
     "%s\r\n"},
    {2150, "Augment target operation performed at %s using mask (%s)\r\nSource: %s\tTarget: %s\r\n"},
    {2151, "Refresh target operation performed at %s using mask (%s)\r\nSource: %s\tTarget: %s\r\n"},
    {2152, "Update target operation performed at %s using mask (%s)\r\nSource: %s\tTarget: %s\r\n"},
    {2153, "Prune target operation performed at %s using mask (%s)\r\nSource: %s\tTarget: %s\r\n"},
    {2154,
     "Remove identical from target operation performed at %s using mask (%s)\r\nSource: "
     "%s\tTarget: %s\r\n"},
    {2155, "Recreate subdirs at %s using mask (%s)\r\nSource: %s\tTarget: %s\r\n"},
    {2156, "Delete Empty subdirs at %s using mask (%s)\r\nSource: %s\tTarget: %s\r\n"},
    {2157, "Operation complete!\r\n"},
    {2165, "%s (%I64d bytes), modified %s"},
    {2166, "with:\n%s (%I64d bytes), modified %s?"},
    {2167,
     "Please use TslRun \"<synch script path>|<shortcut script>|<registry script>|<file replace "
     "script>\""},
    {2200, "File Name"},
    {2201, "Size"},
    {2202, "Modified"},
    {2203, "Attrib"},
    {2309, "Creating Report"},
    {2316, "Only in Dir 1"},
    {2317, "Only in Dir 2"},
    {2318, "Identical"},
    {2319, "File 1 is newer"},
    {2320, "File 2 is newer"},
    {2321, "Different"},
    {2326, "Are you sure you want to delete the file(s)?"},
    {2327, "File %s was copied to %s\r\n"},
    {2328, "Error \"%s\" copying file: %s to %s\r\n"},
    {2329, "Operation aborted: copying %s to %s\r\n"},
    {2330, "File %s was deleted\r\n"},
    {2331, "Error \"%s\" deleting file: %s\r\n"},
    {2332, "File %s was moved to %s\r\n"},
    {2333, "Error \"%s\" moving file: %s to %s\r\n"},
    {2334, "Operation aborted: moving %s to %s\r\n"},
    {2335, "File %s was renamed to %s\r\n"},
    {2336, "Error %d renaming file: %s to %s\r\n"},
    {2343, "Delete Files"},
    {2344, "Copy Files"},
    {2345, "Move Files"},
    {2367, "Description"},
    {2501, "Match different duplicate files"},
    {2502, "Target File is read-only, hidden or system.  Do you want to overwrite the file:"},
    {2503, "File Operations Errors"},
    {2509, "Cancel remaining %d action(s)?"},
    {2510, "%d action(s) in script file\n%s\nwere processed."},
    {3009, "Error parsing: %s"},
    {3033, "Default Printer"},
    {3034, "Clipboard"},
    {4001, "%d changes were made to the registry."},
    {4002, "Searched %ld keys, %ld values\nFound string in %ld keys, %ld values, %ld data items"},
    {4003,
     "Searched %ld keys, %ld values\nReplaced string in %ld keys(%ld found), %ld values(%ld "
     "found), %ld data items (%ld found)"},
    {40045, "Display Identical Files"},
    {40046, "Display Different Files with Matched Names"},
    {40047, "Display Files in Only 1 Directory"},
    {40068, "Binary Compare Files"},
};

}  // namespace

std::string TableText(int id) {
  const Entry* end = std::end(kEntries);
  const Entry* found = std::lower_bound(std::begin(kEntries), end, id,
                                        [](const Entry& e, int value) { return e.id < value; });
  return found != end && found->id == id ? found->text : "";
}

}  // namespace tsl
