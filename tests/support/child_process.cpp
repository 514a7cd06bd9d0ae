#include "support/child_process.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "runtime/owned_handle.hpp"

namespace vora::testing {
namespace {

SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};

// A fresh console of this process's own, wide enough that no line of a report wraps.
UniqueFile fresh_console() {
  FreeConsole();
  EXPECT_TRUE(AllocConsole()) << GetLastError();
  UniqueFile console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                                 nullptr));
  EXPECT_TRUE(SetConsoleScreenBufferSize(console.get(), COORD{240, 100})) << GetLastError();
  return console;
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

std::string read_all(HANDLE handle) {
  std::string bytes;
  char chunk[4096];
  DWORD count = 0;
  while (ReadFile(handle, chunk, sizeof chunk, &count, nullptr) && count > 0) {
    bytes.append(chunk, count);
  }
  return bytes;
}

}  // namespace

std::string utf8(std::wstring_view text) {
  const std::u8string bytes = std::filesystem::path(text).u8string();
  return std::string(bytes.begin(), bytes.end());
}

bool running_under_wine() {
  // Wine's ntdll has an export that Windows' lacks.
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring test_folder() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

ChildRun run_child(const std::wstring& program, const std::wstring& command_line,
                   StderrTarget target) {
  UniqueHandle reader;
  UniqueHandle writer;
  UniqueFile output;
  if (target == StderrTarget::Pipe) {
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    EXPECT_TRUE(CreatePipe(&read_end, &write_end, &inheritable, 0));
    reader.reset(read_end);
    writer.reset(write_end);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  } else if (target == StderrTarget::File) {
    output.reset(
        CreateFileW((test_folder() + L"stderr-" + std::to_wstring(GetCurrentProcessId())).c_str(),
                    GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  } else if (target == StderrTarget::Console) {
    output = fresh_console();
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = writer ? writer.get() : output ? output.get() : nullptr;
  std::wstring line = command_line;
  PROCESS_INFORMATION info{};
  ChildRun run;
  // Without a console to fall back on, the child's null handles stay null.
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                      target == StderrTarget::None ? DETACHED_PROCESS : 0, nullptr, nullptr,
                      &startup, &info)) {
    ADD_FAILURE() << "CreateProcessW failed with " << GetLastError();
    return run;
  }
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);
  writer.reset();
  if (reader) run.stderr_bytes = read_all(reader.get());
  EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(process.get(), &run.exit_code));
  if (target == StderrTarget::File) {
    SetFilePointer(output.get(), 0, nullptr, FILE_BEGIN);
    run.stderr_bytes = read_all(output.get());
  }
  if (target == StderrTarget::Console) run.stderr_bytes = console_lines(output.get());
  const std::string id = "(" + std::to_string(info.dwThreadId) + ")";
  for (std::size_t at; (at = run.stderr_bytes.find(id)) != std::string::npos;) {
    run.stderr_bytes.replace(at, id.size(), "(main)");
  }
  return run;
}

}  // namespace vora::testing
