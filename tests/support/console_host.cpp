// Runs one program with a console screen buffer as its standard error and says what that buffer
// shows, so that a test can read a report as a console user sees it without opening a window or
// leaving its own console. The test starts it with CREATE_NO_WINDOW: a console application "being
// run without a console window" (Process Creation Flags, Microsoft Learn), so there is no window
// that a default terminal such as Windows Terminal could take over.
// Command line: console_host "<program>" <the program's exact command line>
// Standard output, in UTF-16: the program's exit code and its main thread's id on the first line,
// then each line the console shows, without the spaces that pad it to the console's width.
#include <windows.h>

#include <string>
#include <string_view>

namespace {

std::wstring console_lines(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(console, &info);
  std::wstring lines;
  std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
  // The row the cursor stands on counts only once something was written on it.
  const int rows = info.dwCursorPosition.Y + (info.dwCursorPosition.X > 0 ? 1 : 0);
  for (SHORT y = 0; y < rows; ++y) {
    DWORD count = 0;
    ReadConsoleOutputCharacterW(console, row.data(), static_cast<DWORD>(row.size()), COORD{0, y},
                                &count);
    const std::wstring_view shown(row.data(), count);
    lines += std::wstring(shown.substr(0, shown.find_last_not_of(L' ') + 1)) + L"\n";
  }
  return lines;
}

}  // namespace

int main() {
  const std::wstring_view own = GetCommandLineW();
  const std::size_t start = own.find(L'"');
  const std::size_t end = own.find(L'"', start + 1);
  if (start == std::wstring_view::npos || end == std::wstring_view::npos) return 2;
  const std::wstring program(own.substr(start + 1, end - start - 1));
  std::wstring line(own.substr(std::min(end + 2, own.size())));

  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  // A buffer of its own, never made active: "Inactive screen buffers can be accessed for reading
  // and writing, but only the active screen buffer is displayed" (CreateConsoleScreenBuffer,
  // Microsoft Learn), so its size is the host's to choose whatever shows the console, if anything.
  const HANDLE console =
      CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inheritable, CONSOLE_TEXTMODE_BUFFER, nullptr);
  // Wide enough that no line of a report wraps, and taller than any window: a buffer may not be
  // smaller than its window (SetConsoleScreenBufferSize, Microsoft Learn), a new buffer is only
  // as large as the window, and Wine gives a console without a window one of 150 rows.
  if (console == INVALID_HANDLE_VALUE || !SetConsoleScreenBufferSize(console, COORD{240, 1000})) {
    return 3;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = console;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return 4;
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  const std::wstring shown = std::to_wstring(code) + L" " + std::to_wstring(info.dwThreadId) +
                             L"\n" + console_lines(console);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), shown.data(),
            static_cast<DWORD>(shown.size() * sizeof(wchar_t)), &written, nullptr);
  return 0;
}
