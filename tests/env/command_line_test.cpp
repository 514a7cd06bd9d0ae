#include "env/command_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vora {
namespace {

using namespace std::string_view_literals;

struct SplitRow {
  std::u16string_view line;
  std::vector<std::string> args;
};

TEST(SplitCommandLine, GivesTheArgumentsInOrder) {
  const SplitRow rows[] = {
      {u"", {""}},
      {u" --silent", {"", "--silent"}},
      // In the program name quotation marks only group and every backslash is literal, even
      // before the closing quotation mark.
      {uR"("C:\Program Files\Vora\uninstall.exe" --silent)",
       {R"(C:\Program Files\Vora\uninstall.exe)", "--silent"}},
      {uR"("C:\Program Files\Vora\" word)", {R"(C:\Program Files\Vora\)", "word"}},
      {uR"(C:\a\\b\\\"c d"\e.exe x)", {R"(C:\a\\b\\\c d\e.exe)", "x"}},
      {uR"("a""b" c)", {"ab", "c"}},
      {uR"("" a)", {"", "a"}},
      {uR"("C:\Program Files\u.exe)", {R"(C:\Program Files\u.exe)"}},
      // Only space and tab separate; runs of them separate once, and trailing ones add nothing.
      {u"prog\t \ta \t ", {"prog", "a"}},
      {u"p a\u00A0\n\r\v\f\u3000b c", {"p", "a\u00A0\n\r\v\f\u3000b", "c"}},
      // Quotation marks in the arguments.
      {uR"(p "" b)", {"p", "", "b"}},
      {uR"(p a"b c"d)", {"p", "ab cd"}},
      // Inside quotes a doubled quotation mark is one, and the quotes stay open.
      {uR"(p "a"" b")", {"p", R"(a" b)"}},
      // A quotation mark that ends the line still gives its argument, however empty.
      {uR"(p "")", {"p", ""}},
      {uR"(p a ")", {"p", "a", ""}},
      // Backslashes before a quotation mark: an even run halves and the mark opens or closes
      // quotes; an odd run halves and makes the mark literal, and it then neither opens nor
      // closes quotes.
      {uR"(p \\"a b")", {"p", R"(\a b)"}},
      {uR"(p \"a \\\"b)", {"p", R"("a)", R"(\"b)"}},
      {uR"(p \"" x)", {"p", R"(" x)"}},
      {uR"(p "a\" b" c)", {"p", R"(a" b)", "c"}},
      // Backslashes anywhere else are literal, the end of the line included.
      {uR"(p a\b a\\ \\\c "a\\\b c" d\)",
       {"p", R"(a\b)", R"(a\\)", R"(\\\c)", R"(a\\\b c)", R"(d\)"}},
      // A NUL ends the line, also inside quotes and right after a run of backslashes.
      {u"p \"a\\\\\0\"b c"sv, {"p", R"(a\\)"}},
      // The units are converted once the quotation marks are gone, so the halves of a pair meet
      // across them but not across a separator; an unpaired surrogate keeps its three-byte form.
      {u"p \xD83D\"\"\xDE00", {"p", "\xF0\x9F\x98\x80"}},
      {u"p \xD83D \xDE00", {"p", "\xED\xA0\xBD", "\xED\xB8\x80"}},
      {u"p a\xD800z c", {"p", "a\xED\xA0\x80z", "c"}},
  };
  for (const SplitRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << &row - rows);
    std::vector<std::string> texts;
    for (const CommandLineArg& arg : split_command_line(row.line)) {
      texts.emplace_back(arg.text.bytes());
    }
    EXPECT_EQ(texts, row.args);
  }
}

// A quadratic walk over the run would not finish in any reasonable time.
TEST(SplitCommandLine, ALongBackslashRunIsCountedOnce) {
  constexpr std::size_t kRun = 1'000'001;
  std::u16string line = u"p ";
  line.append(kRun, u'\\');
  line += u"\"x";
  const std::vector<CommandLineArg> args = split_command_line(line);
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1].text.bytes(), std::string(kRun / 2, '\\') + "\"x");
}

}  // namespace
}  // namespace vora
