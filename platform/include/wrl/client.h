// Microsoft::WRL::ComPtr: owns one reference to a COM object, released when it goes.
#pragma once

#include <utility>

#include "../unknwn.h"

namespace Microsoft::WRL {

template <typename T>
class ComPtr {
  public:
    using InterfaceType = T;

    ComPtr() noexcept = default;
    ComPtr(decltype(nullptr)) noexcept {}
    template <typename U>
    ComPtr(U* other) noexcept : ptr_(other) {
        InternalAddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) { InternalAddRef(); }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ~ComPtr() { InternalRelease(); }

    ComPtr& operator=(decltype(nullptr)) noexcept {
        InternalRelease();
        return *this;
    }
    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }

    void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    T* Get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    T* const* GetAddressOf() const noexcept { return &ptr_; }
    T** GetAddressOf() noexcept { return &ptr_; }
    T** ReleaseAndGetAddressOf() noexcept {
        InternalRelease();
        return &ptr_;
    }
    void Attach(T* other) noexcept {
        InternalRelease();
        ptr_ = other;
    }
    T* Detach() noexcept { return std::exchange(ptr_, nullptr); }
    ULONG Reset() noexcept { return InternalRelease(); }

  private:
    void InternalAddRef() const noexcept {
        if (ptr_) ptr_->AddRef();
    }
    ULONG InternalRelease() noexcept {
        ULONG count = 0;
        if (T* temp = std::exchange(ptr_, nullptr)) count = temp->Release();
        return count;
    }

    T* ptr_ = nullptr;
};

template <typename T>
bool operator==(const ComPtr<T>& a, decltype(nullptr)) noexcept {
    return a.Get() == nullptr;
}
template <typename T, typename U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
    return a.Get() == b.Get();
}

}  // namespace Microsoft::WRL
