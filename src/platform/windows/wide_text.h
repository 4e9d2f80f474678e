#pragma once
// The program's text is UTF-8; Windows takes names (paths, variables) in UTF-16.
#include <string>

namespace platform::windows {

std::wstring Wide(const std::string& text);
std::string Utf8(const wchar_t* text, size_t length);

}  // namespace platform::windows
