// Command lines as a real process receives them: the probe is started with an exact command
// line and reports what it split from GetCommandLineW, whether it found --silent, or its path.
#include <gtest/gtest.h>

#include <string>

#include "env/native_text.hpp"
#include "runtime/owned_handle.hpp"
#include "support/child_process.hpp"

namespace vora {
namespace {

using testing::ChildRun;

constexpr DWORD kFastFailStatus = 0xC0000409;

ChildRun run_probe(const wchar_t* mode, const std::wstring& command_line,
                   const std::wstring& program = testing::test_folder() + L"env_probe.exe") {
  SetEnvironmentVariableW(L"VORA_PROBE_MODE", mode);
  ChildRun run = testing::run_child(program, command_line);
  SetEnvironmentVariableW(L"VORA_PROBE_MODE", nullptr);
  return run;
}

struct SplitRow {
  std::wstring command_line;
  std::string received;  // each argument quoted, one per line
};

TEST(CommandLine, TheProbeReceivesItsArgumentsSplitByTheWindowsRules) {
  const SplitRow rows[] = {
      {LR"("C:\Program Files\Vora\uninstall.exe" --silent)",
       "\"C:\\\\Program Files\\\\Vora\\\\uninstall.exe\"\n\"--silent\"\n"},
      // In the program name a backslash is literal and the quotation mark after it closes.
      {LR"("C:\Apps\Vora\" word)", "\"C:\\\\Apps\\\\Vora\\\\\"\n\"word\"\n"},
      {LR"(p a""b "" "x""y")", "\"p\"\n\"ab\"\n\"\"\n\"x\\\"y\"\n"},
      // 3, 2 and 1 backslashes before a quotation mark, and 4 before a letter.
      {LR"(p a\\\"b "c\\"d e f\"g h\\\\i)",
       "\"p\"\n\"a\\\\\\\"b\"\n\"c\\\\d\"\n\"e\"\n\"f\\\"g\"\n\"h\\\\\\\\\\\\\\\\i\"\n"},
      {L"p\tx\t \"a\tb\"  ", "\"p\"\n\"x\"\n\"a\\tb\"\n"},
      // A quotation mark alone at the end gives an empty last argument.
      {LR"(p a ")", "\"p\"\n\"a\"\n\"\"\n"},
      {LR"(p back\)", "\"p\"\n\"back\\\\\"\n"},
      {L" --silent", "\"\"\n\"--silent\"\n"},
  };
  for (const SplitRow& row : rows) {
    const ChildRun run = run_probe(L"args", row.command_line);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.stderr_bytes, row.received)
        << std::string(row.command_line.begin(), row.command_line.end());
  }
}

TEST(CommandLine, AnUnpairedSurrogateIsKeptAndFlagged) {
  const std::wstring line = std::wstring(L"p a") + wchar_t{0xD800} + L"b";
  const ChildRun run = run_probe(L"args", line);
  EXPECT_EQ(run.stderr_bytes, "\"p\"\n\"a\\u{d800}b\" invalid\n");
}

struct SilentRow {
  std::wstring command_line;
  std::string answer;
};

TEST(CommandLine, SilentModeIsTheExactOptionAnywhereAmongTheArguments) {
  const SilentRow rows[] = {
      {L"uninstall.exe --silent", "silent\n"},
      {L"uninstall.exe a \"--silent\" b", "silent\n"},
      {L"--silent", "silent\n"},
      {L"\"C:\\My Apps\\Vora\\uninstall.exe\" x --silent", "silent\n"},
      {L"uninstall.exe", "not silent\n"},
      {L"uninstall.exe --Silent -silent /silent --silent=1 --silent-mode \"--silent \"",
       "not silent\n"},
      // Arguments after the option are never looked at.
      {L"uninstall.exe --silent " + std::wstring(1, wchar_t{0xDC00}), "silent\n"},
  };
  for (const SilentRow& row : rows) {
    const ChildRun run = run_probe(L"silent", row.command_line);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.stderr_bytes, row.answer)
        << std::string(row.command_line.begin(), row.command_line.end());
  }
}

TEST(CommandLine, AnArgumentThatIsNotUnicodeBeforeTheOptionEndsTheProcess) {
  for (const std::wstring tail : {L"", L" --silent"}) {
    const std::wstring line = std::wstring(L"uninstall.exe x") + wchar_t{0xD800} + L"y" + tail;
    const ChildRun run = run_probe(L"silent", line);
    EXPECT_EQ(run.exit_code, kFastFailStatus);
    const std::string message = "called `Result::unwrap()` on an `Err` value: \"x\\u{d800}y\"\n";
    EXPECT_NE(run.stderr_bytes.find("panicked at src/env/arguments.cpp:"), std::string::npos)
        << run.stderr_bytes;
    EXPECT_NE(run.stderr_bytes.find(":\n" + message + "note: "), std::string::npos)
        << run.stderr_bytes;
  }
}

}  // namespace
}  // namespace vora
