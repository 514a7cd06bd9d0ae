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

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Strict: whole groups of four, "=" only as the last one or two characters, and the bits that
// padding leaves over must be zero.
std::optional<std::vector<std::uint8_t>> decode_base64(std::string_view text) {
  const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  std::uint32_t bits = 0;
  unsigned pending = 0;
  for (const char c : text.substr(0, text.size() - padding)) {
    const std::size_t value = kAlphabet.find(c);
    if (value == std::string_view::npos) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    pending += 6;
    if (pending >= 8) {
      pending -= 8;
      bytes.push_back(static_cast<std::uint8_t>(bits >> pending));
    }
  }
  if ((bits & ((1u << pending) - 1)) != 0) return std::nullopt;
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
