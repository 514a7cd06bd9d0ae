#include "runtime/error_kind.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace vora {
namespace {

struct KindText {
  std::string_view name;
  std::string_view description;
};

// Read at compile time only: the program keeps the packed form below.
constexpr std::array<KindText, kErrorKindCount> kKindTexts{{
    {"NotFound", "entity not found"},
    {"PermissionDenied", "permission denied"},
    {"ConnectionRefused", "connection refused"},
    {"ConnectionReset", "connection reset"},
    {"HostUnreachable", "host unreachable"},
    {"NetworkUnreachable", "network unreachable"},
    {"ConnectionAborted", "connection aborted"},
    {"NotConnected", "not connected"},
    {"AddrInUse", "address in use"},
    {"AddrNotAvailable", "address not available"},
    {"NetworkDown", "network down"},
    {"BrokenPipe", "broken pipe"},
    {"AlreadyExists", "entity already exists"},
    {"WouldBlock", "operation would block"},
    {"NotADirectory", "not a directory"},
    {"IsADirectory", "is a directory"},
    {"DirectoryNotEmpty", "directory not empty"},
    {"ReadOnlyFilesystem", "read-only filesystem or storage medium"},
    {"FilesystemLoop", "filesystem loop or indirection limit (e.g. symlink loop)"},
    {"StaleNetworkFileHandle", "stale network file handle"},
    {"InvalidInput", "invalid input parameter"},
    {"InvalidData", "invalid data"},
    {"TimedOut", "timed out"},
    {"WriteZero", "write zero"},
    {"StorageFull", "no storage space"},
    {"NotSeekable", "seek on unseekable file"},
    {"QuotaExceeded", "quota exceeded"},
    {"FileTooLarge", "file too large"},
    {"ResourceBusy", "resource busy"},
    {"ExecutableFileBusy", "executable file busy"},
    {"Deadlock", "deadlock"},
    {"CrossesDevices", "cross-device link or rename"},
    {"TooManyLinks", "too many links"},
    {"InvalidFilename", "invalid filename"},
    {"ArgumentListTooLong", "argument list too long"},
    {"Interrupted", "operation interrupted"},
    {"Unsupported", "unsupported"},
    {"UnexpectedEof", "unexpected end of file"},
    {"OutOfMemory", "out of memory"},
    {"InProgress", "in progress"},
    {"TooManyOpenFiles", "too many open files"},
    {"InputOutputError", "input/output error"},
    {"Other", "other error"},
    {"Uncategorized", "uncategorized error"},
}};

constexpr std::size_t kKindTextBytes = [] {
  std::size_t bytes = 0;
  for (const KindText& text : kKindTexts) bytes += text.name.size() + text.description.size();
  return bytes;
}();

// Every name and description one after the other, and where each starts: an eighth of the
// size of a table of string views, and no relocation for each text.
struct PackedKindTexts {
  char bytes[kKindTextBytes];
  std::uint16_t starts[2 * kErrorKindCount + 1];

  std::string_view text(std::size_t index) const {
    return std::string_view(bytes + starts[index], starts[index + 1] - starts[index]);
  }
};

constexpr PackedKindTexts kPackedKindTexts = [] {
  PackedKindTexts packed{};
  std::size_t end = 0;
  std::size_t index = 0;
  for (const KindText& text : kKindTexts) {
    for (const std::string_view part : {text.name, text.description}) {
      packed.starts[index++] = static_cast<std::uint16_t>(end);
      for (const char c : part) packed.bytes[end++] = c;
    }
  }
  packed.starts[index] = static_cast<std::uint16_t>(end);
  return packed;
}();

// The starts are 16 bits wide: texts beyond that would wrap around silently.
static_assert(kKindTextBytes <= UINT16_MAX);

// Every code with a kind fits in 16 bits, which halves the table.
struct CodeKind {
  std::uint16_t code;
  ErrorKind kind;
};

// Sorted by code for the binary search below.
constexpr CodeKind kCodeKinds[]{
    {2, ErrorKind::NotFound},
    {3, ErrorKind::NotFound},
    {4, ErrorKind::TooManyOpenFiles},
    {5, ErrorKind::PermissionDenied},
    {8, ErrorKind::OutOfMemory},
    {14, ErrorKind::OutOfMemory},
    {15, ErrorKind::NotFound},
    {17, ErrorKind::CrossesDevices},
    {19, ErrorKind::ReadOnlyFilesystem},
    {39, ErrorKind::StorageFull},
    {53, ErrorKind::NotFound},
    {67, ErrorKind::NotFound},
    {80, ErrorKind::AlreadyExists},
    {87, ErrorKind::InvalidInput},
    {109, ErrorKind::BrokenPipe},
    {112, ErrorKind::StorageFull},
    {120, ErrorKind::Unsupported},
    {121, ErrorKind::TimedOut},
    {123, ErrorKind::InvalidFilename},
    {131, ErrorKind::InvalidInput},
    {132, ErrorKind::NotSeekable},
    {145, ErrorKind::DirectoryNotEmpty},
    {161, ErrorKind::InvalidFilename},
    {170, ErrorKind::ResourceBusy},
    {183, ErrorKind::AlreadyExists},
    {206, ErrorKind::InvalidFilename},
    {223, ErrorKind::FileTooLarge},
    {232, ErrorKind::BrokenPipe},
    {258, ErrorKind::TimedOut},
    {267, ErrorKind::NotADirectory},
    {336, ErrorKind::IsADirectory},
    {594, ErrorKind::TimedOut},
    {995, ErrorKind::TimedOut},
    {1053, ErrorKind::TimedOut},
    {1117, ErrorKind::InputOutputError},
    {1121, ErrorKind::TimedOut},
    {1131, ErrorKind::Deadlock},
    {1142, ErrorKind::TooManyLinks},
    {1231, ErrorKind::NetworkUnreachable},
    {1232, ErrorKind::HostUnreachable},
    {1295, ErrorKind::QuotaExceeded},
    {1460, ErrorKind::TimedOut},
    {1921, ErrorKind::FilesystemLoop},
    {5910, ErrorKind::TimedOut},
    {7012, ErrorKind::TimedOut},
    {7040, ErrorKind::TimedOut},
    {8014, ErrorKind::TimedOut},
    {8226, ErrorKind::TimedOut},
    {9705, ErrorKind::TimedOut},
    {10013, ErrorKind::PermissionDenied},
    {10022, ErrorKind::InvalidInput},
    {10024, ErrorKind::TooManyOpenFiles},
    {10035, ErrorKind::WouldBlock},
    {10048, ErrorKind::AddrInUse},
    {10049, ErrorKind::AddrNotAvailable},
    {10050, ErrorKind::NetworkDown},
    {10051, ErrorKind::NetworkUnreachable},
    {10053, ErrorKind::ConnectionAborted},
    {10054, ErrorKind::ConnectionReset},
    {10057, ErrorKind::NotConnected},
    {10058, ErrorKind::BrokenPipe},
    {10060, ErrorKind::TimedOut},
    {10061, ErrorKind::ConnectionRefused},
    {10065, ErrorKind::HostUnreachable},
    {10069, ErrorKind::QuotaExceeded},
    {13805, ErrorKind::TimedOut},
    {15402, ErrorKind::TimedOut},
    {15403, ErrorKind::TimedOut},
};

static_assert(std::ranges::is_sorted(kCodeKinds, {}, &CodeKind::code));

}  // namespace

std::string_view kind_name(ErrorKind kind) {
  return kPackedKindTexts.text(2 * std::size_t{std::to_underlying(kind)});
}

std::string_view kind_description(ErrorKind kind) {
  return kPackedKindTexts.text(2 * std::size_t{std::to_underlying(kind)} + 1);
}

ErrorKind error_kind_of(std::int32_t code) {
  const auto* found = std::lower_bound(
      std::begin(kCodeKinds), std::end(kCodeKinds), code,
      [](const CodeKind& entry, std::int32_t wanted) { return entry.code < wanted; });
  if (found != std::end(kCodeKinds) && found->code == code) return found->kind;
  return ErrorKind::Uncategorized;
}

}  // namespace vora
