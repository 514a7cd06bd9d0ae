#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "env/native_text.hpp"
#include "fuzz_check.hpp"
#include "uninstall/encoded_command.hpp"

namespace {

using vora::fuzz::check;

std::optional<std::uint32_t> sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return std::nullopt;
}

// Strict: whole groups of four, "=" only as the last one or two characters of the last group,
// and the bits that padding leaves over must be zero.
std::optional<std::vector<std::uint8_t>> decode_base64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t at = 0; at < text.size(); at += 4) {
    const bool last = at + 4 == text.size();
    const std::size_t padding = !last ? 0 : text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const std::optional<std::uint32_t> value = i < 4 - padding ? sextet(text[at + i]) : 0;
      if (!value) return std::nullopt;
      group = (group << 6) | *value;
    }
    const std::size_t count = 3 - padding;
    if ((group & ((1u << (8 * padding)) - 1)) != 0) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(group >> (16 - 8 * i)));
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const std::string encoded = vora::base64_encode(input);
  check(encoded.size() == (size + 2) / 3 * 4, "four characters for every three bytes begun");
  const auto decoded = decode_base64(encoded);
  check(decoded.has_value(), "the encoding is well-formed Base64");
  check(std::ranges::equal(*decoded, input), "decoding gives back the bytes");

  // The script's UTF-16LE bytes are the input's own bytes when the input is read as units low
  // byte first, an odd last byte aside.
  const vora::NativeText script = vora::text_from_utf16(vora::fuzz::units_from_bytes(data, size));
  const auto command = decode_base64(vora::encode_powershell_command(script.bytes()));
  check(command.has_value() && std::ranges::equal(*command, input.first(size / 2 * 2)),
        "the encoded command is the script's UTF-16LE bytes in Base64");
  return 0;
}
