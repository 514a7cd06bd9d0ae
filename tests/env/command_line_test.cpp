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
  // Lines without quotation marks, and the arguments as compose_command_line writes them, are
  // split exactly by the command_line_split and argument_quoting fuzz targets on their seeds; the
  // rows are what neither shows.
  const SplitRow rows[] = {
      // In the program name quotation marks only group and every backslash is literal.
      {uR"(C:\a\\b\\\"c d"\e.exe x)", {R"(C:\a\\b\\\c d\e.exe)", "x"}},
      {uR"("a""b" c)", {"ab", "c"}},
      {uR"("C:\Program Files\u.exe)", {R"(C:\Program Files\u.exe)"}},
      // Quotation marks in the arguments.
      {uR"(p a"b c"d)", {"p", "ab cd"}},
      // Inside quotes a doubled quotation mark is one, and the quotes stay open.
      {uR"(p "a"" b")", {"p", R"(a" b)"}},
      // A quotation mark that ends the line still gives its argument, however empty.
      {uR"(p a ")", {"p", "a", ""}},
      // Backslashes before a quotation mark: an even run halves and the mark opens or closes
      // quotes; an odd run halves and makes the mark literal, and it then neither opens nor
      // closes quotes.
      {uR"(p \\"a b")", {"p", R"(\a b)"}},
      {uR"(p \"" x)", {"p", R"(" x)"}},
      // A NUL ends the line, also inside quotes and right after a run of backslashes.
      {u"p \"a\\\\\0\"b c"sv, {"p", R"(a\\)"}},
      // The units are converted once the quotation marks are gone, so the halves of a pair meet
      // across them.
      {u"p \xD83D\"\"\xDE00", {"p", "\xF0\x9F\x98\x80"}},
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
