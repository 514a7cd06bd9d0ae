#include "runtime/error_kind.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vora {
namespace {

struct KindRow {
  ErrorKind kind;
  std::string_view name;
  std::string_view description;
  std::vector<std::int32_t> codes;
};

// Every kind in its fixed order, with the Windows codes that belong to it.
const std::vector<KindRow> kKinds = {
    {ErrorKind::NotFound, "NotFound", "entity not found", {2, 3, 15, 53, 67}},
    {ErrorKind::PermissionDenied, "PermissionDenied", "permission denied", {5, 10013}},
    {ErrorKind::ConnectionRefused, "ConnectionRefused", "connection refused", {10061}},
    {ErrorKind::ConnectionReset, "ConnectionReset", "connection reset", {10054}},
    {ErrorKind::HostUnreachable, "HostUnreachable", "host unreachable", {1232, 10065}},
    {ErrorKind::NetworkUnreachable, "NetworkUnreachable", "network unreachable", {1231, 10051}},
    {ErrorKind::ConnectionAborted, "ConnectionAborted", "connection aborted", {10053}},
    {ErrorKind::NotConnected, "NotConnected", "not connected", {10057}},
    {ErrorKind::AddrInUse, "AddrInUse", "address in use", {10048}},
    {ErrorKind::AddrNotAvailable, "AddrNotAvailable", "address not available", {10049}},
    {ErrorKind::NetworkDown, "NetworkDown", "network down", {10050}},
    {ErrorKind::BrokenPipe, "BrokenPipe", "broken pipe", {109, 232, 10058}},
    {ErrorKind::AlreadyExists, "AlreadyExists", "entity already exists", {80, 183}},
    {ErrorKind::WouldBlock, "WouldBlock", "operation would block", {10035}},
    {ErrorKind::NotADirectory, "NotADirectory", "not a directory", {267}},
    {ErrorKind::IsADirectory, "IsADirectory", "is a directory", {336}},
    {ErrorKind::DirectoryNotEmpty, "DirectoryNotEmpty", "directory not empty", {145}},
    {ErrorKind::ReadOnlyFilesystem,
     "ReadOnlyFilesystem",
     "read-only filesystem or storage medium",
     {19}},
    {ErrorKind::FilesystemLoop,
     "FilesystemLoop",
     "filesystem loop or indirection limit (e.g. symlink loop)",
     {1921}},
    {ErrorKind::StaleNetworkFileHandle, "StaleNetworkFileHandle", "stale network file handle", {}},
    {ErrorKind::InvalidInput, "InvalidInput", "invalid input parameter", {87, 131, 10022}},
    {ErrorKind::InvalidData, "InvalidData", "invalid data", {}},
    {ErrorKind::TimedOut,
     "TimedOut",
     "timed out",
     {121, 258, 594, 995, 1053, 1121, 1460, 5910, 7012, 7040, 8014, 8226, 9705, 10060, 13805, 15402,
      15403}},
    {ErrorKind::WriteZero, "WriteZero", "write zero", {}},
    {ErrorKind::StorageFull, "StorageFull", "no storage space", {39, 112}},
    {ErrorKind::NotSeekable, "NotSeekable", "seek on unseekable file", {132}},
    {ErrorKind::QuotaExceeded, "QuotaExceeded", "quota exceeded", {1295, 10069}},
    {ErrorKind::FileTooLarge, "FileTooLarge", "file too large", {223}},
    {ErrorKind::ResourceBusy, "ResourceBusy", "resource busy", {170}},
    {ErrorKind::ExecutableFileBusy, "ExecutableFileBusy", "executable file busy", {}},
    {ErrorKind::Deadlock, "Deadlock", "deadlock", {1131}},
    {ErrorKind::CrossesDevices, "CrossesDevices", "cross-device link or rename", {17}},
    {ErrorKind::TooManyLinks, "TooManyLinks", "too many links", {1142}},
    {ErrorKind::InvalidFilename, "InvalidFilename", "invalid filename", {123, 161, 206}},
    {ErrorKind::ArgumentListTooLong, "ArgumentListTooLong", "argument list too long", {}},
    {ErrorKind::Interrupted, "Interrupted", "operation interrupted", {}},
    {ErrorKind::Unsupported, "Unsupported", "unsupported", {120}},
    {ErrorKind::UnexpectedEof, "UnexpectedEof", "unexpected end of file", {}},
    {ErrorKind::OutOfMemory, "OutOfMemory", "out of memory", {8, 14}},
    {ErrorKind::InProgress, "InProgress", "in progress", {}},
    {ErrorKind::TooManyOpenFiles, "TooManyOpenFiles", "too many open files", {4, 10024}},
    {ErrorKind::InputOutputError, "InputOutputError", "input/output error", {1117}},
    {ErrorKind::Other, "Other", "other error", {}},
    {ErrorKind::Uncategorized, "Uncategorized", "uncategorized error", {}},
};

TEST(ErrorKind, EveryKindHasItsNameDescriptionAndPlace) {
  ASSERT_EQ(kKinds.size(), static_cast<std::size_t>(kErrorKindCount));
  for (std::size_t i = 0; i < kKinds.size(); ++i) {
    const KindRow& row = kKinds[i];
    EXPECT_EQ(static_cast<std::size_t>(row.kind), i) << row.name;
    EXPECT_EQ(kind_name(row.kind), row.name);
    EXPECT_EQ(kind_description(row.kind), row.description);
  }
}

TEST(ErrorKind, WindowsCodesMapToTheirKindAndEveryOtherCodeIsUncategorized) {
  std::set<std::int32_t> listed;
  for (const KindRow& row : kKinds) {
    for (const std::int32_t code : row.codes) {
      EXPECT_EQ(error_kind_of(code), row.kind) << code;
      listed.insert(code);
    }
  }
  for (std::int32_t code = -2; code <= 16000; ++code) {
    if (!listed.contains(code)) {
      EXPECT_EQ(error_kind_of(code), ErrorKind::Uncategorized) << code;
    }
  }
  for (const std::int32_t code : {INT32_MIN, -5, 15404, 65535, INT32_MAX}) {
    EXPECT_EQ(error_kind_of(code), ErrorKind::Uncategorized) << code;
  }
}

}  // namespace
}  // namespace vora
