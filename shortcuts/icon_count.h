// How many icons a file offers, for the icon index of a shortcut: an icon file (.ico) is one icon
// (whatever number of images its directory lists), a PE image (program or library) has one icon
// per icon group resource, and anything else, or a file that cannot be read, has none.
#pragma once

#include <string>
#include <string_view>

namespace tsl {

/// The number of images an icon file's directory lists, when the directory is whole; 0 for
/// bytes that are not an icon file.
int IcoImageCount(std::string_view bytes);
/// The number of icon group resources of a PE image; 0 for bytes that are not one, or whose
/// resource directory does not fit in them.
int PeIconGroupCount(std::string_view bytes);
/// The icons the bytes offer: 1 for an icon file, the icon groups of a PE image, else 0.
int IconCount(std::string_view bytes);
/// IconCount of a file's content; 0 when the file is missing or cannot be read.
int IconCountOfFile(const std::string& path);

}  // namespace tsl
