#include <charconv>

#include "runtime/io_error.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

constexpr DWORD kFacilityNtBit = 0x10000000;

void append_decimal(std::string& out, std::int32_t value) {
  char digits[16];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

std::string fallback_text(std::int32_t code, std::string_view reason, std::int32_t detail,
                          bool with_detail) {
  std::string text = "OS Error ";
  append_decimal(text, code);
  text += reason;
  if (with_detail) {
    append_decimal(text, detail);
    text += ')';
  }
  return text;
}

}  // namespace

std::string os_error_text(std::int32_t code) {
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  HMODULE source = nullptr;
  auto lookup = static_cast<DWORD>(code);
  if ((lookup & kFacilityNtBit) != 0) {
    source = GetModuleHandleW(L"NTDLL.DLL");
    if (source != nullptr) {
      lookup &= ~kFacilityNtBit;
      flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
  }
  const auto shown = static_cast<std::int32_t>(lookup);

  wchar_t units[2048];
  const DWORD count = FormatMessageW(flags, source, lookup, 0, units, 2048, nullptr);
  if (count == 0) {
    const auto last_error = static_cast<std::int32_t>(GetLastError());
    return fallback_text(shown, " (FormatMessageW() returned error ", last_error, true);
  }

  // Strict conversion: an unpaired surrogate makes the whole text unusable.
  const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, units,
                                         static_cast<int>(count), nullptr, 0, nullptr, nullptr);
  if (length <= 0)
    return fallback_text(shown, " (FormatMessageW() returned invalid UTF-16)", 0, false);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, units, static_cast<int>(count), text.data(),
                      length, nullptr, nullptr);

  // Windows ends its texts with a line end.
  const std::size_t end = text.find_last_not_of(" \t\n\f\r");
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

}  // namespace vora
