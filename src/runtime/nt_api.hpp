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

struct CountedUnicode {
  USHORT length;  // in bytes, without a terminator
  USHORT maximum_length;
  const wchar_t* buffer;
};

struct ObjectAttributes {
  ULONG length;
  HANDLE root_directory;
  const CountedUnicode* object_name;
  ULONG attributes;
  void* security_descriptor;
  void* security_quality_of_service;
};
static_assert(sizeof(ObjectAttributes) == 48);

inline constexpr ULONG kObjInherit = 0x2;
inline constexpr ULONG kFileCreate = 2;
inline constexpr ULONG kFileSynchronousIoNonalert = 0x20;
inline constexpr ULONG kFileNonDirectoryFile = 0x40;

inline bool succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace vora::nt

extern "C" {
__declspec(dllimport) vora::nt::NTSTATUS NTAPI
    NtWriteFile(HANDLE file, HANDLE event, vora::nt::IoApcRoutine apc_routine, void* apc_context,
                vora::nt::IoStatusBlock* io_status, const void* buffer, ULONG length,
                LARGE_INTEGER* byte_offset, ULONG* key);
__declspec(dllimport) ULONG NTAPI RtlNtStatusToDosError(vora::nt::NTSTATUS status);
__declspec(dllimport) vora::nt::NTSTATUS NTAPI
    NtOpenFile(HANDLE* file, ACCESS_MASK desired_access,
               const vora::nt::ObjectAttributes* attributes, vora::nt::IoStatusBlock* io_status,
               ULONG share_access, ULONG open_options);
__declspec(dllimport) vora::nt::NTSTATUS NTAPI
    NtCreateNamedPipeFile(HANDLE* file, ULONG desired_access,
                          const vora::nt::ObjectAttributes* attributes,
                          vora::nt::IoStatusBlock* io_status, ULONG share_access,
                          ULONG create_disposition, ULONG create_options, ULONG named_pipe_type,
                          ULONG read_mode, ULONG completion_mode, ULONG maximum_instances,
                          ULONG inbound_quota, ULONG outbound_quota,
                          LARGE_INTEGER* default_timeout);
}
