#include "runtime/stderr.hpp"

namespace vora {

Result<void> stderr_write_all(std::span<const std::uint8_t> bytes, PendingUtf8& pending) {
  while (!bytes.empty()) {
    const Result<std::size_t> written = stderr_write(bytes, pending);
    if (!written) {
      if (written.error().kind() == ErrorKind::Interrupted) continue;
      return std::unexpected(written.error());
    }
    if (*written == 0) {
      return std::unexpected(
          IoError::message(ErrorKind::WriteZero, "failed to write whole buffer"));
    }
    bytes = bytes.subspan(*written);
  }
  return {};
}

Result<void> stderr_write_all(std::string_view text, PendingUtf8& pending) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  return stderr_write_all(std::span(bytes, text.size()), pending);
}

}  // namespace vora
