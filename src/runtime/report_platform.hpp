#pragma once

#include <cstdint>

namespace vora {

// What the failure report needs from the operating system. Every function here works without
// the heap, so that it can run after memory has run out.

// The operating system's id of the calling thread.
std::uint64_t current_os_thread_id();

// The process-wide lock that keeps two reports from interleaving.
class ReportLock {
 public:
  ReportLock();
  ~ReportLock();
  ReportLock(const ReportLock&) = delete;
  ReportLock& operator=(const ReportLock&) = delete;
};

// Whether the environment asks for backtraces (VORA_BACKTRACE set to anything but "0").
bool backtrace_requested_by_environment();

// Writes the calling thread's backtrace to standard error; write errors are ignored.
void write_backtrace();

}  // namespace vora
