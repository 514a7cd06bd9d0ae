#include "process/command_args.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "env/command_line.hpp"

namespace vora {
namespace {

using namespace std::string_view_literals;

const IoError kNulError =
    IoError::message(ErrorKind::InvalidInput, "nul byte found in provided data");

std::u16string appended(const CommandArg& arg) {
  std::u16string line;
  const Result<void> result = append_argument(line, arg);
  EXPECT_TRUE(result.has_value()) << arg.text;
  return line;
}

struct QuotingRow {
  std::string_view text;
  std::u16string_view line;
};

TEST(AppendArgument, QuotesAndEscapesOrdinaryArguments) {
  const QuotingRow rows[] = {
      {"plain", u"plain"},
      {"a b", uR"("a b")"},
      {"", uR"("")"},
      {"a\tb", u"\"a\tb\""},
      {"\t", u"\"\t\""},
      {" ", uR"(" ")"},
      {R"(x"y)", uR"(x\"y)"},
      {R"(a\"b)", uR"(a\\\"b)"},
      {R"(")", uR"(\")"},
      {R"("")", uR"(\"\")"},
      {R"(\\")", uR"(\\\\\")"},
      {R"(C:\dir\)", uR"(C:\dir\)"},
      {R"(C:\my dir\)", uR"("C:\my dir\\")"},
      {R"(a\\\b)", uR"(a\\\b)"},
      {R"(a\\\b c)", uR"("a\\\b c")"},
      {R"(\\server\share)", uR"(\\server\share)"},
      {R"(a b\\\)", uR"("a b\\\\\\")"},
      {R"(a b\"c)", uR"("a b\\\"c")"},
      {R"(" \)", uR"("\" \\")"},
      {R"(\)", uR"(\)"},
      // "Gábor" and "ő" in UTF-8.
      {"G\xC3\xA1"
       "bor",
       u"Gábor"},
      {"\xC5\x91 \xC5\x91", u"\"ő ő\""},
      // U+1F600 becomes a surrogate pair.
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {"\xF0\x9F\x98\x80\\\" x", u"\"\xD83D\xDE00\\\\\\\" x\""},
  };
  for (const QuotingRow& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(appended(CommandArg{std::string(row.text), false}), row.line);
  }
}

TEST(AppendArgument, PassesRawArgumentsUnchanged) {
  const QuotingRow rows[] = {
      {"", u""},
      {"a b", u"a b"},
      {R"("quoted \" text\\")", uR"("quoted \" text\\")"},
      {"\t\\", u"\t\\"},
      {"\xC5\x91\xF0\x9F\x98\x80", u"ő\xD83D\xDE00"},
  };
  for (const QuotingRow& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(appended(CommandArg{std::string(row.text), true}), row.line);
  }
}

TEST(AppendArgument, AppendsAfterWhatIsAlreadyThere) {
  std::u16string line = u"\"p\" ";
  ASSERT_TRUE(append_argument(line, CommandArg{"a b", false}).has_value());
  EXPECT_EQ(line, uR"("p" "a b")");
}

TEST(AppendArgument, RejectsANulAndAppendsNothing) {
  const std::string_view texts[] = {"\0"sv, "a\0b"sv, "a b\0"sv, "\"\0\\"sv};
  for (const std::string_view text : texts) {
    for (const bool raw : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "raw " << raw << ", size " << text.size());
      std::u16string line = u"\"p\" ";
      const Result<void> result = append_argument(line, CommandArg{std::string(text), raw});
      ASSERT_FALSE(result.has_value());
      EXPECT_EQ(result.error(), kNulError);
      EXPECT_EQ(line, u"\"p\" ");
    }
  }
}

TEST(AppendArgument, DoublesLongBackslashRunsOnlyBeforeAQuotationMark) {
  constexpr std::size_t kRun = 100000;
  const std::string backslashes(kRun, '\\');
  const std::u16string units(kRun, u'\\');
  EXPECT_EQ(appended(CommandArg{backslashes + "\"" + backslashes + "x", false}),
            units + units + u"\\\"" + units + u"x");
  EXPECT_EQ(appended(CommandArg{" " + backslashes, false}), u"\" " + units + units + u"\"");
}

struct CommandRow {
  std::string_view program;
  std::vector<CommandArg> args;
  std::u16string_view line;
};

TEST(ComposeCommandLine, GivesTheCommandLinesOfTheUninstall) {
  const CommandRow rows[] = {
      {"taskkill", {{"/F"}, {"/IM"}, {"vora.exe"}}, uR"("taskkill" /F /IM vora.exe)"},
      {"reg",
       {{"delete"}, {R"(HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vora)"}, {"/f"}},
       uR"("reg" delete HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vora /f)"},
      {"powershell",
       {{"-NoProfile"},
        {"-ExecutionPolicy"},
        {"Bypass"},
        {"-EncodedCommand"},
        {"ZgBvAHIAZQBhAGMAaAA="}},
       uR"("powershell" -NoProfile -ExecutionPolicy Bypass -EncodedCommand ZgBvAHIAZQBhAGMAaAA=)"},
      // The whole text after "cmd" is the one raw argument, quotation marks included.
      {"cmd",
       {{"/C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q "
         R"("C:\Users\G)"
         "\xC3\xA1"
         R"(bor\AppData\Local\Programs\Vora")",
         true}},
       uR"("cmd" /C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q "C:\Users\Gábor\AppData\Local\Programs\Vora")"},
  };
  for (const CommandRow& row : rows) {
    SCOPED_TRACE(row.program);
    const Result<std::u16string> line = compose_command_line(row.program, row.args);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, row.line);
    EXPECT_EQ(line->find(u'\0'), std::u16string::npos);
  }
}

TEST(ComposeCommandLine, NeverEscapesTheProgramText) {
  const CommandRow rows[] = {
      {"", {}, uR"("")"},
      {R"(C:\Program Files\Vora\)", {}, uR"("C:\Program Files\Vora\")"},
      {"my.tool", {{""}}, uR"("my.tool" "")"},
      {"\xC5\x91", {{"\xC5\x91"}}, u"\"ő\" ő"},
  };
  for (const CommandRow& row : rows) {
    SCOPED_TRACE(row.program);
    const Result<std::u16string> line = compose_command_line(row.program, row.args);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, row.line);
  }
}

TEST(ComposeCommandLine, FailsOnANulInAnyArgument) {
  for (const bool raw : {false, true}) {
    SCOPED_TRACE(::testing::Message() << "raw " << raw);
    const std::vector<CommandArg> args = {{"a"}, {"b c"}, {std::string("x\0y"sv), raw}, {"d"}};
    const Result<std::u16string> line = compose_command_line("p", args);
    ASSERT_FALSE(line.has_value());
    EXPECT_EQ(line.error(), kNulError);
  }
}

// The splitter that every child runs on its command line gives back the program and exactly the
// arguments that went in.
TEST(ComposeCommandLine, TheStandardSplitterUndoesIt) {
  const std::string_view alphabet[] = {" ", "\t", "\"", "\\", "a", "\xC5\x91", "\xF0\x9F\x98\x80"};
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::size_t> arg_count(1, 6);
  std::uniform_int_distribution<std::size_t> text_length(0, 8);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
  for (int round = 0; round < 5000; ++round) {
    std::vector<CommandArg> args(arg_count(random));
    for (CommandArg& arg : args) {
      for (std::size_t length = text_length(random); length > 0; --length) {
        arg.text += alphabet[pick(random)];
      }
    }
    const Result<std::u16string> line = compose_command_line("p", args);
    ASSERT_TRUE(line.has_value());

    std::vector<std::string> expected = {"p"};
    for (const CommandArg& arg : args) expected.push_back(arg.text);
    std::vector<std::string> split;
    for (const CommandLineArg& arg : split_command_line(*line)) {
      split.emplace_back(arg.text.bytes());
    }
    ASSERT_EQ(split, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace vora
