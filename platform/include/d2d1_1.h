// Direct2D 1.1: of what it adds, the factory's own lock, which callers take around a sequence
// of drawing calls that other threads must see whole.
#pragma once

#include "d2d1.h"

EXTERN_GUID(IID_ID2D1Multithread);

// Answered by a factory's QueryInterface. Enter and Leave take and give back the lock that a
// multi-threaded factory holds over each call of each object it made (recursively, so calls
// in between proceed on the thread that entered); a single-threaded factory has none.
struct ID2D1Multithread : public IUnknown {
    STDMETHOD_(BOOL, GetMultithreadProtected)() const PURE;
    STDMETHOD_(void, Enter)() PURE;
    STDMETHOD_(void, Leave)() PURE;
};
DECLARE_UUIDOF(ID2D1Multithread, IID_ID2D1Multithread)
