#include "env/native_text.hpp"

#include <gtest/gtest.h>

#include <random>

#include "env/wide_string.hpp"

namespace vora {
namespace {

using namespace std::string_view_literals;

struct ConversionRow {
  std::u16string units;
  std::string_view bytes;
};

TEST(NativeText, ConvertsEachFormOfUtf16AndBack) {
  const ConversionRow rows[] = {
      {u"", ""},
      {u"vora.exe", "vora.exe"},
      {std::u16string(1, u'\0'), "\0"sv},
      {u"eltávolító", "elt\xC3\xA1vol\xC3\xADt\xC3\xB3"},
      {u"\u20AC", "\xE2\x82\xAC"},
      {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
      {{0xD800}, "\xED\xA0\x80"},
      {{0xDFFF}, "\xED\xBF\xBF"},
      // Trail before lead is two unpaired surrogates, and stays so.
      {{0xDE00, 0xD83D}, "\xED\xB8\x80\xED\xA0\xBD"},
      // A lead not followed by a trail: the next unit is read afresh.
      {{0xD800, u'a', 0xD83D, 0xDE00},
       "\xED\xA0\x80"
       "a\xF0\x9F\x98\x80"},
      {{0xFFFF, 0x0080, 0x07FF, 0x0800}, "\xEF\xBF\xBF\xC2\x80\xDF\xBF\xE0\xA0\x80"},
  };
  for (const ConversionRow& row : rows) {
    EXPECT_EQ(text_from_utf16(row.units).bytes(), row.bytes);
    EXPECT_EQ(utf16_from_text(row.bytes), row.units);
  }
}

bool has_unpaired_surrogate(std::u16string_view units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool lead = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    if (lead && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;
    } else if (units[i] >= 0xD800 && units[i] <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

TEST(NativeText, AnySequenceOfUnitsSurvivesTheRoundTrip) {
  std::mt19937 random(20261207);
  // Mostly surrogates and unit boundaries, where the conversions have their cases.
  const char16_t interesting[] = {0x0000, 0x0041, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF,
                                  0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
  for (int round = 0; round < 20000; ++round) {
    std::u16string units(random() % 12, u'\0');
    for (char16_t& unit : units) {
      unit = random() % 3 == 0 ? static_cast<char16_t>(random())
                               : interesting[random() % std::size(interesting)];
    }
    const NativeText text = text_from_utf16(units);
    ASSERT_EQ(utf16_from_text(text.bytes()), units);
    ASSERT_EQ(holds_surrogate(text.bytes()), has_unpaired_surrogate(units));
  }
}

TEST(NativeText, AppendingJoinsALeadAndATrailSurrogateIntoOneCharacter) {
  NativeText text("a\xED\xA0\xBD");
  text.append("\xED\xB8\x80z");
  EXPECT_EQ(text.bytes(), "a\xF0\x9F\x98\x80z");
  EXPECT_EQ(text, text_from_utf16(u"a\U0001F600z"));

  // A text appended to itself: a trail surrogate, 37 bytes, a lead surrogate.
  const std::string middle(37, 'm');
  NativeText itself("\xED\xB8\x80" + middle + "\xED\xA0\xBD");
  itself.append(itself.bytes());
  EXPECT_EQ(itself.bytes(), "\xED\xB8\x80" + middle + "\xF0\x9F\x98\x80" + middle + "\xED\xA0\xBD");

  // Every other append is plain concatenation.
  NativeText trail_first("\xED\xB8\x80");
  trail_first.append("\xED\xA0\xBD");
  EXPECT_EQ(trail_first.bytes(), "\xED\xB8\x80\xED\xA0\xBD");
  NativeText plain("C:\\Apps");
  plain.append("\\vora.exe");
  EXPECT_EQ(plain.bytes(), "C:\\Apps\\vora.exe");
}

TEST(NativeText, PathTextReplacesOnlyUnpairedSurrogatesAndBorrowsOtherwise) {
  const NativeText valid("C:\\Apps\\Vor\xC3\xA1\\\xF0\x9F\x98\x80");
  const PathText same = path_text(valid);
  EXPECT_FALSE(same.replaced());
  EXPECT_EQ(same.view().data(), valid.bytes().data());
  EXPECT_EQ(same.view(), valid.bytes());

  const NativeText lone = text_from_utf16(std::u16string{u'a', 0xD800, u'b', 0xDFFF});
  const PathText replaced = path_text(lone);
  EXPECT_TRUE(replaced.replaced());
  EXPECT_EQ(replaced.view(),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

TEST(WideString, HoldsTheUnitsOfItsTextAndRejectsANul) {
  const Result<WideString> empty = make_wide_string("");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->size(), 0u);
  EXPECT_EQ(empty->c_str()[0], u'\0');

  const Result<WideString> path = make_wide_string("C:\\Vor\xC3\xA1\\\xED\xA0\x80");
  ASSERT_TRUE(path);
  EXPECT_EQ(path->units(),
            (std::u16string{u'C', u':', u'\\', u'V', u'o', u'r', u'á', u'\\', 0xD800}));
  EXPECT_EQ(path->c_str()[path->size()], u'\0');

  const IoError nul_error =
      IoError::message(ErrorKind::InvalidInput, "strings passed to WinAPI cannot contain NULs");
  for (const std::string_view with_nul : {"\0abc"sv, "ab\0c"sv, "abc\0"sv, "\0"sv}) {
    const Result<WideString> rejected = make_wide_string(with_nul);
    ASSERT_FALSE(rejected);
    EXPECT_EQ(rejected.error(), nul_error);
  }
}

}  // namespace
}  // namespace vora
