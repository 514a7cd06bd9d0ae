#include "env/native_text.hpp"

#include <gtest/gtest.h>

#include "env/wide_string.hpp"

namespace vora {
namespace {

using namespace std::string_view_literals;

struct ConversionRow {
  std::u16string units;
  std::string_view bytes;
  bool unpaired_surrogate;
};

TEST(NativeText, ConvertsEachFormOfUtf16AndBack) {
  const ConversionRow rows[] = {
      {std::u16string(1, u'\0'), "\0"sv, false},
      // U+D7FF shares its first byte with the surrogates.
      {{0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF, 0xFFFF},
       "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEF\xBF\xBF",
       false},
      {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80", false},
      // Trail before lead is two unpaired surrogates, and stays so.
      {{0xDE00, 0xD83D}, "\xED\xB8\x80\xED\xA0\xBD", true},
      // A lead not followed by a trail: the next unit is read afresh.
      {{0xD800, u'a', 0xD83D, 0xDE00},
       "\xED\xA0\x80"
       "a\xF0\x9F\x98\x80",
       true},
  };
  for (const ConversionRow& row : rows) {
    EXPECT_EQ(text_from_utf16(row.units).bytes(), row.bytes);
    EXPECT_EQ(utf16_from_text(row.bytes), row.units);
    EXPECT_EQ(holds_surrogate(row.bytes), row.unpaired_surrogate);
  }
}

TEST(NativeText, AppendingItsOwnBytesJoinsTheSurrogatesAtTheSeam) {
  // A trail surrogate, 37 bytes, a lead surrogate: appended to itself, the seam makes one
  // character out of the two halves while the appended bytes still lie in the text.
  const std::string middle(37, 'm');
  NativeText itself("\xED\xB8\x80" + middle + "\xED\xA0\xBD");
  itself.append(itself.bytes());
  EXPECT_EQ(itself.bytes(), "\xED\xB8\x80" + middle + "\xF0\x9F\x98\x80" + middle + "\xED\xA0\xBD");
}

TEST(WideString, IsNulTerminatedAndRejectsANul) {
  const Result<WideString> path = make_wide_string("C:\\Vor\xC3\xA1");
  ASSERT_TRUE(path);
  EXPECT_EQ(path->units(), u"C:\\Vorá");
  EXPECT_EQ(path->c_str()[path->size()], u'\0');

  const Result<WideString> rejected = make_wide_string("ab\0c"sv);
  ASSERT_FALSE(rejected);
  EXPECT_EQ(rejected.error(), IoError::message(ErrorKind::InvalidInput,
                                               "strings passed to WinAPI cannot contain NULs"));
}

}  // namespace
}  // namespace vora
