// Filling the program's numbered texts: each %s, %d, %ld or %I64d takes the next argument in
// turn, already written as text; %% is one percent sign.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tsl {

std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace tsl
