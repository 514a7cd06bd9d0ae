#pragma once

#include <cstddef>
#include <string_view>

namespace vora {

// A text that is a constant of the program: it can only be made from a string literal, so it
// lives as long as the process and is never released.
class FixedText {
 public:
  template <std::size_t N>
  consteval FixedText(const char (&literal)[N]) : text_(literal, N - 1) {}  // NOLINT: implicit

  constexpr std::string_view view() const { return text_; }

 private:
  std::string_view text_;
};

}  // namespace vora
