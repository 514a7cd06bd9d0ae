#pragma once

#include "process/byte_buffer.hpp"
#include "runtime/io_error.hpp"
#include "runtime/owned_handle.hpp"

namespace vora {

struct ChildPipe {
  UniqueHandle parent_end;  // overlapped reads (or writes) allowed; not inheritable
  UniqueHandle child_end;   // synchronous, inheritable
};

// A new anonymous pipe for one standard stream of a child, made in the named-pipe directory of
// the NT object namespace: the parent reads when `parent_reads` (stdout, stderr) and writes
// otherwise (stdin). The error is the Windows code of the failed NT call.
[[nodiscard]] Result<ChildPipe> open_child_pipe(bool parent_reads);

// Reads both output pipes of a child to their ends on the calling thread, with overlapped reads
// and one event per pipe, so that a child that fills one pipe never blocks while the other is
// read. Takes both ends over and closes them.
[[nodiscard]] Result<void> drain_pipes(UniqueHandle stdout_end, ByteBuffer& stdout_bytes,
                                       UniqueHandle stderr_end, ByteBuffer& stderr_bytes);

// Reads one output pipe to its end; takes the end over and closes it.
[[nodiscard]] Result<void> drain_pipe(UniqueHandle end, ByteBuffer& bytes);

}  // namespace vora
