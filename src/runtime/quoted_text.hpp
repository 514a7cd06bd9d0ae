#pragma once

#include <string>
#include <string_view>

namespace vora {

// Appends the quoted form of a WTF-8 text: the text between quotation marks, with `"` and `\`
// preceded by a backslash, NUL, tab, line feed and carriage return as \0 \t \n \r, and every
// character that needs_unicode_escape() names (an unpaired surrogate included) as \u{hex}. A byte
// that does not belong to a well-formed sequence is written as \x followed by two hex digits.
void append_quoted(std::string& out, std::string_view text);

std::string quoted(std::string_view text);

}  // namespace vora
