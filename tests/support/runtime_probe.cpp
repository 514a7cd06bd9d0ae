// A program that starts like uninstall.exe and then does what its command line names: fail a
// check, overflow its stack, run out of memory... The failure report tests read what it writes.
#include <cstdint>
#include <cwchar>
#include <limits>
#include <string>

#include "runtime/fatal.hpp"
#include "runtime/runtime_main.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

bool asked_for(const wchar_t* scenario) {
  const wchar_t* line = GetCommandLineW();
  const wchar_t* found = std::wcsstr(line, scenario);
  if (found == nullptr) return false;
  const wchar_t after = found[std::wcslen(scenario)];
  return after == L'\0' || after == L' ';
}

// Recursion that the optimiser cannot turn into a loop; the flag only hides from the compiler
// that it never ends.
volatile bool g_keep_recursing = true;

std::uint64_t recurse(std::uint64_t depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (!g_keep_recursing) return depth;
  return recurse(depth + 1) + static_cast<std::uint64_t>(frame[0]);
}

DWORD WINAPI fail_on_worker(void*) { fail_fatally("worker failed"); }

}  // namespace

void run_uninstall() {
  if (asked_for(L"expect-ok")) {
    (void)expect_ok(Result<int>(std::unexpected(IoError::os(5))), "exe");
  }
  if (asked_for(L"expect-present")) {
    (void)expect_present(std::optional<int>(), "mappa");
  }
  if (asked_for(L"require-present")) {
    (void)require_present(std::optional<int>());
  }
  if (asked_for(L"quoted")) {
    fail_fatally(FailureMessage::with_quoted(kUnwrapErr, "--sil\xED\xA0\x80nt \"x\""));
  }
  if (asked_for(L"long-report")) {
    std::string inner;
    for (int i = 0; i < 60; ++i) inner += "eltávolító ";
    (void)require_ok(Result<int>(std::unexpected(IoError::custom(ErrorKind::Other, inner))));
  }
  if (asked_for(L"worker")) {
    HANDLE worker = CreateThread(nullptr, 0, fail_on_worker, nullptr, 0, nullptr);
    WaitForSingleObject(worker, INFINITE);
  }
  if (asked_for(L"stack-overflow")) (void)recurse(0);
  if (asked_for(L"raised-overflow")) RaiseException(EXCEPTION_STACK_OVERFLOW, 0, 0, nullptr);
  if (asked_for(L"allocation")) (void)::operator new (std::uint64_t{1} << 60);
  if (asked_for(L"capacity")) {
    std::string text;
    text.reserve(std::numeric_limits<std::size_t>::max() - 1);
  }
  if (asked_for(L"runtime-error")) {
    fatal_runtime_error("I/O error: operation failed to complete synchronously");
  }
}

}  // namespace vora
