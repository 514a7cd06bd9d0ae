#include "support/child_process.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/owned_handle.hpp"

namespace vora::testing {

bool running_under_wine() {
  // Wine's ntdll has an export that Windows' lacks.
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool display_available() {
  // With room for one character the call returns 0 for a missing and for an empty variable alike.
  wchar_t first[2];
  return GetEnvironmentVariableW(L"DISPLAY", first, 2) != 0;
}

std::wstring test_folder() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

namespace {

SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};

UniqueFile create_stderr_file(const std::wstring& path) {
  return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

std::string read_file_from_start(HANDLE file) {
  std::string bytes;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char chunk[4096];
  DWORD count = 0;
  while (ReadFile(file, chunk, sizeof chunk, &count, nullptr) && count > 0) {
    bytes.append(chunk, count);
  }
  return bytes;
}

// A fresh console of this process's own, its screen cleared, for a child to write to.
UniqueFile fresh_console() {
  FreeConsole();
  if (!AllocConsole()) return UniqueFile();
  UniqueFile console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                                 nullptr));
  // Wide enough that no line of a report wraps.
  constexpr COORD kSize{240, 100};
  if (console && SetConsoleScreenBufferSize(console.get(), kSize)) {
    DWORD written = 0;
    FillConsoleOutputCharacterW(console.get(), L' ', DWORD{kSize.X} * DWORD{kSize.Y}, COORD{0, 0},
                                &written);
    SetConsoleCursorPosition(console.get(), COORD{0, 0});
  } else {
    ADD_FAILURE() << "no console to write to: " << GetLastError();
  }
  return console;
}

std::string read_console_lines(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(console, &info)) return {};
  std::string lines;
  std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
  // The row the cursor stands on counts only once something was written on it.
  const SHORT rows =
      static_cast<SHORT>(info.dwCursorPosition.Y + (info.dwCursorPosition.X > 0 ? 1 : 0));
  for (SHORT y = 0; y < rows; ++y) {
    DWORD count = 0;
    ReadConsoleOutputCharacterW(console, row.data(), static_cast<DWORD>(row.size()), COORD{0, y},
                                &count);
    std::wstring_view shown(row.data(), count);
    shown = shown.substr(0, shown.find_last_not_of(L' ') + 1);
    const int length = WideCharToMultiByte(CP_UTF8, 0, shown.data(), static_cast<int>(shown.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, shown.data(), static_cast<int>(shown.size()), utf8.data(),
                        length, nullptr, nullptr);
    lines += utf8 + "\n";
  }
  return lines;
}

}  // namespace

ChildRun run_child(const std::wstring& program, const std::wstring& command_line,
                   StderrTarget target) {
  ChildRun run;
  UniqueHandle read_end;
  UniqueHandle write_end;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  DWORD flags = 0;
  UniqueFile output;
  if (target == StderrTarget::Pipe) {
    HANDLE read_raw = nullptr;
    HANDLE write_raw = nullptr;
    EXPECT_TRUE(CreatePipe(&read_raw, &write_raw, &inheritable, 0));
    read_end.reset(read_raw);
    write_end.reset(write_raw);
    SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
    startup.hStdError = write_end.get();
  } else if (target == StderrTarget::File) {
    output = create_stderr_file(test_folder() + L"stderr-" +
                                std::to_wstring(GetCurrentProcessId()) + L".txt");
    EXPECT_TRUE(output);
    startup.hStdError = output.get();
  } else if (target == StderrTarget::Console) {
    output = fresh_console();
    EXPECT_TRUE(output);
    startup.hStdError = output.get();
  } else {
    // Without a console to fall back on, the child's null handles stay null.
    flags |= DETACHED_PROCESS;
  }

  std::vector<wchar_t> line(command_line.begin(), command_line.end());
  line.push_back(L'\0');
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                      &startup, &info)) {
    ADD_FAILURE() << "CreateProcessW failed with " << GetLastError();
    return run;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  run.main_thread_id = info.dwThreadId;
  write_end.reset();

  if (read_end) {
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(read_end.get(), chunk, sizeof chunk, &count, nullptr) && count > 0) {
      run.stderr_bytes.append(chunk, count);
    }
  }
  EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(process.get(), &run.exit_code));
  if (target == StderrTarget::File) run.stderr_bytes = read_file_from_start(output.get());
  if (target == StderrTarget::Console) run.stderr_bytes = read_console_lines(output.get());
  return run;
}

}  // namespace vora::testing
