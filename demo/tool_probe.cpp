// A stand-in for the tools uninstall.exe starts as child processes, and for vora.exe, which runs
// until it is ended. Its behaviour comes from VORA_TOOL_MODE in the environment rather than from
// its command line, because the command line is what the tests put under scrutiny.
#include "demo/stand_in_text.hpp"
#include "runtime/windows.hpp"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vora::stand_in::environment;
using vora::stand_in::kLongestText;
using vora::stand_in::wtf8;

unsigned long number_from_environment(const wchar_t* name, unsigned long fallback) {
  const std::wstring text = environment(name);
  if (text.empty()) return fallback;
  unsigned long value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return fallback;
    value = value * 10 + static_cast<unsigned long>(c - L'0');
  }
  return value;
}

// WriteFile may accept less than it was given on a pipe; the tests count every byte.
bool write_all(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool write_stdout(std::string_view bytes) {
  return write_all(GetStdHandle(STD_OUTPUT_HANDLE), bytes);
}

// Writes `total` bytes to standard output and as many to standard error, in chunks of mixed
// sizes that alternate between the two, so that a reader that drains one stream at a time stalls.
bool write_interleaved(unsigned long total) {
  constexpr unsigned long chunk_sizes[] = {1, 7, 4096, 65536, 100000, 13};
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  std::string chunk;
  for (unsigned long done = 0, step = 0; done < total; ++step) {
    const unsigned long size = std::min(chunk_sizes[step % std::size(chunk_sizes)], total - done);
    chunk.clear();
    for (unsigned long i = done; i < done + size; ++i) chunk += static_cast<char>('a' + i % 26);
    if (!write_all(out, chunk)) return false;
    chunk.clear();
    for (unsigned long i = done; i < done + size; ++i) chunk += static_cast<char>('A' + i * 7 % 26);
    if (!write_all(err, chunk)) return false;
    done += size;
  }
  return true;
}

int interleave() {
  return write_interleaved(number_from_environment(L"VORA_TOOL_BYTES", 300000)) ? 42 : 3;
}

// Writes a line to both output streams, closes the one VORA_TOOL_CLOSE names ("stdout" or
// "stderr") and only then writes VORA_TOOL_BYTES bytes to the other, so that one pipe ends while
// most of the other's output is still to come.
int close_one_early() {
  const bool stdout_first = environment(L"VORA_TOOL_CLOSE") == L"stdout";
  const HANDLE closed = GetStdHandle(stdout_first ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  const HANDLE open = GetStdHandle(stdout_first ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (!write_all(closed, "early\n") || !write_all(open, "early\n") || !CloseHandle(closed))
    return 3;
  std::string rest(number_from_environment(L"VORA_TOOL_BYTES", 300000), '\0');
  for (std::size_t i = 0; i < rest.size(); ++i) rest[i] = static_cast<char>('a' + i % 26);
  return write_all(open, rest) ? 42 : 3;
}

std::string handle_kind(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr) return "null";
  if (handle == INVALID_HANDLE_VALUE) return "invalid";
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      return "disk";
    case FILE_TYPE_PIPE:
      return "pipe";
    case FILE_TYPE_CHAR: {
      // The NUL device is also a character device; only a console answers GetConsoleMode.
      DWORD console_mode = 0;
      return GetConsoleMode(handle, &console_mode) ? "console" : "char";
    }
    default:
      return "unknown";
  }
}

// The standard handles say nothing about it: they may be pipes or the NUL device. The list of
// the console's processes names at least this one whenever there is a console.
std::string attached_to_console() {
  DWORD first = 0;
  return GetConsoleProcessList(&first, 1) != 0 ? "1" : "0";
}

// Whether standard input of kind `kind`, when it is the NUL device, reads as empty, as it does
// when it was opened for reading; a console or a pipe is not read, which could wait.
std::string stdin_reads(const std::string& kind) {
  if (kind != "char") return "unread";
  char byte = 0;
  DWORD count = 0;
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &count, nullptr)) {
    return "error " + std::to_string(GetLastError());
  }
  return count == 0 ? "empty" : "data";
}

// The standard handles, the start-up flag, the current directory and the console: whether this
// process is attached to one, and whether that console has a window, as "name value" lines.
std::string surroundings() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  std::vector<wchar_t> cwd(kLongestText);
  DWORD cwd_length = GetCurrentDirectoryW(kLongestText, cwd.data());
  if (cwd_length >= kLongestText) cwd_length = 0;
  const std::string input = handle_kind(STD_INPUT_HANDLE);
  return "stdin " + input + "\nstdinreads " + stdin_reads(input) + "\nstdout " +
         handle_kind(STD_OUTPUT_HANDLE) + "\nstderr " + handle_kind(STD_ERROR_HANDLE) +
         "\nusestdhandles " + ((startup.dwFlags & STARTF_USESTDHANDLES) ? "1" : "0") + "\ncwd " +
         wtf8(std::wstring_view(cwd.data(), cwd_length)) + "\nconsole " + attached_to_console() +
         "\nconsolewindow " + (GetConsoleWindow() != nullptr ? "1" : "0") + "\n";
}

// Appends what this start received to the log named by VORA_TOOL_LOG, one record of lines
// ended by an empty line, so that several tools started one after another leave their records in
// order. Exits with VORA_TOOL_EXIT (default 0), so that a test can make a tool fail. With
// VORA_TOOL_FLOOD it first writes that many bytes to each output stream; the record says whether
// every byte was taken.
int record() {
  const std::wstring path = environment(L"VORA_TOOL_LOG");
  if (path.empty()) return 2;
  const unsigned long flood = number_from_environment(L"VORA_TOOL_FLOOD", 0);
  const bool flooded = flood > 0 && write_interleaved(flood);
  const HANDLE file =
      CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  const bool written =
      write_all(file, "cmdline " + wtf8(GetCommandLineW()) + "\n" + surroundings() + "flooded " +
                          (flooded ? "1" : "0") + "\n\n");
  CloseHandle(file);
  if (!written) return 3;
  return static_cast<int>(number_from_environment(L"VORA_TOOL_EXIT", 0));
}

// The grandchild inherits this process's standard handles, so a pipe the test reads stays open
// after this process has exited; that is exactly the situation the test wants to provoke.
int grandchild() {
  std::vector<wchar_t> self(kLongestText);
  const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  if (length == 0 || length >= self.size()) return 4;
  std::wstring command_line = L"\"" + std::wstring(self.data(), length) + L"\"";
  SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"sleep");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(self.data(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 4;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return write_stdout("parent done\n") ? 0 : 3;
}

int sleep_then_report() {
  Sleep(static_cast<DWORD>(number_from_environment(L"VORA_TOOL_SLEEP_MS", 1500)));
  return write_stdout("grandchild done\n") ? 0 : 3;
}

}  // namespace

int main() {
  const std::wstring mode = environment(L"VORA_TOOL_MODE");
  if (mode == L"interleave") return interleave();
  if (mode == L"close-early") return close_one_early();
  if (mode == L"grandchild") return grandchild();
  if (mode == L"sleep") return sleep_then_report();
  if (mode == L"record") return record();
  return 99;
}
