// COM object creation and the task allocator.
#pragma once

#include <string.h>

#include "propidl.h"
#include "unknwn.h"

#define CLSCTX_INPROC_SERVER 0x1

// Answers REGDB_E_CLASSNOTREG for a class the platform does not implement, as COM does for
// an unregistered class, and clears *ppv on every failure.
extern "C" HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                    REFIID riid, LPVOID* ppv);

#define COINIT_APARTMENTTHREADED 0x2

// The stand-in needs no per-thread set-up; hosts call these as they must on Windows.
extern "C" HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
extern "C" void CoUninitialize(void);

extern "C" LPVOID CoTaskMemAlloc(SIZE_T cb);
extern "C" void CoTaskMemFree(LPVOID pv);
