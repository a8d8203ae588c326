// COM object creation and the task allocator.
#include <objbase.h>
#include <wincodec.h>

#include <stdlib.h>

#include <new>

#include <tavoren_platform_probe.h>

#include "com/com_object.h"
#include "imaging/imaging_objects.h"

namespace platform {

std::atomic<long>& LiveComObjects() {
    static std::atomic<long> count{0};
    return count;
}

}  // namespace platform

extern "C" long TavorenLiveComObjects(void) {
    return platform::LiveComObjects();
}

// Knows the imaging factory's classes; any other class is not registered, as COM answers
// for a class that no server provides.
extern "C" HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                    REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const bool imaging = IsEqualCLSID(rclsid, CLSID_WICImagingFactory) ||
                         IsEqualCLSID(rclsid, CLSID_WICImagingFactory2);
    if (!imaging || !(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    Microsoft::WRL::ComPtr<platform::imaging::ImagingFactory> factory;
    factory.Attach(new (std::nothrow) platform::imaging::ImagingFactory());
    if (!factory) return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, ppv);
}

extern "C" HRESULT CoInitializeEx(LPVOID /*reserved*/, DWORD /*coInit*/) {
    return S_OK;
}

extern "C" void CoUninitialize(void) {}

extern "C" LPVOID CoTaskMemAlloc(SIZE_T cb) {
    return malloc(cb ? cb : 1);
}

extern "C" void CoTaskMemFree(LPVOID pv) {
    free(pv);
}
