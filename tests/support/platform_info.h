// Which platform implementation stands behind the module in this test run.
#pragma once

#include <windows.h>

// Wine's imaging component has no WebP decoder; real Windows and the Linux stand-in have one.
inline bool RunningUnderWine() {
#if defined(_WIN32)
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

#define SKIP_WITHOUT_WEBP_DECODER()                                                      \
    if (RunningUnderWine()) {                                                            \
        GTEST_SKIP() << "skipped under Wine: its imaging component has no WebP decoder"; \
    }
