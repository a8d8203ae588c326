// IUnknown: the reference-counted base of every platform object.
#pragma once

#include "guiddef.h"
#include "windef.h"
#include "winerror.h"

#define STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define PURE = 0

EXTERN_GUID(IID_IUnknown);

struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** object) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;
};

typedef IUnknown* LPUNKNOWN;
