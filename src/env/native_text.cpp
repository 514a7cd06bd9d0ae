#include "env/native_text.hpp"

#include <array>
#include <cstdint>

namespace vora {
namespace {

constexpr std::size_t kSurrogateFormSize = 3;

bool is_lead_form(std::string_view bytes, std::size_t at) {
  return bytes.size() - at >= kSurrogateFormSize && static_cast<std::uint8_t>(bytes[at]) == 0xED &&
         (static_cast<std::uint8_t>(bytes[at + 1]) & 0xF0) == 0xA0;
}

bool is_trail_form(std::string_view bytes, std::size_t at) {
  return bytes.size() - at >= kSurrogateFormSize && static_cast<std::uint8_t>(bytes[at]) == 0xED &&
         (static_cast<std::uint8_t>(bytes[at + 1]) & 0xF0) == 0xB0;
}

char16_t surrogate_of(std::string_view form) {
  return static_cast<char16_t>(0xD000 | ((static_cast<std::uint8_t>(form[1]) & 0x3F) << 6) |
                               (static_cast<std::uint8_t>(form[2]) & 0x3F));
}

// The four bytes of a code point beyond U+FFFF.
std::array<char, 4> four_byte_form(char32_t c) {
  return {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
          static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
}

void append_code_point(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    const std::array<char, 4> form = four_byte_form(c);
    out.append(form.data(), form.size());
  }
}

char32_t pair_value(char16_t lead, char16_t trail) {
  return 0x10000 + ((static_cast<char32_t>(lead) - 0xD800) << 10) +
         (static_cast<char32_t>(trail) - 0xDC00);
}

bool is_lead(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_trail(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

void NativeText::append(std::string_view wtf8) {
  const std::size_t end = bytes_.size();
  if (end < kSurrogateFormSize || !is_lead_form(bytes_, end - kSurrogateFormSize) ||
      !is_trail_form(wtf8, 0)) {
    bytes_ += wtf8;
    return;
  }
  const char16_t lead = surrogate_of(std::string_view(bytes_).substr(end - kSurrogateFormSize));
  const char16_t trail = surrogate_of(wtf8);
  const std::array<char, 4> pair = four_byte_form(pair_value(lead, trail));
  // `wtf8` may lie in this very text: its bytes are appended while the text is still whole, and
  // only then is the lead surrogate replaced.
  bytes_.append(wtf8.substr(kSurrogateFormSize));
  bytes_.replace(end - kSurrogateFormSize, kSurrogateFormSize, pair.data(), pair.size());
}

bool holds_surrogate(std::string_view wtf8) {
  for (std::size_t at = wtf8.find('\xED'); at != std::string_view::npos;
       at = wtf8.find('\xED', at + 1)) {
    if (at + 1 < wtf8.size() && static_cast<std::uint8_t>(wtf8[at + 1]) >= 0xA0) return true;
  }
  return false;
}

NativeText text_from_utf16(std::u16string_view units) {
  std::string bytes;
  bytes.reserve(units.size());
  for (std::size_t at = 0; at < units.size(); ++at) {
    const char16_t unit = units[at];
    if (is_lead(unit) && at + 1 < units.size() && is_trail(units[at + 1])) {
      append_code_point(bytes, pair_value(unit, units[at + 1]));
      ++at;
    } else {
      append_code_point(bytes, unit);
    }
  }
  return NativeText::adopt(std::move(bytes));
}

void append_utf16_from_text(std::u16string& units, std::string_view wtf8) {
  for (std::size_t at = 0; at < wtf8.size();) {
    const auto lead = static_cast<std::uint8_t>(wtf8[at]);
    const std::size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t value = width == 1 ? lead : lead & (0x7Fu >> width);
    for (std::size_t i = 1; i < width && at + i < wtf8.size(); ++i) {
      value = (value << 6) | (static_cast<std::uint8_t>(wtf8[at + i]) & 0x3Fu);
    }
    if (value >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(value);
    }
    at += width;
  }
}

std::u16string utf16_from_text(std::string_view wtf8) {
  std::u16string units;
  append_utf16_from_text(units, wtf8);
  return units;
}

PathText path_text(const NativeText& text) {
  const std::string_view bytes = text.bytes();
  PathText result;
  if (!holds_surrogate(bytes)) {
    result.borrowed_ = bytes;
    return result;
  }
  std::string& out = result.owned_;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    if (static_cast<std::uint8_t>(bytes[at]) == 0xED && at + 2 < bytes.size() &&
        static_cast<std::uint8_t>(bytes[at + 1]) >= 0xA0) {
      out += "\xEF\xBF\xBD";
      at += kSurrogateFormSize;
    } else {
      out += bytes[at++];
    }
  }
  return result;
}

}  // namespace vora
