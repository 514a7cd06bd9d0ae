// Runs one program in a console of its own and says what that console shows, so that a test can
// read a report as a console user sees it without opening a window or leaving its own console.
// The test starts it in a new console whose window stays hidden.
// Command line: console_host "<program>" <the program's exact command line>
// Standard output: the program's exit code and its main thread's id on the first line, then each
// line the console shows, without the spaces that pad it to the console's width.
#include <windows.h>

#include <string>
#include <string_view>

namespace {

std::string utf8(std::wstring_view text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                      nullptr, nullptr);
  return bytes;
}

std::string console_lines(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(console, &info);
  std::string lines;
  std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
  // The row the cursor stands on counts only once something was written on it.
  const int rows = info.dwCursorPosition.Y + (info.dwCursorPosition.X > 0 ? 1 : 0);
  for (SHORT y = 0; y < rows; ++y) {
    DWORD count = 0;
    ReadConsoleOutputCharacterW(console, row.data(), static_cast<DWORD>(row.size()), COORD{0, y},
                                &count);
    const std::wstring_view shown(row.data(), count);
    lines += utf8(shown.substr(0, shown.find_last_not_of(L' ') + 1)) + "\n";
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
  const HANDLE console =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inheritable, OPEN_EXISTING, 0, nullptr);
  // Wide enough that no line of a report wraps.
  if (console == INVALID_HANDLE_VALUE || !SetConsoleScreenBufferSize(console, COORD{240, 100})) {
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
  const std::string shown =
      std::to_string(code) + " " + std::to_string(info.dwThreadId) + "\n" + console_lines(console);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), shown.data(), static_cast<DWORD>(shown.size()),
            &written, nullptr);
  return 0;
}
