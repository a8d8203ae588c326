// A bare COM object that records when it is released, to stand where the viewer holds a
// platform interface. Every interface starts with IUnknown's three slots, so the viewer's
// teardown can release it through any interface type.
#pragma once

#include <unknwn.h>

#include <atomic>
#include <functional>

class FakeUnknown final : public IUnknown {
  public:
    explicit FakeUnknown(std::function<void()> onFinalRelease = {})
        : onFinalRelease_(std::move(onFinalRelease)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0 && onFinalRelease_) onFinalRelease_();
        return left;
    }

    ULONG references() const { return references_; }

    template <typename Interface>
    Interface* As() {
        AddRef();
        return reinterpret_cast<Interface*>(static_cast<IUnknown*>(this));
    }

  private:
    std::atomic<ULONG> references_{0};
    std::function<void()> onFinalRelease_;
};
