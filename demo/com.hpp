#pragma once

// Owners for the COM objects that the demonstration's programs use.
#include "runtime/windows.hpp"

#include <objbase.h>

namespace vora::demo {

// A thread that already joined the other apartment kind can still use the objects the demo needs,
// so that case counts as usable, but only a successful call of ours may be balanced by
// CoUninitialize.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// One reference to a COM object, released with the owner.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  void** out() { return reinterpret_cast<void**>(&pointer_); }
  Interface** put() { return &pointer_; }
  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace vora::demo
