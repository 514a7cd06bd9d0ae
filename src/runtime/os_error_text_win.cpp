#include "runtime/decimal.hpp"
#include "runtime/io_error.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

constexpr DWORD kFacilityNtBit = 0x10000000;

// "OS Error <code> (<why><detail>)", for a code that has no usable system text.
std::string fallback_text(std::int32_t code, std::string_view why, std::string_view detail = {}) {
  std::string text = "OS Error ";
  text += Decimal(code).view();
  text += " (";
  text += why;
  text += detail;
  text += ')';
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
    const Decimal last_error(static_cast<std::int32_t>(GetLastError()));
    return fallback_text(shown, "FormatMessageW() returned error ", last_error.view());
  }

  // Strict conversion: an unpaired surrogate makes the whole text unusable.
  const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, units,
                                         static_cast<int>(count), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return fallback_text(shown, "FormatMessageW() returned invalid UTF-16");
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, units, static_cast<int>(count), text.data(),
                      length, nullptr, nullptr);

  // Windows ends its texts with a line end.
  const std::size_t end = text.find_last_not_of(" \t\n\f\r");
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

}  // namespace vora
