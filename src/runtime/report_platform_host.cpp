// The failure report's needs on the native test build.
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "runtime/coverage_flush.hpp"
#include "runtime/fatal.hpp"
#include "runtime/report_platform.hpp"
#include "runtime/stderr.hpp"

namespace vora {
namespace {

std::mutex g_report_lock;

#ifdef VORA_COVERAGE
// Every fatal path ends in abort(), death tests included.
void flush_coverage_on_abort(int) { flush_coverage_counters(); }
const auto g_previous_abort_handler = std::signal(SIGABRT, flush_coverage_on_abort);
#endif

}  // namespace

std::uint64_t current_os_thread_id() { return static_cast<std::uint64_t>(::syscall(SYS_gettid)); }

ReportLock::ReportLock() { g_report_lock.lock(); }

ReportLock::~ReportLock() { g_report_lock.unlock(); }

bool backtrace_requested_by_environment() {
  const char* value = std::getenv("VORA_BACKTRACE");
  return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

void write_backtrace() {
  constexpr std::string_view kText = "stack backtrace: not recorded by the native build\n";
  PendingUtf8 pending;
  (void)stderr_write_all(kText, pending);
}

void terminate_fast() { std::abort(); }

}  // namespace vora
