// Text helpers for test messages: Windows texts are UTF-16, gtest prints UTF-8.
#pragma once

#include <string>

namespace gui {

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

}  // namespace gui
