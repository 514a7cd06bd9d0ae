// Standard error of the native test build: plain POSIX writes, no console conversion.
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "runtime/stderr.hpp"

namespace vora {

Result<std::size_t> stderr_write(std::span<const std::uint8_t> bytes, PendingUtf8&) {
  if (bytes.empty()) return 0;
  const ssize_t written = ::write(STDERR_FILENO, bytes.data(), bytes.size());
  if (written < 0) {
    return std::unexpected(
        IoError::from_kind(errno == EINTR ? ErrorKind::Interrupted : ErrorKind::Uncategorized));
  }
  return static_cast<std::size_t>(written);
}

}  // namespace vora
