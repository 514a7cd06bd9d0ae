// The fatal failure report as a real process writes it: the probe starts like uninstall.exe and
// fails in the way its command line names, with its standard error on a pipe.
#include <gtest/gtest.h>

#include <regex>

#include "demo/install_fixture.hpp"
#include "runtime/io_error.hpp"
#include "support/child_process.hpp"

namespace vora {
namespace {

constexpr DWORD kFastFailStatus = 0xC0000409;
constexpr DWORD kStackOverflowStatus = 0xC00000FD;
const std::string kNote =
    "note: set the environment variable VORA_BACKTRACE=1 to list the failing thread's return "
    "addresses\n";
const std::string kMain = "'main' (main)";
const std::string kProbe = "tests/support/runtime_probe";

// What the probe wrote, with any other thread's id than the main one's as "other" and each
// source position as "L:C": a check's position is where the compiler places the call.
testing::ChildRun run_probe(const wchar_t* scenario,
                            testing::StderrTarget target = testing::StderrTarget::Pipe) {
  testing::ChildRun run =
      testing::run_child(testing::test_folder() + L"runtime_probe.exe",
                         std::wstring(L"runtime_probe.exe ") + scenario, target);
  run.stderr_bytes = std::regex_replace(run.stderr_bytes, std::regex("\\([0-9]+\\)"), "(other)");
  run.stderr_bytes =
      std::regex_replace(run.stderr_bytes, std::regex("\\.cpp:[0-9]+:[0-9]+:"), ".cpp:L:C:");
  return run;
}

std::string panic(std::string_view thread, std::string_view file, std::string_view message) {
  return "\nthread " + std::string(thread) + " panicked at " + std::string(file) + ".cpp:L:C:\n" +
         std::string(message) + "\n" + kNote;
}

TEST(FailureReport, EachFatalPathWritesItsReportAndEndsWithItsStatus) {
  std::string long_inner;
  for (int i = 0; i < 60; ++i) long_inner += "eltávolító ";
  const std::string overflow = "\nthread 'main' (main) has overflowed its stack\n";
  const struct {
    const wchar_t* scenario;
    std::string report;
    DWORD status;
  } rows[] = {
      // Longer than one write of 512 bytes.
      {L"long-report",
       panic(kMain, kProbe,
             "called `Result::unwrap()` on an `Err` value: Custom { kind: Other, error: \"" +
                 long_inner + "\" }"),
       kFastFailStatus},
      {L"worker", panic("'<unnamed>' (other)", kProbe, "worker failed"), kFastFailStatus},
      // Start-up names the main thread for the system's tools too.
      {L"thread-description", panic(kMain, kProbe, "description: \"main\""), kFastFailStatus},
      {L"allocation", "memory allocation of 1152921504606846976 bytes failed\n" + kNote,
       kFastFailStatus},
      {L"capacity", panic(kMain, "src/runtime/allocation", "capacity overflow"), kFastFailStatus},
      {L"runtime-error",
       "fatal runtime error: I/O error: operation failed to complete synchronously, aborting\n",
       kFastFailStatus},
      // A failed write to a standard error that never drains (the probe's own) leads to a fatal
      // runtime error, whose own write fails the same way: the second ends the process instead
      // of reporting again.
      {L"stuck-stderr", "", kFastFailStatus},
#ifndef VORA_COVERAGE
      // Without the thread slots that mark a report in progress, nothing may be written. (Not in
      // coverage builds: writing the counters at the fast-fail then needs a slot of its own.)
      {L"no-thread-slots", "", kFastFailStatus},
#endif
      {L"raised-overflow", overflow, kStackOverflowStatus},
      // Wine ignores the stack guarantee: its own handling of the overflow then overflows again
      // and ends the thread with a status of its own. Wine 10 does not even call the handler.
      {L"stack-overflow",
       demo::wine_skips_handlers_when_the_main_thread_overflows() ? "" : overflow,
       demo::running_under_wine() ? 0 : kStackOverflowStatus},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.scenario, row.scenario + std::wcslen(row.scenario)));
    const testing::ChildRun run = run_probe(row.scenario);
    EXPECT_EQ(run.stderr_bytes, row.report);
    EXPECT_EQ(row.status != 0 ? run.exit_code : 0u, row.status);  // 0: the status is not checked
  }
  // Start-up guarantees the overflow handler 0x5000 bytes of stack, enough for its report to reach
  // a console, whose conversion alone takes 8 KiB. Read back rather than provoked, since Wine keeps
  // the value but ignores it in a real overflow; the system may round it up to whole pages.
  EXPECT_GE(run_probe(L"stack-guarantee").exit_code, 0x5000u);
}

// uninstall.exe's driver, with a fake executable path: its first two checks name where they sit.
TEST(FailureReport, TheDriversFirstChecksNameTheirOwnLinesAndColumns) {
  const std::string at = "\nthread 'main' (main) panicked at src/uninstall/run_uninstall.cpp:";
  const std::string denied =
      "exe: Os { code: 5, kind: PermissionDenied, message: \"" + os_error_text(5) + "\" }\n";
  for (const auto& [line, report] : {std::pair(L"driver_probe.exe", at + "27:39:\n" + denied),
                                     std::pair(L"driver_probe.exe root", at + "28:28:\nmappa\n")}) {
    const testing::ChildRun run =
        testing::run_child(testing::test_folder() + L"driver_probe.exe", line);
    EXPECT_EQ(run.stderr_bytes, report + kNote);
    EXPECT_EQ(run.exit_code, kFastFailStatus);
  }
}

TEST(StartUp, TheProgramsOwnFolderIsNotSearchedForDlls) {
  const std::wstring dll = testing::test_folder() + L"vora-beside.dll";
  ASSERT_TRUE(CopyFileW((testing::test_folder() + L"runtime_probe.exe").c_str(), dll.c_str(), 0));
  // This test started without the restriction and finds it there.
  const HMODULE found_here = LoadLibraryW(L"vora-beside.dll");
  EXPECT_NE(found_here, nullptr);
  FreeLibrary(found_here);
  const testing::ChildRun run = run_probe(L"dll-beside");
  DeleteFileW(dll.c_str());
  EXPECT_EQ(run.exit_code, 0u) << run.stderr_bytes;
}

TEST(FailureReport, ARequestedBacktraceReplacesTheNote) {
  SetEnvironmentVariableW(L"VORA_BACKTRACE", L"1");
  const testing::ChildRun run = run_probe(L"expect-present");
  SetEnvironmentVariableW(L"VORA_BACKTRACE", nullptr);
  EXPECT_EQ(run.exit_code, kFastFailStatus);
  const std::string head = panic(kMain, kProbe, "mappa");
  const std::string start = head.substr(0, head.size() - kNote.size()) + "stack backtrace:\n";
  ASSERT_EQ(run.stderr_bytes.rfind(start, 0), 0u) << run.stderr_bytes;
  const std::string frames = run.stderr_bytes.substr(start.size());
  EXPECT_TRUE(std::regex_search(frames, std::regex("^  +0: 0x[0-9a-f]+ in runtime_probe.exe\n")))
      << frames;
  EXPECT_EQ(frames.find("note:"), std::string::npos);
  // The list starts in the function that asked for it: its return address, which the probe
  // writes first, is the second frame, none of the lister's own frames lead.
  const std::string here = run_probe(L"backtrace-here").stderr_bytes;
  const std::string back = here.substr(0, here.find_first_of("\r\n"));  // a C runtime's line
  EXPECT_NE(here.find("\n  1: 0x" + back + " in runtime_probe.exe\n"), std::string::npos) << here;
}

// Cut inside "á" and inside the emoji for a console in its own code page, which the report
// reaches through WriteConsoleW; between characters for a UTF-8 one, which gets the bytes.
// Wine 10 keeps the console's handle from the probe, so nothing reaches the console there.
TEST(StandardError, AConsoleShowsHungarianLettersInItsOwnAndInTheUtf8CodePage) {
  for (const wchar_t* scenario : {L"console-852", L"console-65001"}) {
    const testing::ChildRun run = run_probe(scenario, testing::StderrTarget::Console);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.stderr_bytes,
              demo::wine_withholds_console_handles_from_gui_programs() ? "" : "eltávolító ő 😀!\n");
  }
}

}  // namespace
}  // namespace vora
