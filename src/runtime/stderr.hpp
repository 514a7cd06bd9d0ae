#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/io_error.hpp"

namespace vora {

// The start of a UTF-8 sequence that a writer aimed at a console holds back until the rest
// arrives. Each text written to standard error as a unit uses a fresh one.
struct PendingUtf8 {
  std::uint8_t bytes[4] = {};
  std::uint8_t count = 0;
};

// Writes some of `bytes` to the process's standard error and returns how many were consumed
// (bytes held back in `pending` count as consumed). Errors: the Windows code of a missing or
// failing handle; InvalidData for bytes that are not UTF-8 when the handle is a console that is
// not in the UTF-8 code page.
[[nodiscard]] Result<std::size_t> stderr_write(std::span<const std::uint8_t> bytes,
                                               PendingUtf8& pending);

// Writes all of `bytes`, retrying after Interrupted; a write that consumes nothing gives the
// WriteZero error "failed to write whole buffer".
[[nodiscard]] Result<void> stderr_write_all(std::span<const std::uint8_t> bytes,
                                            PendingUtf8& pending);
[[nodiscard]] Result<void> stderr_write_all(std::string_view text, PendingUtf8& pending);

}  // namespace vora
