// The drawing factory's own lock (ID2D1Multithread), held over a sequence of drawing calls
// that another thread must see whole or not at all: the worker's step from one frame to the
// next, and a paint's use of the composition surface. The factory serialises single calls by
// itself; this makes the sequence one step. Never held across a wait.
#pragma once

#include <d2d1.h>
#include <d2d1_1.h>
#include <wrl/client.h>

class DrawingLock {
  public:
    // Without a factory, or on a system whose Direct2D predates the interface, nothing is held.
    explicit DrawingLock(ID2D1Factory* factory) {
        if (factory &&
            SUCCEEDED(factory->QueryInterface(IID_PPV_ARGS(multithread_.GetAddressOf())))) {
            multithread_->Enter();
        }
    }
    ~DrawingLock() {
        if (multithread_) multithread_->Leave();
    }
    DrawingLock(const DrawingLock&) = delete;
    DrawingLock& operator=(const DrawingLock&) = delete;

  private:
    Microsoft::WRL::ComPtr<ID2D1Multithread> multithread_;
};
