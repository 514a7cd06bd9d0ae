#include "runtime/console_text.hpp"

#include <algorithm>
#include <array>

#include "runtime/fatal.hpp"

namespace vora {
namespace {

// Width of a sequence by its first byte; 0 for a byte that cannot start one.
std::size_t sequence_width(std::uint8_t first) {
  if (first < 0x80) return 1;
  if (first >= 0xC2 && first <= 0xDF) return 2;
  if (first >= 0xE0 && first <= 0xEF) return 3;
  if (first >= 0xF0 && first <= 0xF4) return 4;
  return 0;
}

bool is_continuation(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }

IoError not_utf8() {
  return IoError::message(ErrorKind::InvalidData,
                          "Windows stdio in console mode does not support writing non-UTF-8 byte "
                          "sequences");
}

// Bytes of UTF-8 that the units stand for; a low surrogate counts 1 so that a pair counts 4.
std::size_t utf8_length_of(std::span<const char16_t> units) {
  std::size_t length = 0;
  for (const char16_t unit : units) {
    if (unit < 0x80) {
      length += 1;
    } else if (unit < 0x800) {
      length += 2;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      length += 1;
    } else {
      length += 3;
    }
  }
  return length;
}

Result<std::size_t> write_valid_utf8(std::span<const std::uint8_t> utf8, ConsoleUnits& console) {
  std::array<char16_t, ConsoleUnits::kCapacity> units;
  const std::string_view text(reinterpret_cast<const char*>(utf8.data()), utf8.size());
  const std::size_t count = console.to_utf16(text, units);
  if (count == 0) fail_fatally("Unexpected error in MultiByteToWideChar");
  const Result<std::size_t> taken = console.write(std::span(units.data(), count));
  if (!taken) return std::unexpected(taken.error());
  std::size_t written = *taken;
  if (written == count) return utf8.size();
  // Never leave half a surrogate pair behind: the low half goes out on its own.
  const char16_t next = units[written];
  if (next >= 0xDC00 && next <= 0xDFFF) {
    (void)console.write(std::span(&units[written], 1));
    ++written;
  }
  return utf8_length_of(std::span(units.data(), written));
}

Result<std::size_t> complete_pending(std::uint8_t byte, PendingUtf8& pending,
                                     ConsoleUnits& console) {
  if (pending.count >= 4)
    fail_fatally("Unexpected number of bytes for incomplete UTF-8 codepoint.");
  if (!is_continuation(byte)) {
    pending.count = 0;
    return std::unexpected(not_utf8());
  }
  pending.bytes[pending.count++] = byte;
  if (pending.count < sequence_width(pending.bytes[0])) return 1;
  const std::span held(pending.bytes, pending.count);
  pending.count = 0;
  if (valid_utf8_prefix(held) != held.size()) return std::unexpected(not_utf8());
  const Result<std::size_t> written = write_valid_utf8(held, console);
  if (!written) return std::unexpected(written.error());
  return 1;
}

}  // namespace

std::size_t valid_utf8_prefix(std::span<const std::uint8_t> bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::uint8_t first = bytes[at];
    const std::size_t width = sequence_width(first);
    if (width == 0 || bytes.size() - at < width) return at;
    if (width > 1) {
      const std::uint8_t second = bytes[at + 1];
      // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
      const std::uint8_t low = first == 0xE0 ? 0xA0 : first == 0xF0 ? 0x90 : 0x80;
      const std::uint8_t high = first == 0xED ? 0x9F : first == 0xF4 ? 0x8F : 0xBF;
      if (second < low || second > high) return at;
      for (std::size_t i = 2; i < width; ++i) {
        if (!is_continuation(bytes[at + i])) return at;
      }
    }
    at += width;
  }
  return at;
}

Result<std::size_t> console_write(std::span<const std::uint8_t> bytes, PendingUtf8& pending,
                                  ConsoleUnits& console) {
  if (bytes.empty()) return 0;
  if (pending.count > 0) return complete_pending(bytes[0], pending, console);

  const auto chunk = bytes.first(std::min(bytes.size(), ConsoleUnits::kCapacity));
  const std::size_t valid = valid_utf8_prefix(chunk);
  if (valid > 0) return write_valid_utf8(chunk.first(valid), console);

  const std::size_t width = sequence_width(bytes[0]);
  if (width >= 2 && bytes.size() < width) {
    pending.bytes[0] = bytes[0];
    pending.count = 1;
    return 1;
  }
  return std::unexpected(not_utf8());
}

}  // namespace vora
