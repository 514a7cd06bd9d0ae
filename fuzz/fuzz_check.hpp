#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <source_location>
#include <string>
#include <vector>

namespace vora::fuzz {

// Ends the run when `holds` is false, naming the property and its line; libFuzzer takes the
// abort for a crash and keeps the input that caused it.
inline void check(bool holds, const char* property,
                  std::source_location where = std::source_location::current()) {
  if (holds) return;
  std::fprintf(stderr, "%s:%u: property failed: %s\n", where.file_name(),
               static_cast<unsigned>(where.line()), property);
  std::abort();
}

// The input as UTF-16 units, two bytes each, low byte first; an odd last byte is dropped. Any
// unit can appear, NUL and unpaired surrogates included.
inline std::u16string units_from_bytes(const std::uint8_t* data, std::size_t size) {
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  return units;
}

// Each byte is the unit of that value, so that path and quoting syntax is one byte away for the
// mutator; 0xFF and the two bytes after it, low byte first, reach every other unit. NUL units
// separate the pieces, so that none holds a NUL.
inline std::vector<std::u16string> unit_pieces(const std::uint8_t* data, std::size_t size) {
  std::vector<std::u16string> pieces(1);
  for (std::size_t at = 0; at < size; ++at) {
    char16_t unit = data[at];
    if (unit == 0xFF) {
      if (size - at < 3) break;
      unit = static_cast<char16_t>(data[at + 1] | (data[at + 2] << 8));
      at += 2;
    }
    if (unit == u'\0') {
      pieces.emplace_back();
    } else {
      pieces.back() += unit;
    }
  }
  return pieces;
}

// Appends the UTF-8 form of `c`, surrogates taking the three-byte form of their value as WTF-8
// has it. Written out bit by bit, apart from the product's encoder, so that a mistake made the
// same way there in both directions of a conversion still shows.
inline void append_utf8_form(std::string& out, char32_t c) {
  const int continuation = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  constexpr unsigned kLeadMarks[] = {0x00, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLeadMarks[continuation] | (c >> (6 * continuation)));
  for (int i = continuation - 1; i >= 0; --i) {
    out += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
  }
}

}  // namespace vora::fuzz
