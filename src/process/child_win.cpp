#include "process/child_win.hpp"

#include "env/long_path.hpp"
#include "env/wide_string.hpp"
#include "env/win_text.hpp"
#include "process/pipes_win.hpp"
#include "process/program_search_win.hpp"
#include "runtime/fatal.hpp"

namespace vora {
namespace {

// Every inheritable handle that exists during any CreateProcessW with inheritance on goes to
// that child; the lock keeps each start's handles away from the others.
SRWLOCK g_process_creation_lock = SRWLOCK_INIT;

class ProcessCreationLock {
 public:
  ProcessCreationLock() { AcquireSRWLockExclusive(&g_process_creation_lock); }
  ~ProcessCreationLock() { ReleaseSRWLockExclusive(&g_process_creation_lock); }
  ProcessCreationLock(const ProcessCreationLock&) = delete;
  ProcessCreationLock& operator=(const ProcessCreationLock&) = delete;
};

IoError last_os_error() { return IoError::os(static_cast<std::int32_t>(GetLastError())); }

std::string_view stream_name(DWORD stream) {
  if (stream == STD_INPUT_HANDLE) return "stdin";
  if (stream == STD_OUTPUT_HANDLE) return "stdout";
  return "stderr";
}

Result<UniqueHandle> inherited_handle(DWORD stream) {
  const HANDLE own = GetStdHandle(stream);
  if (own == nullptr || own == INVALID_HANDLE_VALUE) return UniqueHandle();
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return std::unexpected(last_os_error());
  }
  return UniqueHandle(copy);
}

Result<UniqueHandle> null_device(DWORD stream) {
  Result<WideString> path = make_wide_string("\\\\.\\NUL");
  if (path) path = long_path_form(*std::move(path), true);
  if (!path) return std::unexpected(path.error());
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const DWORD access = stream == STD_INPUT_HANDLE ? GENERIC_READ : GENERIC_WRITE;
  UniqueFile device(CreateFileW(win_text(*path), access,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                &inheritable, OPEN_EXISTING, 0, nullptr));
  if (!device) {
    const IoError error = last_os_error();
    std::string message = "failed to open NUL device for child ";
    message += stream_name(stream);
    message += ": ";
    append_message_text(message, error);
    return std::unexpected(IoError::custom(error.kind(), std::move(message)));
  }
  return UniqueHandle(device.release());
}

}  // namespace

Result<UniqueHandle> child_handle_for(StdioMode mode, DWORD stream, UniqueHandle& slot) {
  switch (mode) {
    case StdioMode::Inherit:
      return inherited_handle(stream);
    case StdioMode::Null:
      return null_device(stream);
    case StdioMode::Pipe: {
      Result<ChildPipe> pipe = open_child_pipe(stream != STD_INPUT_HANDLE);
      if (!pipe) return std::unexpected(pipe.error());
      slot = std::move(pipe->parent_end);
      return std::move(pipe->child_end);
    }
  }
  return UniqueHandle();
}

Result<StartedChild> start_child(const ChildCommand& command, StdioMode default_mode,
                                 bool stdin_follows_default) {
  const Result<WideString> application = locate_program(command.program);
  if (!application) return std::unexpected(application.error());
  if (Result<void> script = refuse_script_file(*application); !script) {
    return std::unexpected(script.error());
  }
  Result<std::u16string> command_line = compose_command_line(command.program, command.args);
  if (!command_line) return std::unexpected(command_line.error());
  const DWORD flags = command.creation_flags | CREATE_UNICODE_ENVIRONMENT;
  std::optional<WideString> directory;
  if (command.working_directory) {
    Result<WideString> wide = make_wide_string(command.working_directory->bytes());
    if (!wide) return std::unexpected(wide.error());
    directory = *std::move(wide);
  }

  const ProcessCreationLock lock;
  StartedChild started;
  const StdioMode modes[] = {
      command.stdin_mode.value_or(stdin_follows_default ? default_mode : StdioMode::Null),
      command.stdout_mode.value_or(default_mode), command.stderr_mode.value_or(default_mode)};
  const DWORD streams[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  UniqueHandle* slots[] = {&started.stdin_end, &started.stdout_end, &started.stderr_end};
  UniqueHandle child_handles[3];
  for (int i = 0; i < 3; ++i) {
    Result<UniqueHandle> handle = child_handle_for(modes[i], streams[i], *slots[i]);
    if (!handle) return std::unexpected(handle.error());
    child_handles[i] = *std::move(handle);
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (child_handles[0] || child_handles[1] || child_handles[2]) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_handles[0].get();
    startup.hStdOutput = child_handles[1].get();
    startup.hStdError = child_handles[2].get();
  }
  PROCESS_INFORMATION information{};
  if (!CreateProcessW(win_text(*application), reinterpret_cast<wchar_t*>(command_line->data()),
                      nullptr, nullptr, TRUE, flags, nullptr,
                      directory ? win_text(*directory) : nullptr, &startup, &information)) {
    return std::unexpected(last_os_error());
  }
  started.process.reset(information.hProcess);
  started.main_thread.reset(information.hThread);
  return started;
}

Result<ChildOutput> collect_output(const ChildCommand& command) {
  Result<StartedChild> started = start_child(command, StdioMode::Pipe, false);
  if (!started) return std::unexpected(started.error());
  started->stdin_end.reset();  // the child sees the end of its input

  ChildOutput output;
  if (started->stdout_end && started->stderr_end) {
    require_ok(drain_pipes(std::move(started->stdout_end), output.stdout_bytes,
                           std::move(started->stderr_end), output.stderr_bytes));
  } else if (started->stdout_end) {
    require_ok(drain_pipe(std::move(started->stdout_end), output.stdout_bytes));
  } else if (started->stderr_end) {
    require_ok(drain_pipe(std::move(started->stderr_end), output.stderr_bytes));
  }

  if (WaitForSingleObject(started->process.get(), INFINITE) != WAIT_OBJECT_0) {
    return std::unexpected(last_os_error());
  }
  DWORD exit_code = 0;
  if (!GetExitCodeProcess(started->process.get(), &exit_code)) {
    return std::unexpected(last_os_error());
  }
  output.exit_code = exit_code;
  return output;
}

void run_and_collect(std::string_view program, std::span<const std::string_view> args) {
  ChildCommand command;
  command.program = program;
  command.creation_flags = CREATE_NO_WINDOW;
  command.stdin_mode = StdioMode::Null;
  for (const std::string_view arg : args) command.args.push_back(CommandArg{std::string(arg)});
  (void)collect_output(command);
}

void spawn_detached(const ChildCommand& command) {
  Result<StartedChild> started = start_child(command, StdioMode::Inherit, true);
  if (!started) return;
  // Nobody waits: the child runs on alone.
  started->process.reset();
  started->main_thread.reset();
}

}  // namespace vora
