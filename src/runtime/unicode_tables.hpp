#pragma once

namespace vora {

// True for a code point that the quoted form writes as an escape: one that is not printable
// (controls, format characters, surrogates, private use, separators and every space but U+0020,
// noncharacters) or that extends the character before it (Grapheme_Extend, from U+0300 up).
bool needs_unicode_escape(char32_t c);

}  // namespace vora
