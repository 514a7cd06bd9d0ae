#pragma once

// The few native API entry points of ntdll that the program calls, declared here because the
// SDK headers offer them only through winternl.h, which clashes with the rest of <windows.h>.
#include "runtime/windows.hpp"

namespace vora::nt {

using NTSTATUS = LONG;

inline constexpr NTSTATUS kStatusPending = 0x103;

struct IoStatusBlock {
  union {
    NTSTATUS status;
    void* pointer;
  };
  ULONG_PTR information;
};

using IoApcRoutine = void(NTAPI*)(void* context, IoStatusBlock* block, ULONG reserved);

inline bool succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace vora::nt

extern "C" {
__declspec(dllimport) vora::nt::NTSTATUS NTAPI
    NtWriteFile(HANDLE file, HANDLE event, vora::nt::IoApcRoutine apc_routine, void* apc_context,
                vora::nt::IoStatusBlock* io_status, const void* buffer, ULONG length,
                LARGE_INTEGER* byte_offset, ULONG* key);
__declspec(dllimport) ULONG NTAPI RtlNtStatusToDosError(vora::nt::NTSTATUS status);
}
