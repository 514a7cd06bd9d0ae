#include "runtime/quoted_text.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

using namespace std::string_view_literals;

TEST(QuotedText, EscapesWhatCannotBeShownAsItIs) {
  const struct {
    std::string_view text;
    std::string_view quoted;
  } rows[] = {
      {"\0\t\n\r"sv, R"("\0\t\n\r")"},
      // Other controls, DEL and C1 controls are not printable.
      {"\x01\x1f\x7f\xc2\x85", R"("\u{1}\u{1f}\u{7f}\u{85}")"},
      // Hungarian letters, symbols and characters beyond the BMP stay as they are.
      {"eltávolító ő Ű € 😀", "\"eltávolító ő Ű € 😀\""},
      // Spaces other than U+0020, format characters, separators, private use and noncharacters
      // are escaped.
      {"a\xc2\xa0"
       "b\xe2\x80\x8b"
       "c\xe2\x80\xa8\xef\xbb\xbf\xee\x80\x80\xef\xbf\xbe",
       R"("a\u{a0}b\u{200b}c\u{2028}\u{feff}\u{e000}\u{fffe}")"},
      // Combining and enclosing marks from U+0300 up extend the character before them.
      {"e\xcc\x81\xe2\x83\x9d", R"("e\u{301}\u{20dd}")"},
      // Unpaired surrogates in text that came from Windows, lead and trail.
      {"--sil\xed\xa0\x80nt\xed\xbf\xbf", R"("--sil\u{d800}nt\u{dfff}")"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(quoted(row.text), row.quoted);
  }
}

}  // namespace
}  // namespace vora
