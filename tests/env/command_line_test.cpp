#include "env/command_line.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vora {
namespace {

using namespace std::string_view_literals;

std::vector<std::string> texts_of(const std::vector<CommandLineArg>& args) {
  std::vector<std::string> texts;
  for (const CommandLineArg& arg : args) texts.emplace_back(arg.text.bytes());
  return texts;
}

struct SplitRow {
  std::u16string_view line;
  std::vector<std::string> args;
};

// Shows the line with every unit outside printable ASCII as \x{hex}, so that a failing row can be
// told apart from its neighbours.
void PrintTo(const SplitRow& row, std::ostream* out) {
  *out << '"';
  for (const char16_t unit : row.line) {
    if (unit >= 0x20 && unit < 0x7F) {
      *out << static_cast<char>(unit);
    } else {
      *out << "\\x{" << std::hex << static_cast<unsigned>(unit) << std::dec << '}';
    }
  }
  *out << '"';
}

class SplitCommandLine : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitCommandLine, GivesTheArgumentsInOrder) {
  const std::vector<CommandLineArg> args = split_command_line(GetParam().line);
  EXPECT_EQ(texts_of(args), GetParam().args);
  for (const CommandLineArg& arg : args) EXPECT_TRUE(arg.valid) << arg.text.bytes();
}

INSTANTIATE_TEST_SUITE_P(
    ProgramName, SplitCommandLine,
    ::testing::Values(
        SplitRow{u"", {""}}, SplitRow{u"uninstall.exe", {"uninstall.exe"}},
        SplitRow{uR"("C:\Program Files\Vora\uninstall.exe" --silent)",
                 {R"(C:\Program Files\Vora\uninstall.exe)", "--silent"}},
        // The backslash before the closing quotation mark is kept and does not escape it.
        SplitRow{uR"("C:\Program Files\Vora\" word)", {R"(C:\Program Files\Vora\)", "word"}},
        SplitRow{uR"(C:\a\\b\\\"c d"\e.exe x)", {R"(C:\a\\b\\\c d\e.exe)", "x"}},
        SplitRow{uR"(un"install files".exe a)", {"uninstall files.exe", "a"}},
        SplitRow{uR"(a""b c)", {"ab", "c"}}, SplitRow{uR"(""")", {""}},
        SplitRow{uR"("" a)", {"", "a"}}, SplitRow{uR"(" " a)", {" ", "a"}},
        SplitRow{uR"("C:\Program Files\u.exe)", {R"(C:\Program Files\u.exe)"}},
        SplitRow{uR"(C:\Vora\)", {R"(C:\Vora\)"}}, SplitRow{u" --silent", {"", "--silent"}},
        SplitRow{u"\t--silent", {"", "--silent"}}, SplitRow{u" ", {""}},
        SplitRow{u"prog \t \t a", {"prog", "a"}}, SplitRow{u"prog \t ", {"prog"}},
        SplitRow{u"prog\ta", {"prog", "a"}}, SplitRow{u"a\u00A0b c", {"a\u00A0b", "c"}},
        SplitRow{u"a\nb\rc\vd\f\u3000e f", {"a\nb\rc\vd\f\u3000e", "f"}},
        SplitRow{u"elt\u00E1vol\u00EDt\u00F3 \u0151", {"eltávolító", "ő"}}));

INSTANTIATE_TEST_SUITE_P(
    Quotes, SplitCommandLine,
    ::testing::Values(
        SplitRow{uR"(p a""b)", {"p", "ab"}}, SplitRow{uR"(p "" b)", {"p", "", "b"}},
        SplitRow{uR"(p a "" "" b)", {"p", "a", "", "", "b"}}, SplitRow{uR"(p "")", {"p", ""}},
        SplitRow{uR"(p "a""b")", {"p", R"(a"b)"}}, SplitRow{uR"(p "a""b" c)", {"p", R"(a"b)", "c"}},
        SplitRow{uR"(p """")", {"p", R"(")"}}, SplitRow{uR"(p "a"" b")", {"p", R"(a" b)"}},
        SplitRow{uR"(p a"b c"d)", {"p", "ab cd"}}, SplitRow{uR"(p "a"b"c d")", {"p", "abc d"}},
        SplitRow{uR"(p "--silent")", {"p", "--silent"}},
        SplitRow{u"p \"a\tb\" c", {"p", "a\tb", "c"}},
        // A lone quotation mark at the end opens an argument that the end of the line closes.
        SplitRow{uR"(p a ")", {"p", "a", ""}}, SplitRow{uR"(p a "  )", {"p", "a", "  "}},
        SplitRow{uR"(p "a b)", {"p", "a b"}}, SplitRow{uR"(p a")", {"p", "a"}},
        SplitRow{uR"(p "a" ")", {"p", "a", ""}}));

INSTANTIATE_TEST_SUITE_P(
    Backslashes, SplitCommandLine,
    ::testing::Values(
        SplitRow{uR"(p \"a)", {"p", R"("a)"}}, SplitRow{uR"(p \\"a b")", {"p", R"(\a b)"}},
        SplitRow{uR"(p \\\"a)", {"p", R"(\"a)"}}, SplitRow{uR"(p \\\\"a b")", {"p", R"(\\a b)"}},
        SplitRow{uR"(p \\\\\"a)", {"p", R"(\\"a)"}}, SplitRow{uR"(p "x\"y")", {"p", R"(x"y)"}},
        SplitRow{uR"(p "x\\" y)", {"p", R"(x\)", "y"}},
        SplitRow{uR"(p "x\\\"y")", {"p", R"(x\"y)"}},
        SplitRow{uR"(p "x\\\\" y)", {"p", R"(x\\)", "y"}},
        SplitRow{uR"(p "x\\\\\"y")", {"p", R"(x\\"y)"}},
        // An escaped quotation mark neither opens nor closes quotes.
        SplitRow{uR"(p \"" x)", {"p", R"(" x)"}},
        SplitRow{uR"(p "a\" b" c)", {"p", R"(a" b)", "c"}},
        // After an even run the quotation mark still opens or closes quotes.
        SplitRow{uR"(p \\"" x)", {"p", R"(\)", "x"}},
        SplitRow{uR"(p a\b a\\b \\\\\\c "a\\\b c")",
                 {"p", R"(a\b)", R"(a\\b)", R"(\\\\\\c)", R"(a\\\b c)"}},
        SplitRow{uR"(p a\\ b)", {"p", R"(a\\)", "b"}}, SplitRow{uR"(p a\)", {"p", R"(a\)"}},
        SplitRow{uR"(p a\\\)", {"p", R"(a\\\)"}}, SplitRow{uR"(p "a\)", {"p", R"(a\)"}},
        SplitRow{uR"(p \)", {"p", R"(\)"}}));

INSTANTIATE_TEST_SUITE_P(
    Nul, SplitCommandLine,
    ::testing::Values(SplitRow{u"p a\0b c"sv, {"p", "a"}}, SplitRow{u"p a \0b c"sv, {"p", "a"}},
                      SplitRow{u"pr\0og a"sv, {"pr"}}, SplitRow{u"\0prog a"sv, {""}},
                      SplitRow{u"p \"a\0b\" c"sv, {"p", "a"}},
                      SplitRow{u"p \"a\"\0b c"sv, {"p", "a"}}, SplitRow{u"p \"\0\" c"sv, {"p", ""}},
                      SplitRow{u"p a\\\\\0\"b"sv, {"p", R"(a\\)"}},
                      SplitRow{u"p a\\\0\"b"sv, {"p", R"(a\)"}}));

TEST(SplitCommandLineValidity, AnUnpairedSurrogateMakesItsArgumentInvalid) {
  const std::vector<CommandLineArg> args = split_command_line(
      u"p a\xD800"
      u"b c");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_TRUE(args[0].valid);
  EXPECT_EQ(args[1].text.bytes(),
            "a\xED\xA0\x80"
            "b");
  EXPECT_FALSE(args[1].valid);
  EXPECT_TRUE(args[2].valid);
}

TEST(SplitCommandLineValidity, ATrailSurrogateAloneIsInvalidToo) {
  const std::vector<CommandLineArg> args = split_command_line(u"\xDE00 x");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].text.bytes(), "\xED\xB8\x80");
  EXPECT_FALSE(args[0].valid);
  EXPECT_TRUE(args[1].valid);
}

TEST(SplitCommandLineValidity, ASurrogatePairIsValid) {
  const std::vector<CommandLineArg> args = split_command_line(u"p \xD83D\xDE00");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1].text.bytes(), "\xF0\x9F\x98\x80");
  EXPECT_TRUE(args[1].valid);
}

// The argument's units are converted after the quotation marks are gone, so the two halves of a
// pair meet.
TEST(SplitCommandLineValidity, APairSplitByRemovedQuotationMarksIsJoined) {
  const std::vector<CommandLineArg> args = split_command_line(u"p \xD83D\"\"\xDE00");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1].text.bytes(), "\xF0\x9F\x98\x80");
  EXPECT_TRUE(args[1].valid);
}

TEST(SplitCommandLineValidity, APairSplitBySpaceGivesTwoInvalidArguments) {
  const std::vector<CommandLineArg> args = split_command_line(u"p \xD83D \xDE00");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[1].text.bytes(), "\xED\xA0\xBD");
  EXPECT_FALSE(args[1].valid);
  EXPECT_EQ(args[2].text.bytes(), "\xED\xB8\x80");
  EXPECT_FALSE(args[2].valid);
}

// A quadratic walk over the run would not finish in any reasonable time.
TEST(SplitCommandLineBackslashes, ALongRunIsCountedOnce) {
  constexpr std::size_t kRun = 1'000'001;
  std::u16string line = u"p ";
  line.append(kRun, u'\\');
  line += u"\"x";
  const std::vector<CommandLineArg> args = split_command_line(line);
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1].text.bytes(), std::string(kRun / 2, '\\') + "\"x");
}

bool holds_unpaired_surrogate(std::u16string_view units) {
  for (std::size_t at = 0; at < units.size(); ++at) {
    const char16_t unit = units[at];
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < units.size() && units[at + 1] >= 0xDC00 &&
        units[at + 1] <= 0xDFFF) {
      ++at;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

bool is_plain_text(char16_t unit) {
  return unit != u' ' && unit != u'\t' && unit != u'"' && unit != u'\\';
}

std::size_t count_of(std::u16string_view units, char16_t unit) {
  std::size_t count = 0;
  for (const char16_t u : units) count += u == unit ? 1 : 0;
  return count;
}

// Without quotation marks every backslash is literal and every run of spaces and tabs separates,
// so the split is fully known: the first field, however empty, then every non-empty field.
std::vector<std::string> split_without_quotes(std::u16string_view line) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  bool first = true;
  while (at < line.size() || first) {
    std::size_t end = at;
    while (end < line.size() && line[end] != u' ' && line[end] != u'\t') ++end;
    if (first || end > at) {
      fields.emplace_back(text_from_utf16(line.substr(at, end - at)).bytes());
    }
    first = false;
    at = end < line.size() ? end + 1 : end;
  }
  return fields;
}

TEST(SplitCommandLineProperties, HoldOverRandomLines) {
  constexpr char16_t kUnits[] = {u' ', u'\t', u'"', u'\\', u'a', u'b', u'\u0151', 0xD800, 0xDE00};
  constexpr std::size_t kLines = 5000;
  constexpr std::size_t kMaxLength = 40;
  std::mt19937 random(20240611);
  std::size_t quote_free_lines = 0;
  for (std::size_t round = 0; round < kLines; ++round) {
    std::u16string line;
    const std::size_t length = random() % (kMaxLength + 1);
    for (std::size_t i = 0; i < length; ++i) line += kUnits[random() % std::size(kUnits)];

    // An exact-size heap copy, so that ASan sees any read past the end of the line.
    const std::vector<char16_t> exact(line.begin(), line.end());
    const std::vector<CommandLineArg> args =
        split_command_line(std::u16string_view(exact.data(), exact.size()));
    SCOPED_TRACE(::testing::PrintToString(SplitRow{line, {}}));

    ASSERT_FALSE(args.empty());
    EXPECT_EQ(args[0].text.bytes().find('"'), std::string_view::npos);

    std::u16string plain_in;
    for (const char16_t unit : line) {
      if (is_plain_text(unit)) plain_in += unit;
    }
    std::u16string plain_out;
    std::size_t quotes_out = 0;
    std::size_t backslashes_out = 0;
    for (const CommandLineArg& arg : args) {
      const std::u16string units = utf16_from_text(arg.text.bytes());
      EXPECT_EQ(arg.valid, !holds_unpaired_surrogate(units)) << arg.text.bytes();
      for (const char16_t unit : units) {
        if (is_plain_text(unit)) plain_out += unit;
      }
      quotes_out += count_of(units, u'"');
      backslashes_out += count_of(units, u'\\');
    }
    // Every unit other than the four with a meaning reaches exactly one argument, in order.
    EXPECT_EQ(plain_out, plain_in);
    EXPECT_LE(quotes_out, count_of(line, u'"'));
    EXPECT_LE(backslashes_out, count_of(line, u'\\'));

    if (count_of(line, u'"') == 0) {
      ++quote_free_lines;
      EXPECT_EQ(texts_of(args), split_without_quotes(line));
    }
  }
  // The quote-free comparison above must actually have run on a fair share of the lines.
  EXPECT_GT(quote_free_lines, kLines / 20);
}

}  // namespace
}  // namespace vora
