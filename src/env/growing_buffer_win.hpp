#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/fatal.hpp"
#include "runtime/io_error.hpp"
#include "runtime/windows.hpp"

namespace vora {

// The protocol of Windows functions that fill a caller's UTF-16 buffer. `fill(buffer, capacity)`
// makes the call and returns its count: 0 for failure or an empty text, the capacity itself when
// the text was cut off (ERROR_INSUFFICIENT_BUFFER), a larger count for the size it needs. The
// first attempt uses 512 units on the stack; later ones a heap buffer that at least doubles.
// `take(units)` makes the result from the units written while they are still in the buffer, so
// that the common case allocates nothing but that result. Errors are the call's last error.
template <class Fill, class Take>
auto call_with_growing_buffer(Fill fill, Take take)
    -> Result<decltype(take(std::u16string_view()))> {
  constexpr std::uint64_t kMaxCapacity = 0xFFFFFFFF;
  wchar_t stack_buffer[512];
  std::vector<wchar_t> heap_buffer;
  wchar_t* buffer = stack_buffer;
  std::uint64_t capacity = 512;
  for (;;) {
    SetLastError(0);
    const DWORD count = fill(buffer, static_cast<DWORD>(capacity));
    if (count == 0) {
      if (const DWORD error = GetLastError(); error != 0) {
        return std::unexpected(IoError::os(static_cast<std::int32_t>(error)));
      }
      return take(std::u16string_view());
    }
    if (count < capacity) {
      return take(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), count));
    }
    std::uint64_t needed = count;
    if (count == capacity) {
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        fail_fatally("internal error: entered unreachable code");
      }
      needed = std::min(capacity * 2, kMaxCapacity);
    }
    if (heap_buffer.size() < needed) {
      heap_buffer.resize(std::max<std::uint64_t>(needed, heap_buffer.size() * 2));
    }
    buffer = heap_buffer.data();
    capacity = std::min<std::uint64_t>(heap_buffer.size(), kMaxCapacity);
  }
}

}  // namespace vora
