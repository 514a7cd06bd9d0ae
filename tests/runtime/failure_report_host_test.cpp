// The failure report's text on the native build, where the report goes to the process's own
// standard error and the process aborts.
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
      {[] { fail_fatally("called `Option::unwrap()` on a `None` value"); },
       "^\nthread '<unnamed>' \\([0-9]+\\) panicked at tests/runtime/"
       "failure_report_host_test.cpp:[0-9]+:[0-9]+:\ncalled `Option::unwrap\\(\\)`"},
      // The stand-in system text of code 4242 fails, so the composed message never gets written.
      {[] { (void)expect_ok(Result<int>(std::unexpected(IoError::os(4242))), "exe"); },
       "^panicked at tests/support/os_error_text_host.cpp:[0-9]+:[0-9]+:\nno text for 4242\n"
       "thread panicked while processing panic. aborting.\n$"},
      {[] { fail_allocation(123456); }, "^memory allocation of 123456 bytes failed\nnote: "},
  };
  for (const auto& row : rows) EXPECT_DEATH(row.fail(), row.report);
}

}  // namespace
}  // namespace vora
