#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vora {

// The one-line script that removes the application's shortcuts: Vora.lnk on the current user's
// desktop and in the Start menu's programs folder, silently skipping what is not there.
inline constexpr std::string_view kShortcutRemovalScript =
    "foreach($d in 'Desktop','Programs'){ Remove-Item -Force -ErrorAction SilentlyContinue "
    "(Join-Path ([Environment]::GetFolderPath($d)) 'Vora.lnk') }";

// Standard Base64 (RFC 4648 alphabet) with "=" padding and no line breaks.
std::string base64_encode(std::span<const std::uint8_t> bytes);

// The argument of powershell's -EncodedCommand for a script: its UTF-16LE bytes in standard
// Base64 with padding, no line breaks. Code points beyond U+FFFF become surrogate pairs.
std::string encode_powershell_command(std::string_view script);

// The powershell child's arguments: the user's profile scripts stay out and no execution policy
// refuses the command; the last is the encoded script, whose text must outlive the array.
constexpr std::array<std::string_view, 5> powershell_arguments(std::string_view encoded_script) {
  return {"-NoProfile", "-ExecutionPolicy", "Bypass", "-EncodedCommand", encoded_script};
}

}  // namespace vora
