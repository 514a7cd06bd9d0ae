// The fatal failure report as a real process writes it: the probe starts like uninstall.exe and
// fails in the way its command line names, with its standard error on a pipe.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "support/child_process.hpp"

namespace vora {
namespace {

using testing::ChildRun;
using testing::StderrTarget;

constexpr DWORD kFastFailStatus = 0xC0000409;
constexpr DWORD kStackOverflowStatus = 0xC00000FD;
constexpr std::string_view kNote =
    "note: set the environment variable VORA_BACKTRACE=1 to list the failing thread's return "
    "addresses\n";

// The location that a report names for the probe's call that begins with `call`: found in the
// probe's source, so that the tests follow the probe when it changes. The column is that of the
// call's opening parenthesis, where the compiler places a call's source location.
std::string probe_call_site(std::string_view call) {
  std::ifstream source(std::string("Z:") + VORA_SOURCE_DIR + "/tests/support/runtime_probe.cpp");
  std::string line;
  for (int number = 1; std::getline(source, line); ++number) {
    const std::size_t at = line.find(call);
    if (at != std::string::npos) {
      const std::size_t column = at + call.find('(') + 1;
      return "tests/support/runtime_probe.cpp:" + std::to_string(number) + ":" +
             std::to_string(column);
    }
  }
  ADD_FAILURE() << "no call " << call << " in the probe's source";
  return {};
}

ChildRun run_probe(const std::wstring& scenario, StderrTarget target = StderrTarget::Pipe) {
  return testing::run_child(testing::test_folder() + L"runtime_probe.exe",
                            L"runtime_probe.exe " + scenario, target);
}

std::string report(DWORD thread_id, std::string_view location, std::string_view message) {
  return "\nthread 'main' (" + std::to_string(thread_id) + ") panicked at " +
         std::string(location) + ":\n" + std::string(message) + "\n";
}

TEST(FailureReport, ANormalRunExitsWithZeroAndWritesNothing) {
  const ChildRun run = run_probe(L"normal");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.stderr_bytes, "");
}

struct CheckRow {
  std::wstring scenario;
  std::string location;  // the probe's own call of the check
  std::string message;
};

TEST(FailureReport, EachCheckReportsItsCallersLocationAndMessageThenTheNote) {
  const CheckRow rows[] = {
      {L"expect-ok", probe_call_site("expect_ok("),
       "exe: Os { code: 5, kind: PermissionDenied, message: \"Access denied.\" }"},
      {L"expect-present", probe_call_site("expect_present("), "mappa"},
      {L"require-present", probe_call_site("require_present("),
       "called `Option::unwrap()` on a `None` value"},
      {L"quoted", probe_call_site("fail_fatally(FailureMessage::with_quoted(kUnwrapErr"),
       "called `Result::unwrap()` on an `Err` value: \"--sil\\u{d800}nt \\\"x\\\"\""},
  };
  for (const CheckRow& row : rows) {
    SCOPED_TRACE(row.message);
    const ChildRun run = run_probe(row.scenario);
    EXPECT_EQ(run.exit_code, kFastFailStatus);
    EXPECT_EQ(run.stderr_bytes,
              report(run.main_thread_id, row.location, row.message) + std::string(kNote));
  }
}

TEST(FailureReport, StartUpNamesTheMainThreadForTheSystemsTools) {
  const ChildRun run = run_probe(L"thread-description");
  EXPECT_EQ(run.exit_code, kFastFailStatus);
  EXPECT_NE(run.stderr_bytes.find("\ndescription: \"main\"\n"), std::string::npos)
      << run.stderr_bytes;
}

TEST(StartUp, TheProgramsOwnFolderIsNotSearchedForDlls) {
  const std::wstring dll = testing::test_folder() + L"vora-beside.dll";
  ASSERT_TRUE(CopyFileW((testing::test_folder() + L"runtime_probe.exe").c_str(), dll.c_str(), 0));
  // This test started without the restriction and finds it there.
  const HMODULE found_here = LoadLibraryW(L"vora-beside.dll");
  EXPECT_NE(found_here, nullptr);
  FreeLibrary(found_here);
  const ChildRun run = run_probe(L"dll-beside");
  DeleteFileW(dll.c_str());
  EXPECT_EQ(run.exit_code, 0u) << run.stderr_bytes;
}

TEST(FailureReport, AReportLongerThan512BytesArrivesWhole) {
  const ChildRun run = run_probe(L"long-report");
  EXPECT_EQ(run.exit_code, kFastFailStatus);
  std::string inner;
  for (int i = 0; i < 60; ++i) inner += "eltávolító ";
  const std::string message =
      "called `Result::unwrap()` on an `Err` value: Custom { kind: Other, error: \"" + inner +
      "\" }";
  const std::string expected =
      report(run.main_thread_id, probe_call_site("require_ok("), message) + std::string(kNote);
  ASSERT_GT(expected.size(), 512u);
  EXPECT_EQ(run.stderr_bytes, expected);
}

TEST(FailureReport, WithoutStandardErrorTheExitStatusIsTheSame) {
  EXPECT_EQ(run_probe(L"expect-ok", StderrTarget::None).exit_code, kFastFailStatus);
}

TEST(FailureReport, AnotherThreadIsUnnamedAndNamedByItsOwnId) {
  const ChildRun run = run_probe(L"worker");
  EXPECT_EQ(run.exit_code, kFastFailStatus);
  const std::regex expected("\nthread '<unnamed>' \\(([0-9]+)\\) panicked at " +
                            probe_call_site("fail_fatally(\"worker failed\")") +
                            ":\nworker failed\n" + std::string(kNote));
  std::smatch match;
  ASSERT_TRUE(std::regex_match(run.stderr_bytes, match, expected)) << run.stderr_bytes;
  EXPECT_NE(match[1].str(), std::to_string(run.main_thread_id));
}

std::string overflow_line(DWORD thread_id) {
  return "\nthread 'main' (" + std::to_string(thread_id) + ") has overflowed its stack\n";
}

TEST(FailureReport, AStackOverflowOnTheMainThreadIsNamedAndEndsWithItsStatus) {
  const ChildRun run = run_probe(L"stack-overflow");
  EXPECT_EQ(run.stderr_bytes, overflow_line(run.main_thread_id));
  // Wine ignores the stack guarantee: the system's own handling of the unhandled overflow then
  // overflows again, and Wine ends the thread with a status of its own.
  if (!testing::running_under_wine()) {
    EXPECT_EQ(run.exit_code, kStackOverflowStatus);
  }
}

TEST(FailureReport, AnUnhandledOverflowExceptionEndsWithItsStatusAfterTheLine) {
  const ChildRun run = run_probe(L"raised-overflow");
  EXPECT_EQ(run.stderr_bytes, overflow_line(run.main_thread_id));
  EXPECT_EQ(run.exit_code, kStackOverflowStatus);
}

TEST(FailureReport, AFailedAllocationNamesItsSizeWithoutALocation) {
  const ChildRun run = run_probe(L"allocation");
  EXPECT_EQ(run.exit_code, kFastFailStatus);
  EXPECT_EQ(run.stderr_bytes,
            "memory allocation of 1152921504606846976 bytes failed\n" + std::string(kNote));
}

TEST(FailureReport, ASizeBeyondTheAddressSpaceIsACapacityOverflow) {
  const ChildRun run = run_probe(L"capacity");
  EXPECT_EQ(run.exit_code, kFastFailStatus);
  const std::regex expected(
      "\nthread 'main' \\([0-9]+\\) panicked at src/runtime/allocation.cpp:"
      "[0-9]+:[0-9]+:\ncapacity overflow\n" +
      std::string(kNote));
  EXPECT_TRUE(std::regex_match(run.stderr_bytes, expected)) << run.stderr_bytes;
}

TEST(StandardError, AConsoleShowsHungarianLettersInItsOwnAndInTheUtf8CodePage) {
  // Wine gives a program a working console only when it has a display.
  if (!testing::display_available()) {
    GTEST_SKIP() << "no DISPLAY: scripts/test provides one";
  }
  for (const std::wstring scenario : {L"console-852", L"console-65001"}) {
    const ChildRun run = run_probe(scenario);
    EXPECT_EQ(run.exit_code, 0u);
    // The console's first line, padded with spaces to the line's width.
    EXPECT_EQ(run.stderr_bytes.rfind("written:eltávolító ő 😀!  ", 0), 0u) << run.stderr_bytes;
  }
}

TEST(FailureReport, AFatalRuntimeErrorIsOneLineWithoutNote) {
  const ChildRun run = run_probe(L"runtime-error");
  EXPECT_EQ(run.exit_code, kFastFailStatus);
  EXPECT_EQ(run.stderr_bytes,
            "fatal runtime error: I/O error: operation failed to complete synchronously, "
            "aborting\n");
}

TEST(FailureReport, AWriteThatStaysPendingEndsTheProcessAtTheSecondFatalRuntimeError) {
  EXPECT_EQ(run_probe(L"stuck-stderr", StderrTarget::None).exit_code, kFastFailStatus);
}

TEST(StartUp, WithoutThreadSlotsTheProcessEndsAtOnce) {
  const ChildRun run = run_probe(L"no-thread-slots");
  EXPECT_EQ(run.exit_code, kFastFailStatus);
  EXPECT_EQ(run.stderr_bytes, "");
}

TEST(FailureReport, ARequestedBacktraceReplacesTheNote) {
  SetEnvironmentVariableW(L"VORA_BACKTRACE", L"1");
  const ChildRun run = run_probe(L"expect-present");
  SetEnvironmentVariableW(L"VORA_BACKTRACE", nullptr);
  EXPECT_EQ(run.exit_code, kFastFailStatus);
  const std::string head = report(run.main_thread_id, probe_call_site("expect_present("), "mappa");
  ASSERT_EQ(run.stderr_bytes.rfind(head + "stack backtrace:\n", 0), 0u) << run.stderr_bytes;
  const std::string frames = run.stderr_bytes.substr(head.size() + 17);
  EXPECT_TRUE(std::regex_search(frames, std::regex("^  +0: 0x[0-9a-f]+ in runtime_probe.exe\n")))
      << frames;
  EXPECT_EQ(frames.find("note:"), std::string::npos);
}

}  // namespace
}  // namespace vora
