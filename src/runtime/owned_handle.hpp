#pragma once

#include <utility>

#include "runtime/windows.hpp"

namespace vora {

// The one owner of a Windows handle: move-only, closes it on every way out. `Invalid` is the
// value the kind of handle uses for "none" (NULL for most, INVALID_HANDLE_VALUE for files and
// searches). Closing keeps the caller's last error intact, so that an error taken after a
// failed call survives the clean-up.
template <class Traits>
class OwnedHandle {
 public:
  using Raw = typename Traits::Raw;

  OwnedHandle() = default;
  explicit OwnedHandle(Raw raw) : raw_(raw) {}
  OwnedHandle(OwnedHandle&& other) noexcept : raw_(std::exchange(other.raw_, Traits::invalid())) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.raw_, Traits::invalid()));
    return *this;
  }
  ~OwnedHandle() { reset(); }

  explicit operator bool() const { return raw_ != Traits::invalid(); }
  Raw get() const { return raw_; }
  [[nodiscard]] Raw release() { return std::exchange(raw_, Traits::invalid()); }

  void reset(Raw raw = Traits::invalid()) {
    if (raw_ != Traits::invalid()) {
      const DWORD last_error = GetLastError();
      Traits::close(raw_);
      SetLastError(last_error);
    }
    raw_ = raw;
  }

 private:
  Raw raw_ = Traits::invalid();
};

struct KernelHandleTraits {
  using Raw = HANDLE;
  static Raw invalid() { return nullptr; }
  static void close(Raw raw) { CloseHandle(raw); }
};

struct FileHandleTraits {
  using Raw = HANDLE;
  static Raw invalid() { return INVALID_HANDLE_VALUE; }
  static void close(Raw raw) { CloseHandle(raw); }
};

struct FindHandleTraits {
  using Raw = HANDLE;
  static Raw invalid() { return INVALID_HANDLE_VALUE; }
  static void close(Raw raw) { FindClose(raw); }
};

// Processes, threads, events, pipes: handles whose "none" is NULL.
using UniqueHandle = OwnedHandle<KernelHandleTraits>;
// What CreateFileW returns: "none" is INVALID_HANDLE_VALUE.
using UniqueFile = OwnedHandle<FileHandleTraits>;
// A folder search from FindFirstFileExW.
using UniqueFind = OwnedHandle<FindHandleTraits>;

}  // namespace vora
