#include <algorithm>

#include "runtime/console_text.hpp"
#include "runtime/fatal.hpp"
#include "runtime/nt_api.hpp"
#include "runtime/stderr.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

IoError last_os_error() { return IoError::os(static_cast<std::int32_t>(GetLastError())); }

class WindowsConsole final : public ConsoleUnits {
 public:
  explicit WindowsConsole(HANDLE handle) : handle_(handle) {}

  std::size_t to_utf16(std::string_view utf8, std::span<char16_t, kCapacity> units) override {
    const int count = MultiByteToWideChar(
        CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
        reinterpret_cast<wchar_t*>(units.data()), static_cast<int>(units.size()));
    return static_cast<std::size_t>(std::max(count, 0));
  }

  Result<std::size_t> write(std::span<const char16_t> units) override {
    DWORD written = 0;
    if (!WriteConsoleW(handle_, units.data(), static_cast<DWORD>(units.size()), &written,
                       nullptr)) {
      return std::unexpected(last_os_error());
    }
    return written;
  }

 private:
  HANDLE handle_;
};

Result<std::size_t> write_bytes(HANDLE handle, std::span<const std::uint8_t> bytes) {
  nt::IoStatusBlock block{};
  block.status = nt::kStatusPending;
  const auto length = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), 0xFFFFFFFF));
  nt::NTSTATUS status = NtWriteFile(handle, nullptr, nullptr, nullptr, &block, bytes.data(), length,
                                    nullptr, nullptr);
  if (status == nt::kStatusPending) {
    WaitForSingleObject(handle, INFINITE);
    status = block.status;
    if (status == nt::kStatusPending) {
      fatal_runtime_error("I/O error: operation failed to complete synchronously");
    }
  }
  if (!nt::succeeded(status)) {
    return std::unexpected(IoError::os(static_cast<std::int32_t>(RtlNtStatusToDosError(status))));
  }
  return static_cast<std::size_t>(block.information);
}

}  // namespace

Result<std::size_t> stderr_write(std::span<const std::uint8_t> bytes, PendingUtf8& pending) {
  if (bytes.empty()) return 0;
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr) return std::unexpected(IoError::os(ERROR_INVALID_HANDLE));
  if (handle == INVALID_HANDLE_VALUE) return std::unexpected(last_os_error());
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode) && GetConsoleOutputCP() != CP_UTF8) {
    WindowsConsole console(handle);
    return console_write(bytes, pending, console);
  }
  return write_bytes(handle, bytes);
}

}  // namespace vora
