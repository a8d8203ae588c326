#include "module_library.h"

#include <cstring>
#include <vector>

namespace {

constexpr char kSignature[] = "PelmTavorenModule";
using GetModuleInfoFn = ModuleInfo* (*)(void*);

std::wstring FullPath(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(size);
    return full;
}

bool HasAllEntryPoints(const ModuleInfo& info) {
    return info.createInstance && info.destroyInstance && info.loadImageSource &&
           info.attachWindow && info.render && info.handleMessage;
}

}  // namespace

ModuleLibrary::~ModuleLibrary() {
    if (handle_) FreeLibrary(handle_);
}

bool ModuleLibrary::Load(const std::wstring& path, std::wstring& error) {
    // A full path, so that the module is never looked for along the search path.
    const std::wstring full = FullPath(path);
    HMODULE handle = LoadLibraryW(full.c_str());
    if (!handle) {
        error = L"cannot load the module " + full + L" (error " + std::to_wstring(GetLastError()) +
                L")";
        return false;
    }
    // Through void (*)(): the one function type that GCC lets every other convert to silently.
    auto getInfo = reinterpret_cast<GetModuleInfoFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(handle, "GetTavorenModuleInfo")));
    const ModuleInfo* info = getInfo ? getInfo(nullptr) : nullptr;
    if (!info || !info->signature || std::strcmp(info->signature, kSignature) != 0 ||
        !HasAllEntryPoints(*info)) {
        error = full + L" is not a Pelm module";
        FreeLibrary(handle);
        return false;
    }
    handle_ = handle;
    info_ = info;
    return true;
}

std::wstring ModuleLibrary::DefaultPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            return path.substr(0, path.find_last_of(L"\\/") + 1) + L"" PELM_MODULE_FILE;
        }
        buffer.resize(buffer.size() * 2);  // cut off: a longer path than MAX_PATH
    }
}
