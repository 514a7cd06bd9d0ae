#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "runtime/quoted_text.hpp"
#include "runtime/unicode_tables.hpp"

namespace {

using vora::fuzz::check;

struct Decoded {
  char32_t value;
  std::size_t length;
};

// One sequence of strict UTF-8: no overlong form, no surrogate, nothing above U+10FFFF.
std::optional<Decoded> decode_utf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  // The count of leading one bits is the length of the sequence, none for a single byte.
  const auto ones = static_cast<std::size_t>(std::countl_one(lead));
  const std::size_t length = ones == 0 ? 1 : ones >= 2 && ones <= 4 ? ones : 0;
  if (length == 0 || text.size() - at < length) return std::nullopt;
  char32_t value = length == 1 ? lead : lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (next & 0x3Fu);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return std::nullopt;
  }
  return Decoded{value, length};
}

bool is_lower_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

std::uint32_t hex_value(std::string_view digits) {
  std::uint32_t value = 0;
  for (const char c : digits) {
    value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
  }
  return value;
}

// Reads the quoted form back into the text, or none when it strays from what append_quoted
// promises: strict UTF-8 outside escapes, no character left unescaped that needs an escape, no
// escape for one that does not, lowercase hex without leading zeros.
std::optional<std::string> unquote(std::string_view quoted) {
  if (quoted.size() < 2 || !quoted.starts_with('"') || !quoted.ends_with('"')) return std::nullopt;
  const std::string_view inside = quoted.substr(1, quoted.size() - 2);
  std::string text;
  for (std::size_t at = 0; at < inside.size();) {
    if (inside[at] != '\\') {
      const auto decoded = decode_utf8(inside, at);
      if (!decoded || decoded->value == U'"' || vora::needs_unicode_escape(decoded->value)) {
        return std::nullopt;
      }
      text += inside.substr(at, decoded->length);
      at += decoded->length;
      continue;
    }
    const std::string_view rest = inside.substr(at + 1);
    constexpr std::string_view kShort = "\"\\0tnr";
    constexpr std::string_view kShortMeaning("\"\\\0\t\n\r", 6);
    if (rest.empty()) return std::nullopt;
    if (const std::size_t which = kShort.find(rest[0]); which != std::string_view::npos) {
      text += kShortMeaning[which];
      at += 2;
    } else if (rest[0] == 'x') {
      if (rest.size() < 3 || !is_lower_hex(rest[1]) || !is_lower_hex(rest[2])) return std::nullopt;
      text += static_cast<char>(hex_value(rest.substr(1, 2)));
      at += 4;
    } else if (rest.starts_with("u{")) {
      const std::size_t close = rest.find('}');
      if (close == std::string_view::npos) return std::nullopt;
      const std::string_view digits = rest.substr(2, close - 2);
      if (digits.empty() || digits.size() > 6 || (digits.starts_with('0') && digits.size() > 1) ||
          !std::ranges::all_of(digits, is_lower_hex)) {
        return std::nullopt;
      }
      const char32_t value = hex_value(digits);
      if (value > 0x10FFFF || !vora::needs_unicode_escape(value)) return std::nullopt;
      vora::fuzz::append_utf8_form(text, value);
      at += 1 + close + 1;
    } else {
      return std::nullopt;
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string quoted = vora::quoted(text);
  const std::optional<std::string> read_back = unquote(quoted);
  check(read_back.has_value(), "the quoted form is well-formed");
  check(*read_back == text, "the quoted form reads back as the text");

  std::string appended = "x";
  vora::append_quoted(appended, text);
  check(appended == "x" + quoted, "append_quoted appends the quoted form");
  return 0;
}
