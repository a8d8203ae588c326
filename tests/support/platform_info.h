// Which platform implementation stands behind the module in this test run.
#pragma once

#include <windows.h>

#include <cstdlib>

// Wine's imaging component has no WebP decoder; real Windows and the Linux stand-in have one.
inline bool RunningUnderWine() {
#if defined(_WIN32)
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Set by tools/win32-vm: the tests run inside a full-system emulator, where drawing costs 5 to
// 13 times what it costs on the machines the throughput checks were written for.
inline bool RunningInEmulatedMachine() {
    return std::getenv("TAVOREN_EMULATED_MACHINE") != nullptr;
}

#define SKIP_WITHOUT_WEBP_DECODER()                                                      \
    if (RunningUnderWine()) {                                                            \
        GTEST_SKIP() << "skipped under Wine: its imaging component has no WebP decoder"; \
    }
