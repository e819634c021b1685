// The model's texts are UTF-8; the window's are UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace wayfolk::win32 {

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view wide);

}  // namespace wayfolk::win32
