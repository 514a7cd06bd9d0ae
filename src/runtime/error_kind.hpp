#pragma once

#include <cstdint>
#include <string_view>

namespace vora {

// What went wrong, independent of the operating system's code for it. The order is fixed.
enum class ErrorKind : std::uint8_t {
  NotFound,
  PermissionDenied,
  ConnectionRefused,
  ConnectionReset,
  HostUnreachable,
  NetworkUnreachable,
  ConnectionAborted,
  NotConnected,
  AddrInUse,
  AddrNotAvailable,
  NetworkDown,
  BrokenPipe,
  AlreadyExists,
  WouldBlock,
  NotADirectory,
  IsADirectory,
  DirectoryNotEmpty,
  ReadOnlyFilesystem,
  FilesystemLoop,
  StaleNetworkFileHandle,
  InvalidInput,
  InvalidData,
  TimedOut,
  WriteZero,
  StorageFull,
  NotSeekable,
  QuotaExceeded,
  FileTooLarge,
  ResourceBusy,
  ExecutableFileBusy,
  Deadlock,
  CrossesDevices,
  TooManyLinks,
  InvalidFilename,
  ArgumentListTooLong,
  Interrupted,
  Unsupported,
  UnexpectedEof,
  OutOfMemory,
  InProgress,
  TooManyOpenFiles,
  InputOutputError,
  Other,
  Uncategorized,
};

inline constexpr int kErrorKindCount = 44;

// The kind's name as the debug form of an error shows it ("NotFound").
std::string_view kind_name(ErrorKind kind);

// The kind's description, the message form of an error that is a kind alone ("entity not found").
std::string_view kind_description(ErrorKind kind);

// The kind a Windows error code belongs to; Uncategorized for every code without one.
ErrorKind error_kind_of(std::int32_t code);

}  // namespace vora
