// The failure report's text on the native build, where the report goes to the process's own
// standard error and the process aborts.
#include <gtest/gtest.h>

#include "runtime/fatal.hpp"
#include "runtime/thread_identity.hpp"

namespace vora {
namespace {

TEST(FailureReportDeathTest, ReportsTheCallersLocationAndTheMessage) {
  EXPECT_DEATH(
      {
        mark_main_thread();
        (void)expect_ok(Result<int>(std::unexpected(IoError::from_kind(ErrorKind::Other))), "exe",
                        SourceLocation("src/uninstall/run_uninstall.cpp", 27, 39));
      },
      "^\nthread 'main' \\([0-9]+\\) panicked at src/uninstall/run_uninstall.cpp:27:39:\n"
      "exe: Kind\\(Other\\)\nnote: set the environment variable VORA_BACKTRACE=1");
}

TEST(FailureReportDeathTest, AnUnnamedThreadIsCalledSo) {
  EXPECT_DEATH(fail_fatally("called `Option::unwrap()` on a `None` value"),
               "^\nthread '<unnamed>' \\([0-9]+\\) panicked at tests/runtime/"
               "failure_report_host_test.cpp:[0-9]+:[0-9]+:\ncalled `Option::unwrap\\(\\)`");
}

TEST(FailureReportDeathTest, AFailureWhileReportingGivesTheShortFormAndEnds) {
  // The stand-in system text of code 4242 fails, so the composed message never gets written.
  EXPECT_DEATH((void)expect_ok(Result<int>(std::unexpected(IoError::os(4242))), "exe"),
               "^panicked at tests/support/os_error_text_host.cpp:[0-9]+:[0-9]+:\n"
               "no text for 4242\n"
               "thread panicked while processing panic. aborting.\n$");
}

TEST(FailureReportDeathTest, AllocationFailureNamesTheSize) {
  EXPECT_DEATH(fail_allocation(123456), "^memory allocation of 123456 bytes failed\nnote: ");
}

}  // namespace
}  // namespace vora
