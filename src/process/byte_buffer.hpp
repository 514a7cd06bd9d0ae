#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

namespace vora {

// Bytes that a child wrote. Unlike std::vector, growing leaves the new bytes uninitialised,
// since a read is about to fill them, and moves the kept bytes with one copy.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(ByteBuffer&& other) noexcept
      : bytes_(std::move(other.bytes_)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  ByteBuffer& operator=(ByteBuffer&& other) noexcept {
    bytes_ = std::move(other.bytes_);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    return *this;
  }

  // The size becomes `size`. Bytes beyond the old size are uninitialised; storage that is too
  // small is replaced by exactly `size` bytes.
  void resize(std::size_t size) {
    if (size > capacity_) {
      std::unique_ptr<std::uint8_t[]> grown = std::make_unique_for_overwrite<std::uint8_t[]>(size);
      if (size_ != 0) std::memcpy(grown.get(), bytes_.get(), size_);
      bytes_ = std::move(grown);
      capacity_ = size;
    }
    size_ = size;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::uint8_t* data() { return bytes_.get(); }
  const std::uint8_t* data() const { return bytes_.get(); }
  const std::uint8_t* begin() const { return bytes_.get(); }
  const std::uint8_t* end() const { return bytes_.get() + size_; }
  std::uint8_t operator[](std::size_t index) const { return bytes_[index]; }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace vora
