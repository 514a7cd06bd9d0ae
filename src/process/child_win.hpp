#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "env/native_text.hpp"
#include "process/byte_buffer.hpp"
#include "process/command_args.hpp"
#include "runtime/io_error.hpp"
#include "runtime/owned_handle.hpp"

namespace vora {

// How one standard handle of a child is provided.
enum class StdioMode {
  Inherit,  // a duplicate of the parent's own handle, or none when the parent has none
  Null,     // the NUL device
  Pipe,     // the child end of a new pipe; the parent keeps the other end
};

// A child process to start: a program as the caller names it ("taskkill"), its arguments, extra
// creation flags and, for each standard handle, how it is provided (unset: the default of the
// operation that starts it).
struct ChildCommand {
  std::string program;
  std::vector<CommandArg> args;
  std::uint32_t creation_flags = 0;
  std::optional<StdioMode> stdin_mode;
  std::optional<StdioMode> stdout_mode;
  std::optional<StdioMode> stderr_mode;
  // Where the child starts; unset: the parent's current directory.
  std::optional<NativeText> working_directory;
};

// A started child: the caller owns and must close every handle.
struct StartedChild {
  UniqueHandle process;
  UniqueHandle main_thread;
  UniqueHandle stdin_end;  // the parent's end of each pipe, present only for Pipe
  UniqueHandle stdout_end;
  UniqueHandle stderr_end;
};

// What a child that ran to its end yields.
struct ChildOutput {
  std::uint32_t exit_code = 0;
  ByteBuffer stdout_bytes;
  ByteBuffer stderr_bytes;
};

// Starts `command`: finds its program, composes its command line and provides its standard
// handles, `default_mode` for those the command leaves unset (stdin falls back to Null unless
// `stdin_follows_default`). Inheritable handles exist only while a process-wide lock is held. A
// start that fails leaves no handle open.
[[nodiscard]] Result<StartedChild> start_child(const ChildCommand& command, StdioMode default_mode,
                                               bool stdin_follows_default);

// The handle a child gets for `stream` (STD_INPUT_HANDLE, STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE) under `mode`, possibly none; for Pipe the parent's end goes into `slot`.
[[nodiscard]] Result<UniqueHandle> child_handle_for(StdioMode mode, DWORD stream,
                                                    UniqueHandle& slot);

// Runs `command` with its output on pipes, drains both while it runs and waits for its end. A
// failure while draining ends the process.
[[nodiscard]] Result<ChildOutput> collect_output(const ChildCommand& command);

// Runs a tool hidden (CREATE_NO_WINDOW) with the NUL device as input, collects and throws away
// its output, and waits for it. Whatever happens to the tool is ignored.
void run_and_collect(std::string_view program, std::span<const std::string_view> args);

// Starts `command` and lets it go at once: no wait, no handle kept. A failure to start is
// ignored.
void spawn_detached(const ChildCommand& command);

}  // namespace vora
