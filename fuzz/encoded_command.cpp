#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "env/native_text.hpp"
#include "fuzz_check.hpp"
#include "uninstall/encoded_command.hpp"

namespace {

using vora::fuzz::check;

// Standard Base64 written out group by group: four characters for every three bytes begun, "="
// for each character that no byte of the group reaches.
std::string reference_base64(std::span<const std::uint8_t> bytes) {
  constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - at);
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < 3; ++i) group = group << 8 | (i < count ? bytes[at + i] : 0u);
    for (std::size_t i = 0; i < 4; ++i) {
      text += i <= count ? kAlphabet[(group >> (18 - 6 * i)) & 63] : '=';
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  check(vora::base64_encode(input) == reference_base64(input),
        "the encoding is standard Base64 with padding");
  // The script's UTF-16LE bytes are the input's own bytes when the input is read as units low
  // byte first, an odd last byte aside.
  const vora::NativeText script = vora::text_from_utf16(vora::fuzz::units_from_bytes(data, size));
  check(vora::encode_powershell_command(script.bytes()) ==
            reference_base64(input.first(size / 2 * 2)),
        "the encoded command is the script's UTF-16LE bytes in Base64");
  return 0;
}
