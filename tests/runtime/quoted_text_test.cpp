#include "runtime/quoted_text.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

struct QuotedRow {
  std::string_view text;
  std::string_view quoted;
};

class QuotedText : public ::testing::TestWithParam<QuotedRow> {};

TEST_P(QuotedText, EscapesWhatCannotBeShownAsItIs) {
  EXPECT_EQ(quoted(GetParam().text), GetParam().quoted);
}

using namespace std::string_view_literals;

INSTANTIATE_TEST_SUITE_P(
    Table, QuotedText,
    ::testing::Values(QuotedRow{"", R"("")"}, QuotedRow{"--silent", R"("--silent")"},
                      QuotedRow{"a \"b\" c\\d", R"("a \"b\" c\\d")"},
                      QuotedRow{"it's", R"("it's")"}, QuotedRow{"\0\t\n\r"sv, R"("\0\t\n\r")"},
                      // Other controls, DEL and C1 controls are not printable.
                      QuotedRow{"\x01\x1f\x7f\xc2\x85", R"("\u{1}\u{1f}\u{7f}\u{85}")"},
                      // Hungarian letters, symbols and characters beyond the BMP stay as they are.
                      QuotedRow{"eltávolító ő Ű € 😀", "\"eltávolító ő Ű € 😀\""},
                      // Spaces other than U+0020, format characters and separators are escaped.
                      QuotedRow{"a\xc2\xa0"
                                "b\xe2\x80\x8b"
                                "c\xe2\x80\xa8",
                                R"("a\u{a0}b\u{200b}c\u{2028}")"},
                      QuotedRow{"\xef\xbb\xbfx", R"("\u{feff}x")"},
                      // A combining mark from U+0300 up extends the character before it.
                      QuotedRow{"e\xcc\x81", R"("e\u{301}")"},
                      QuotedRow{"\xe2\x83\x9d", R"("\u{20dd}")"},
                      // Private use and noncharacters.
                      QuotedRow{"\xee\x80\x80\xef\xbf\xbe", R"("\u{e000}\u{fffe}")"},
                      // Unpaired surrogates in text that came from Windows, lead and trail.
                      QuotedRow{"--sil\xed\xa0\x80nt", R"("--sil\u{d800}nt")"},
                      QuotedRow{"\xed\xbf\xbf", R"("\u{dfff}")"},
                      // Bytes that belong to no well-formed sequence.
                      QuotedRow{"a\xff"
                                "b\xc3",
                                R"("a\xffb\xc3")"},
                      QuotedRow{"\xc0\xaf", R"("\xc0\xaf")"}));

}  // namespace
}  // namespace vora
