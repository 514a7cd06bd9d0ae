#include "uninstall/encoded_command.hpp"

#include <cstdint>
#include <vector>

#include "env/native_text.hpp"

namespace vora {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::vector<std::uint8_t> utf16le_bytes(std::string_view script) {
  const std::u16string units = utf16_from_text(script);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

}  // namespace

std::string base64_encode(std::span<const std::uint8_t> bytes) {
  std::string encoded;
  encoded.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t left = bytes.size() - at;
    const std::uint32_t b0 = bytes[at];
    const std::uint32_t b1 = left > 1 ? bytes[at + 1] : 0;
    const std::uint32_t b2 = left > 2 ? bytes[at + 2] : 0;
    encoded += kAlphabet[b0 >> 2];
    encoded += kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    encoded += left > 1 ? kAlphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
    encoded += left > 2 ? kAlphabet[b2 & 63] : '=';
  }
  return encoded;
}

std::string encode_powershell_command(std::string_view script) {
  // The bytes are collected first: the encoder sees them whole.
  return base64_encode(utf16le_bytes(script));
}

}  // namespace vora
