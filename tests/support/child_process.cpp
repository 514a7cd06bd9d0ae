#include "support/child_process.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/owned_handle.hpp"

namespace vora::testing {

bool running_under_wine() {
  // Wine's ntdll has an export that Windows' lacks.
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring test_folder() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

ChildRun run_child(const std::wstring& program, const std::wstring& command_line,
                   StderrTarget target) {
  ChildRun run;
  UniqueHandle read_end;
  UniqueHandle write_end;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  DWORD flags = 0;
  if (target == StderrTarget::Pipe) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE read_raw = nullptr;
    HANDLE write_raw = nullptr;
    EXPECT_TRUE(CreatePipe(&read_raw, &write_raw, &inheritable, 0));
    read_end.reset(read_raw);
    write_end.reset(write_raw);
    SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
    startup.hStdError = write_end.get();
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
  return run;
}

}  // namespace vora::testing
