// Module handles and references on the dynamic loader: an HMODULE is the loader's handle of
// a loaded object (dlopen's answer), a reference is one count of dlopen, and the last
// FreeLibrary lets the loader unmap the object, as on Windows.
#include <tavoren_platform_probe.h>
#include <windows.h>

#include <dlfcn.h>
#include <link.h>
#include <pthread.h>

#include <atomic>
#include <string>

#include "kernel/modules.h"

namespace platform {
namespace {

std::atomic<long> references{0};

// The module that FreeLibraryAndExitThread gives back once this thread has left its code.
// A thread that the stand-in did not start gives it back here, as the thread ends.
struct ExitRelease {
    HMODULE module = nullptr;
    ~ExitRelease() { ReleaseModuleOfExitingThread(); }
};
thread_local ExitRelease exitRelease;

std::string Utf8(LPCWSTR name) {
    std::string out;
    const int length = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return out;
    out.resize(static_cast<size_t>(length));
    WideCharToMultiByte(CP_UTF8, 0, name, -1, out.data(), length, nullptr, nullptr);
    out.pop_back();  // the terminating zero
    return out;
}

// A new reference to the loaded object that holds `address`, or null.
void* ReferenceObjectAt(const void* address) {
    Dl_info info{};
    link_map* object = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&object), RTLD_DL_LINKMAP) || !object) {
        return nullptr;
    }
    // The program itself has no name in the loader's list.
    const char* name = object->l_name && object->l_name[0] ? object->l_name : nullptr;
    return dlopen(name, RTLD_NOW | RTLD_NOLOAD);
}

}  // namespace

void ReleaseModuleOfExitingThread() {
    if (HMODULE module = exitRelease.module) {
        exitRelease.module = nullptr;
        FreeLibrary(module);
    }
}

}  // namespace platform

// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, `name` is an address inside the module;
// otherwise a file name (a null name is the program). Unless
// GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT is given, the module gains a reference that
// FreeLibrary gives back. GET_MODULE_HANDLE_EX_FLAG_PIN is not offered.
extern "C" BOOL GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module) {
    constexpr DWORD kKnown =
        GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    if (!module || (flags & ~kKnown)) {
        if (module) *module = nullptr;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    void* handle = nullptr;
    if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        handle = platform::ReferenceObjectAt(name);
    } else {
        handle = dlopen(name ? platform::Utf8(name).c_str() : nullptr, RTLD_NOW | RTLD_NOLOAD);
    }
    *module = static_cast<HMODULE>(handle);
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) {
        dlclose(handle);
    } else {
        ++platform::references;
    }
    return TRUE;
}

// The handle of a loaded module by its file name, without a reference; null when no such
// module is loaded.
extern "C" HMODULE GetModuleHandleW(LPCWSTR name) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, name, &module);
    return module;
}

extern "C" BOOL FreeLibrary(HMODULE module) {
    if (!module || dlclose(module) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --platform::references;
    return TRUE;
}

// The thread ends here without returning into its caller, whose code may belong to `module`:
// pthread_exit unwinds the thread's frames, and the reference is given back only after, by
// the thread's start (or its end) outside the module.
extern "C" void FreeLibraryAndExitThread(HMODULE module, DWORD exitCode) {
    platform::exitRelease.module = module;
    pthread_exit(reinterpret_cast<void*>(static_cast<uintptr_t>(exitCode)));
}

extern "C" long TavorenModuleReferences(void) {
    return platform::references;
}
