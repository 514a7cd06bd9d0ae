#include "runtime/runtime_main.hpp"

#include "runtime/coverage_flush.hpp"
#include "runtime/decimal.hpp"
#include "runtime/report_platform.hpp"
#include "runtime/stderr.hpp"
#include "runtime/thread_identity.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

// What the stack-overflow handler may use of the stack, guaranteed to it when the overflow hits.
constexpr ULONG kStackGuarantee = 0x5000;

using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

HRESULT WINAPI set_thread_description_unavailable(HANDLE, PCWSTR) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return E_NOTIMPL;
}

// Looked up once: older Windows versions lack SetThreadDescription.
SetThreadDescriptionFn g_set_thread_description = nullptr;

SetThreadDescriptionFn set_thread_description() {
  if (g_set_thread_description == nullptr) {
    SetThreadDescriptionFn found = set_thread_description_unavailable;
    if (HMODULE kernel32 = GetModuleHandleA("kernel32")) {
      if (FARPROC address = GetProcAddress(kernel32, "SetThreadDescription")) {
        found = reinterpret_cast<SetThreadDescriptionFn>(reinterpret_cast<void*>(address));
      }
    }
    g_set_thread_description = found;
  }
  return g_set_thread_description;
}

// Straight to the stream, without the heap, on the guaranteed stack.
void write_unbuffered(std::string_view text, PendingUtf8& pending) {
  (void)stderr_write_all(text, pending);
}

LONG CALLBACK on_stack_overflow(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    const Decimal thread_id(current_os_thread_id());
    PendingUtf8 pending;
    write_unbuffered("\nthread '", pending);
    write_unbuffered(current_thread_name().value_or("<unknown>"), pending);
    write_unbuffered("' (", pending);
    write_unbuffered(thread_id.view(), pending);
    write_unbuffered(") has overflowed its stack\n", pending);
    flush_coverage_counters();
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

int runtime_main(int, char**, char**) {
  mark_main_thread();
  AddVectoredExceptionHandler(0, on_stack_overflow);
  ULONG guarantee = kStackGuarantee;
  SetThreadStackGuarantee(&guarantee);
  set_thread_description()(GetCurrentThread(), L"main");
  run_uninstall();
  return 0;
}

}  // namespace vora
