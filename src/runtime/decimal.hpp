#pragma once

#include <charconv>
#include <concepts>
#include <string_view>

namespace vora {

// The decimal digits of an integer, held on the stack: usable where the heap is not.
class Decimal {
 public:
  template <std::integral T>
  explicit Decimal(T value)
      : length_(static_cast<std::size_t>(
            std::to_chars(digits_, digits_ + sizeof digits_, value).ptr - digits_)) {}

  std::string_view view() const { return {digits_, length_}; }

 private:
  char digits_[24];
  std::size_t length_;
};

}  // namespace vora
