#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentaro::cli {

// Text from outside the program (a processor name, an argument, a system
// message) made safe to print: valid UTF-8 passes through; control characters
// are shown as escapes, C0 and DEL as \xNN and C1 as \u00NN, and so is every
// byte that is not part of valid UTF-8 (\xNN); the characters that change the
// direction of the text around them and the line and paragraph separators
// are shown as \uNNNN. So nothing reaches a terminal as a control sequence,
// the text after it reads in its own order and a line stays one line. At most maxCharacters
// characters (an invalid byte counts as one) are kept; a longer text is cut
// and ends in "...".
std::string TerminalText(std::string_view text, std::size_t maxCharacters = std::string_view::npos);

} // namespace zentaro::cli
