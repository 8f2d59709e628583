// An owning pointer to a COM interface: AddRef on copy, Release on destruction.
// Functions that create objects return ComPtr<T>; borrowed parameters stay T*.
#pragma once

#include <utility>

#include "platform/com_base.h"

namespace platform {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference on `p`.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    if (this == &other) return *this;
    ComPtr copy(other);
    Swap(copy);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr moved(std::move(other));
    Swap(moved);
    return *this;
  }

  // Adopts a reference the caller already owns (no AddRef).
  static ComPtr Adopt(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Hands the reference to the caller.
  [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }
  // For out-parameters: releases the current pointer and exposes the slot.
  T** Receive() {
    Reset();
    return &p_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  // QueryInterface for another interface of the same object.
  template <class U>
  HRESULT As(ComPtr<U>* out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(InterfaceIdOf<U>::value, out->ReceiveVoid());
  }

 private:
  T* p_ = nullptr;
};

}  // namespace platform
