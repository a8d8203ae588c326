// COM object creation and the task allocator.
#include <objbase.h>

#include <stdlib.h>

extern "C" HRESULT CoCreateInstance(REFCLSID /*rclsid*/, LPUNKNOWN /*pUnkOuter*/,
                                    DWORD /*dwClsContext*/, REFIID /*riid*/, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return REGDB_E_CLASSNOTREG;
}

extern "C" LPVOID CoTaskMemAlloc(SIZE_T cb) {
    return malloc(cb ? cb : 1);
}

extern "C" void CoTaskMemFree(LPVOID pv) {
    free(pv);
}

extern "C" HRESULT CoInitializeEx(LPVOID /*reserved*/, DWORD /*coInit*/) {
    return S_OK;
}

extern "C" void CoUninitialize(void) {}
