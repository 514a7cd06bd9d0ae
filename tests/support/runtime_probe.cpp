// A program that starts like uninstall.exe and then does what its command line names: fail a
// check, overflow its stack, run out of memory... The failure report tests read what it writes.
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <limits>
#include <string>

#include "runtime/fatal.hpp"
#include "runtime/report_platform.hpp"
#include "runtime/runtime_main.hpp"
#include "runtime/stderr.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

// No scenario's name holds another's.
bool asked_for(const wchar_t* scenario) {
  return std::wcsstr(GetCommandLineW(), scenario) != nullptr;
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

// Taken before start-up, so that it finds no thread slot left.
[[maybe_unused]] const bool g_thread_slots_taken = asked_for(L"no-thread-slots") && [] {
  while (TlsAlloc() != TLS_OUT_OF_INDEXES) {
  }
  return true;
}();

// Both ends of a pipe whose overlapped end is the probe's standard error.
HANDLE g_stderr_end = nullptr;
HANDLE g_other_end = nullptr;

// Reads that complete on the standard-error end wake every wait on that handle, also one for a
// write that is still pending there.
DWORD WINAPI complete_reads(void*) {
  for (char byte = 0;; Sleep(1)) {
    DWORD count = 0;
    OVERLAPPED read{};
    WriteFile(g_other_end, &byte, 1, &count, nullptr);
    if (!ReadFile(g_stderr_end, &byte, 1, &count, &read)) {
      GetOverlappedResult(g_stderr_end, &read, &count, TRUE);
    }
  }
}

// Standard error on an overlapped pipe that nobody drains, full, and woken again and again by
// another thread's reads on it: every write stays pending after its wait.
void make_standard_error_stick() {
  const std::wstring name = L"\\\\.\\pipe\\vora-probe-" + std::to_wstring(GetCurrentProcessId());
  g_stderr_end = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, 0, 1,
                                  512, 512, 0, nullptr);
  g_other_end = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  static char filling[4096];
  static OVERLAPPED fill{};
  WriteFile(g_stderr_end, filling, sizeof filling, nullptr, &fill);
  SetStdHandle(STD_ERROR_HANDLE, g_stderr_end);
  CloseHandle(CreateThread(nullptr, 0, complete_reads, nullptr, 0, nullptr));
}

// Writes Hungarian text and a character beyond the BMP to the console it was given, in the given
// code page, in three writes cut at the given bytes.
void write_to_console(UINT code_page, std::size_t first_cut, std::size_t second_cut) {
  // A GUI program is attached to no console, not even to the one whose handle it was given as
  // standard error, and both the code page it sets and the one the standard-error writer reads
  // are those of the console it is attached to: it joins its parent's, the host's. Where it is
  // attached already (Wine 8 attaches it), the answer is ERROR_ACCESS_DENIED, as good.
  AttachConsole(ATTACH_PARENT_PROCESS);
  SetConsoleOutputCP(code_page);
  if (GetConsoleOutputCP() != code_page) fail_fatally("no console in the code page asked for");
  const std::string_view text = "elt\xC3\xA1vol\xC3\xADt\xC3\xB3 \xC5\x91 \xF0\x9F\x98\x80!";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  PendingUtf8 pending;
  if (!stderr_write_all(std::span(bytes, first_cut), pending) ||
      !stderr_write_all(std::span(bytes + first_cut, second_cut - first_cut), pending) ||
      !stderr_write_all(std::span(bytes + second_cut, text.size() - second_cut), pending)) {
    fail_fatally("the console write failed");
  }
}

// Writes where this function returns to, as an offset into the probe in lowercase hexadecimal,
// and then the backtrace from here, whose second frame must be that address: its first then
// lies in this function.
[[gnu::noinline]] void list_backtrace_here() {
  std::fprintf(stderr, "%llx\n",
               static_cast<unsigned long long>(static_cast<char*>(__builtin_return_address(0)) -
                                               reinterpret_cast<char*>(GetModuleHandleW(nullptr))));
  write_backtrace();
  asm volatile("");  // a call, not a jump: this frame stays on the stack
}

}  // namespace

void run_uninstall() {
  if (asked_for(L"expect-present")) {
    (void)expect_present(std::optional<int>(), "mappa");
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
  if (asked_for(L"backtrace-here")) list_backtrace_here();
  // The stack guarantee that start-up set, read back as the exit status: with 0 the call "succeeds
  // and the parameter contains the size of the current stack" guarantee (SetThreadStackGuarantee's
  // documentation), and changes nothing, since a request below the current size is ignored.
  ULONG guarantee = 0;
  if (asked_for(L"stack-guarantee") && SetThreadStackGuarantee(&guarantee)) ExitProcess(guarantee);
  if (asked_for(L"allocation")) (void)::operator new (std::uint64_t{1} << 60);
  if (asked_for(L"capacity")) {
    std::string text;
    text.reserve(std::numeric_limits<std::size_t>::max() - 1);
  }
  if (asked_for(L"thread-description")) {
    using GetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const auto get_description = reinterpret_cast<GetThreadDescriptionFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    wchar_t* description = nullptr;
    if (get_description != nullptr &&
        SUCCEEDED(get_description(GetCurrentThread(), &description))) {
      const std::wstring_view name(description);
      fail_fatally(
          FailureMessage::with_quoted("description", std::string(name.begin(), name.end())));
    }
  }
  // Cut inside "á" and inside the emoji: the console path holds the starts back.
  if (asked_for(L"console-852")) write_to_console(852, 4, 18);
  // Cut between characters: a UTF-8 console gets the bytes as they are.
  if (asked_for(L"console-65001")) write_to_console(CP_UTF8, 3, 17);
  if (asked_for(L"stuck-stderr")) {
    make_standard_error_stick();
    fail_fatally("standard error is stuck");
  }
  // The DLL lies in the probe's own folder only.
  if (asked_for(L"dll-beside") && LoadLibraryW(L"vora-beside.dll") != nullptr) {
    fail_fatally("vora-beside.dll was loaded from the program's folder");
  }
  if (asked_for(L"runtime-error")) {
    fatal_runtime_error("I/O error: operation failed to complete synchronously");
  }
}

}  // namespace vora
