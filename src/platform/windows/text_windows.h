#pragma once

#include <string>
#include <string_view>

namespace zentaro::platform::windows_impl {

// The platform interfaces speak UTF-8; the system's wide functions UTF-16.
// Bytes that are not UTF-8 (and lone surrogates the other way) become U+FFFD.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// A system error code as the C library numbers it (errno), so that callers
// name it with strerror on every system; EIO for codes without a match.
int ErrnoForSystemError(unsigned long error);

// The system's text for an error code, without its trailing line break; empty
// when the system has none.
std::string SystemErrorText(unsigned long error);

} // namespace zentaro::platform::windows_impl
