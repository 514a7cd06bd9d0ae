#include "support/child_process.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "runtime/owned_handle.hpp"

namespace vora::testing {
namespace {

SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};

std::string read_all(HANDLE handle) {
  std::string bytes;
  char chunk[4096];
  DWORD count = 0;
  while (ReadFile(handle, chunk, sizeof chunk, &count, nullptr) && count > 0) {
    bytes.append(chunk, count);
  }
  return bytes;
}

// Each child runs in a job that ends it, with whatever it started, once the run is over.
UniqueHandle job_that_ends_its_processes() {
  UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  EXPECT_TRUE(job && SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                             sizeof limits))
      << GetLastError();
  return job;
}

}  // namespace

std::string utf8(std::wstring_view text) {
  const std::u8string bytes = std::filesystem::path(text).u8string();
  return std::string(bytes.begin(), bytes.end());
}

std::wstring test_folder() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

ChildRun run_child(std::wstring program, std::wstring command_line, StderrTarget target) {
  UniqueHandle reader;
  UniqueHandle writer;
  UniqueFile output;
  // A console's report comes back through the host's standard output.
  if (target == StderrTarget::Pipe || target == StderrTarget::Console) {
    HANDLE ends[2] = {};
    EXPECT_TRUE(CreatePipe(&ends[0], &ends[1], &inheritable, 0));
    SetHandleInformation(ends[0], HANDLE_FLAG_INHERIT, 0);
    reader.reset(ends[0]);
    writer.reset(ends[1]);
  } else if (target == StderrTarget::File) {
    output.reset(
        CreateFileW((test_folder() + L"stderr-" + std::to_wstring(GetCurrentProcessId())).c_str(),
                    GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  // Without a console to fall back on, the child's null handles stay null.
  DWORD flags = target == StderrTarget::None ? DETACHED_PROCESS : 0;
  if (target == StderrTarget::Console) {
    command_line = L"console_host \"" + program + L"\" " + command_line;
    program = test_folder() + L"console_host.exe";
    startup.hStdOutput = writer.get();
    flags = CREATE_NO_WINDOW;
  } else {
    startup.hStdError = writer ? writer.get() : output ? output.get() : nullptr;
  }
  PROCESS_INFORMATION info{};
  ChildRun run;
  const UniqueHandle job = job_that_ends_its_processes();
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                      flags | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info)) {
    ADD_FAILURE() << "CreateProcessW failed with " << GetLastError();
    return run;
  }
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);
  EXPECT_TRUE(AssignProcessToJobObject(job.get(), process.get())) << GetLastError();
  ResumeThread(thread.get());
  writer.reset();
  std::thread reading;
  if (reader) reading = std::thread([&] { run.stderr_bytes = read_all(reader.get()); });
  const bool ended = WaitForSingleObject(process.get(), 60000) == WAIT_OBJECT_0;
  EXPECT_TRUE(ended) << "still running after 60 s, ended now";
  if (!ended) TerminateJobObject(job.get(), 1);
  if (reading.joinable()) reading.join();
  EXPECT_TRUE(GetExitCodeProcess(process.get(), &run.exit_code));
  if (target == StderrTarget::File) {
    SetFilePointer(output.get(), 0, nullptr, FILE_BEGIN);
    run.stderr_bytes = read_all(output.get());
  }
  DWORD main_thread = info.dwThreadId;
  if (target == StderrTarget::Console) {
    run.stderr_bytes =
        utf8(std::wstring_view(reinterpret_cast<const wchar_t*>(run.stderr_bytes.data()),
                               run.stderr_bytes.size() / sizeof(wchar_t)));
    const std::size_t head = run.stderr_bytes.find('\n');
    EXPECT_EQ(std::sscanf(run.stderr_bytes.c_str(), "%lu %lu", &run.exit_code, &main_thread), 2)
        << run.stderr_bytes;
    run.stderr_bytes.erase(0, head == std::string::npos ? head : head + 1);
  }
  const std::string id = "(" + std::to_string(main_thread) + ")";
  for (std::size_t at; (at = run.stderr_bytes.find(id)) != std::string::npos;) {
    run.stderr_bytes.replace(at, id.size(), "(main)");
  }
  return run;
}

}  // namespace vora::testing
