// The arguments as the driver takes them: the fallback for a missing command line, and the
// search for --silent, which decides which arguments must be valid Unicode.
#include "env/arguments.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

Result<NativeText> exe_path() { return NativeText("C:\\Apps\\Vora\\uninstall.exe"); }
Result<NativeText> no_exe_path() { return std::unexpected(IoError::os(5)); }

std::vector<std::string> all_of(CommandLineArgs args) {
  std::vector<std::string> taken;
  while (std::optional<std::string> arg = args.next_argument()) taken.push_back(*std::move(arg));
  return taken;
}

TEST(Arguments, AMissingOrEmptyCommandLineIsTheExecutablePathAlone) {
  using List = std::vector<std::string>;
  EXPECT_EQ(all_of(arguments_from_command_line(nullptr, exe_path)),
            List{"C:\\Apps\\Vora\\uninstall.exe"});
  EXPECT_EQ(all_of(arguments_from_command_line(u"", exe_path)),
            List{"C:\\Apps\\Vora\\uninstall.exe"});
  EXPECT_EQ(all_of(arguments_from_command_line(u"", no_exe_path)), List{""});
}

TEST(Arguments, SilentModeIsTheExactOption) {
  const struct {
    std::u16string_view line;
    bool silent;
  } rows[] = {
      {u"--silent", true},
      {u"\"uninstall.exe\" a \"--silent\"", true},
      {u" --silent", true},
      // Arguments after the option are never taken, so they need not be Unicode.
      {u"p --silent x\xD800", true},
      {u"uninstall.exe --Silent -silent /silent --silent=1 --silent-mode", false},
      {u"uninstall.exe \"--silent \" --silentx", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(silent_mode_requested(arguments_from_command_line(row.line.data(), exe_path)),
              row.silent)
        << &row - rows;
  }
}

TEST(ArgumentsDeathTest, AnArgumentThatIsNotUnicodeEndsTheProcessWhenTaken) {
  const std::u16string before = std::u16string(u"p x") + char16_t{0xD800} + u"y --silent";
  EXPECT_DEATH((void)silent_mode_requested(arguments_from_command_line(before.c_str(), exe_path)),
               "panicked at src/env/arguments.cpp:.+\n"
               "called `Result::unwrap\\(\\)` on an `Err` value: \"x\\\\u\\{d800\\}y\"\n");
}

}  // namespace
}  // namespace vora
