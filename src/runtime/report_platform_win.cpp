#include <charconv>
#include <cwchar>

#include "runtime/coverage_flush.hpp"
#include "runtime/fatal.hpp"
#include "runtime/report_platform.hpp"
#include "runtime/stderr.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

SRWLOCK g_report_lock = SRWLOCK_INIT;

void write_ignoring_errors(std::string_view text, PendingUtf8& pending) {
  (void)stderr_write_all(text, pending);
}

// "  <index>: 0x<offset> in <module>", the offset relative to the module's base so that it can
// be looked up in the unstripped build.
void write_frame(unsigned index, void* address, PendingUtf8& pending) {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<LPCWSTR>(address), &module);
  wchar_t wide_name[MAX_PATH];
  const wchar_t* base_name = L"?";
  if (module != nullptr && GetModuleFileNameW(module, wide_name, MAX_PATH) != 0) {
    const wchar_t* slash = std::wcsrchr(wide_name, L'\\');
    base_name = slash != nullptr ? slash + 1 : wide_name;
  }
  char name[3 * MAX_PATH];
  const int name_length =
      WideCharToMultiByte(CP_UTF8, 0, base_name, -1, name, sizeof name, nullptr, nullptr);

  char numbers[48];
  char* end = numbers;
  *end++ = ' ';
  *end++ = ' ';
  end = std::to_chars(end, numbers + sizeof numbers, index).ptr;
  *end++ = ':';
  *end++ = ' ';
  *end++ = '0';
  *end++ = 'x';
  const auto offset =
      reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(module);
  end = std::to_chars(end, numbers + sizeof numbers, offset, 16).ptr;
  write_ignoring_errors(std::string_view(numbers, end), pending);
  write_ignoring_errors(" in ", pending);
  write_ignoring_errors(name_length > 1 ? std::string_view(name, name_length - 1) : "?", pending);
  write_ignoring_errors("\n", pending);
}

}  // namespace

std::uint64_t current_os_thread_id() { return GetCurrentThreadId(); }

ReportLock::ReportLock() { AcquireSRWLockExclusive(&g_report_lock); }

ReportLock::~ReportLock() { ReleaseSRWLockExclusive(&g_report_lock); }

bool backtrace_requested_by_environment() {
  wchar_t value[8];
  const DWORD length = GetEnvironmentVariableW(L"VORA_BACKTRACE", value, 8);
  if (length == 0) return false;
  return !(length == 1 && value[0] == L'0');
}

void write_backtrace() {
  void* frames[62];
  const USHORT count = RtlCaptureStackBackTrace(1, 62, frames, nullptr);
  PendingUtf8 pending;
  write_ignoring_errors("stack backtrace:\n", pending);
  for (USHORT i = 0; i < count; ++i) write_frame(i, frames[i], pending);
}

void terminate_fast() {
  flush_coverage_counters();
  // The fast-fail request with FAST_FAIL_FATAL_APP_EXIT (7): the process ends at once with
  // STATUS_STACK_BUFFER_OVERRUN, without running any handler.
  asm volatile("int $0x29" : : "c"(7) : "memory");
  __builtin_unreachable();
}

}  // namespace vora
