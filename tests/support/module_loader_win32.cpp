#include "module_loader.h"

#include <windows.h>

#include <vector>

LoadedModule::LoadedModule(const char* fileName) {
    std::vector<wchar_t> path(MAX_PATH * 4);
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring full(path.data(), length);
    full = full.substr(0, full.find_last_of(L"\\/") + 1);
    for (const char* c = fileName; *c; ++c) full += static_cast<wchar_t>(*c);
    handle_ = LoadLibraryW(full.c_str());
    if (!handle_) error_ = "LoadLibraryW failed with error " + std::to_string(GetLastError());
}

LoadedModule::~LoadedModule() {
    Unload();
}

void LoadedModule::Unload() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

void* LoadedModule::Symbol(const char* name) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}
