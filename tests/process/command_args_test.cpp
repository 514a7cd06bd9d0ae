#include "process/command_args.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vora {
namespace {

using namespace std::string_view_literals;

struct CommandRow {
  std::string_view program;
  std::vector<CommandArg> args;
  std::u16string_view line;
};

TEST(ComposeCommandLine, QuotesTheProgramAndEscapesOrdinaryArguments) {
  const CommandRow rows[] = {
      // The program is put between quotation marks as it is, a trailing backslash included.
      {R"(C:\Program Files\Vora\)", {}, uR"("C:\Program Files\Vora\")"},
      {"p", {{"plain"}, {"a b"}, {""}, {"a\tb"}}, u"\"p\" plain \"a b\" \"\" \"a\tb\""},
      // A quotation mark gets a backslash, and the backslashes right before it are doubled.
      {"p", {{R"(x"y)"}, {R"(a\"b)"}, {R"(a b\"c)"}}, uR"("p" x\"y a\\\"b "a b\\\"c")"},
      // Backslashes are doubled before the closing quotation mark and nowhere else.
      {"p",
       {{R"(C:\dir\)"}, {R"(C:\my dir\)"}, {R"(a\\\b c)"}},
       uR"("p" C:\dir\ "C:\my dir\\" "a\\\b c")"},
      {"p", {{"\xC5\x91 \xF0\x9F\x98\x80"}}, u"\"p\" \"\u0151 \xD83D\xDE00\""},
  };
  for (const CommandRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << &row - rows);
    const Result<std::u16string> line = compose_command_line(row.program, row.args);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, row.line);
  }
}

// A NUL is refused before anything is written, so the line stays as it was; a command line
// with such an argument is refused as a whole.
TEST(AppendArgument, RejectsANulAndAppendsNothing) {
  const IoError nul = IoError::message(ErrorKind::InvalidInput, "nul byte found in provided data");
  for (const bool raw : {false, true}) {
    SCOPED_TRACE(raw);
    const CommandArg with_nul{std::string("a \"b\0c"sv), raw};
    std::u16string line = u"\"p\"";
    EXPECT_EQ(append_argument(line, with_nul), Result<void>(std::unexpected(nul)));
    EXPECT_EQ(line, u"\"p\"");
    const std::vector<CommandArg> args = {{"a"}, with_nul, {"d"}};
    EXPECT_EQ(compose_command_line("p", args), Result<std::u16string>(std::unexpected(nul)));
  }
}

}  // namespace
}  // namespace vora
