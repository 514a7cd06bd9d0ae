#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/io_error.hpp"
#include "runtime/stderr.hpp"

namespace vora {

// What writing UTF-8 to a console that is not in the UTF-8 code page needs from the console:
// a conversion to UTF-16 and a write of UTF-16 units. The Windows layer uses
// MultiByteToWideChar and WriteConsoleW.
class ConsoleUnits {
 public:
  static constexpr std::size_t kCapacity = 4096;

  // Converts valid UTF-8 of at most kCapacity bytes into `units`; returns the number of units,
  // or 0 when the conversion failed.
  virtual std::size_t to_utf16(std::string_view utf8, std::span<char16_t, kCapacity> units) = 0;
  // Writes units to the console; returns how many it took, or the console's error.
  virtual Result<std::size_t> write(std::span<const char16_t> units) = 0;

 protected:
  ~ConsoleUnits() = default;
};

// One write of `bytes` on the console path: valid UTF-8 goes out as UTF-16 and the result
// counts the UTF-8 bytes consumed; the start of a sequence cut off at the end of `bytes` is held
// back in `pending` and completed byte by byte by later calls; bytes that are not UTF-8 give the
// InvalidData error. Ends the process on a state that valid input cannot reach.
[[nodiscard]] Result<std::size_t> console_write(std::span<const std::uint8_t> bytes,
                                                PendingUtf8& pending, ConsoleUnits& console);

// Length of the longest beginning of `bytes` that is well-formed UTF-8.
std::size_t valid_utf8_prefix(std::span<const std::uint8_t> bytes);

}  // namespace vora
