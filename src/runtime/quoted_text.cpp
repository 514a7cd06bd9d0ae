#include "runtime/quoted_text.hpp"

#include <cstdint>
#include <optional>

#include "runtime/unicode_tables.hpp"

namespace vora {
namespace {

struct Decoded {
  char32_t value;
  std::size_t length;
};

// Decodes one WTF-8 sequence: UTF-8 that may also hold the three-byte form of a surrogate.
// Overlong forms and values above U+10FFFF are not well-formed.
std::optional<Decoded> decode_at(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return Decoded{lead, 1};
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - at < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (byte(i) & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF) return std::nullopt;
  return Decoded{value, length};
}

void append_hex(std::string& out, std::uint32_t value) {
  constexpr char kDigits[] = "0123456789abcdef";
  char digits[8];
  int count = 0;
  do {
    digits[count++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (count > 0) out += digits[--count];
}

void append_escaped(std::string& out, char32_t c, std::string_view bytes) {
  switch (c) {
    case U'"':
      out += "\\\"";
      return;
    case U'\\':
      out += "\\\\";
      return;
    case U'\0':
      out += "\\0";
      return;
    case U'\t':
      out += "\\t";
      return;
    case U'\n':
      out += "\\n";
      return;
    case U'\r':
      out += "\\r";
      return;
    default:
      break;
  }
  if (needs_unicode_escape(c)) {
    out += "\\u{";
    append_hex(out, c);
    out += '}';
  } else {
    out += bytes;
  }
}

}  // namespace

void append_quoted(std::string& out, std::string_view text) {
  out += '"';
  std::size_t at = 0;
  while (at < text.size()) {
    if (const auto decoded = decode_at(text, at)) {
      append_escaped(out, decoded->value, text.substr(at, decoded->length));
      at += decoded->length;
    } else {
      out += "\\x";
      const auto value = static_cast<std::uint8_t>(text[at]);
      if (value < 0x10) out += '0';
      append_hex(out, value);
      ++at;
    }
  }
  out += '"';
}

std::string quoted(std::string_view text) {
  std::string out;
  append_quoted(out, text);
  return out;
}

}  // namespace vora
