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

// __uuidof, a keyword of Windows' compilers, as mingw-w64 gives it to GCC: the IID that an
// interface is declared with, for a type or an expression of that type. An interface that
// callers name so ties its IID to itself with DECLARE_UUIDOF beside its declaration.
template <typename Interface>
const IID& UuidOf();
#define DECLARE_UUIDOF(type, iid)      \
    template <>                        \
    inline const IID& UuidOf<type>() { \
        return iid;                    \
    }
#define __uuidof(type) UuidOf<__typeof__(type)>()

// IID_PPV_ARGS from combaseapi.h: the IID and the out pointer of one interface pointer,
// which must be a COM interface.
template <typename T>
void** IID_PPV_ARGS_Helper(T** pp) {
    static_assert(__is_base_of(IUnknown, T), "IID_PPV_ARGS takes a COM interface pointer");
    return reinterpret_cast<void**>(pp);
}
#define IID_PPV_ARGS(ppType) __uuidof(**(ppType)), IID_PPV_ARGS_Helper(ppType)
