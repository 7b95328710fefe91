#pragma once

#include <optional>
#include <string>

namespace zentaro::platform::windows_impl {

// text (UTF-8) in the given code page, without best-fit substitutes; nothing
// when a character has no exact match there.
std::optional<std::string> InCodePage(const std::string& text, unsigned codePage);

} // namespace zentaro::platform::windows_impl
