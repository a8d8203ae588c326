// The reference counting and interface lookup that every stand-in COM object shares.
#pragma once

#include <unknwn.h>

#include <atomic>
#include <initializer_list>
#include <utility>

namespace platform {

// Objects alive in the stand-in, for tests that show nothing leaks.
std::atomic<long>& LiveComObjects();

// Derived implements the interfaces; Primary is the one IUnknown is reached through.
template <typename Primary>
class ComObject : public Primary {
  public:
    ComObject() { ++LiveComObjects(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { --LiveComObjects(); }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    // QueryInterface over the IIDs an object answers to; IUnknown is always among them.
    HRESULT Answer(REFIID iid, void** object,
                   std::initializer_list<std::pair<const IID*, void*>> interfaces) {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
        } else {
            for (const auto& [id, pointer] : interfaces) {
                if (IsEqualIID(iid, *id)) *object = pointer;
            }
        }
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

  private:
    std::atomic<ULONG> references_{1};
};

}  // namespace platform
