// The failure report's text on the native build, where the report goes to the process's own
// standard error and the process aborts. A report from an unnamed thread and one of a failed
// allocation are windows_tests' (FailureReport.EachFatalPathWritesItsReportAndEndsWithItsStatus),
// on the product's own platform.
#include <gtest/gtest.h>

#include "runtime/fatal.hpp"
#include "runtime/thread_identity.hpp"

namespace vora {
namespace {

TEST(FailureReportDeathTest, NamesTheThreadTheCallersLocationAndTheMessage) {
  const struct {
    void (*fail)();
    const char* report;
  } rows[] = {
      {[] {
         mark_main_thread();
         (void)expect_ok(Result<int>(std::unexpected(IoError::from_kind(ErrorKind::Other))), "exe");
       },
       "^\nthread 'main' \\([0-9]+\\) panicked at tests/runtime/failure_report_host_test.cpp:"
       "[0-9]+:[0-9]+:\nexe: Kind\\(Other\\)\n"
       "note: set the environment variable VORA_BACKTRACE=1 to list the failing thread's return "
       "addresses\n$"},
      // The stand-in system text of code 4242 fails, so the composed message never gets written.
      {[] { (void)expect_ok(Result<int>(std::unexpected(IoError::os(4242))), "exe"); },
       "^panicked at tests/support/os_error_text_host.cpp:[0-9]+:[0-9]+:\nno text for 4242\n"
       "thread panicked while processing panic. aborting.\n$"},
  };
  for (const auto& row : rows) EXPECT_DEATH(row.fail(), row.report);
}

}  // namespace
}  // namespace vora
