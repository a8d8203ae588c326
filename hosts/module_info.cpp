// pelm-module-info: loads a module as the host does, by file and by its export, and prints
// the descriptor record it returns; on Windows also the file's version resource, as
// Explorer's Details tab shows it.
#include <cstdio>
#include <cstring>
#include <string>

#include "module/module_info.h"

#if defined(_WIN32)
#include <windows.h>

#include <vector>

#include "pelm-host/module_library.h"
#else
#include <dlfcn.h>
#endif

namespace {

// The record's wide strings are ASCII; anything else is shown as an escape.
std::string Printable(const WCHAR* text) {
    std::string out;
    char escape[8];
    for (; text && *text; ++text) {
        if (*text >= 0x20 && *text < 0x7F) {
            out += static_cast<char>(*text);
        } else {
            std::snprintf(escape, sizeof(escape), "\\u%04X", static_cast<unsigned>(*text));
            out += escape;
        }
    }
    return out;
}

void PrintRecord(const char* path, const ModuleInfo& info) {
    std::printf("module       %s\n", path);
    std::printf("signature    %s\n", info.signature);
    std::printf("headerValue  %d\n", info.headerValue);
    std::printf("moduleId     %s\n", info.moduleId);
    std::printf("fileFilter   %s\n", info.fileFilter);
    std::printf("description  %s\n", Printable(info.description).c_str());
    std::printf("copyright    %s\n", Printable(info.copyright).c_str());
    std::printf("trailerValue 0x%X\n", static_cast<unsigned>(info.trailerValue));
    std::printf("record       %zu bytes\n", sizeof(ModuleInfo));
}

#if defined(_WIN32)
// The fixed version and the U.S. English, Unicode strings of the file's version resource;
// false when the file has none.
bool PrintVersionResource(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    std::printf("fileVersion  %u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)},
                unsigned{LOWORD(fixed->dwFileVersionLS)});
    for (const wchar_t* name : {L"FileDescription", L"FileVersion", L"ProductName",
                                L"ProductVersion", L"OriginalFilename", L"LegalCopyright"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        WCHAR* value = nullptr;
        if (VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value),
                           &length) &&
            value) {
            std::printf("%-16ls %s\n", name, Printable(value).c_str());
        }
    }
    return true;
}
#endif

}  // namespace

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pelm-module-info MODULE\n");
        return 2;
    }
    ModuleLibrary module;
    std::wstring error;
    if (!module.Load(argv[1], error)) {
        std::fprintf(stderr, "%ls\n", error.c_str());
        return 1;
    }
    const std::string path(Printable(reinterpret_cast<const WCHAR*>(argv[1])));
    PrintRecord(path.c_str(), module.info());
    if (!PrintVersionResource(argv[1])) {
        std::fprintf(stderr, "%s has no version resource\n", path.c_str());
        return 1;
    }
    return 0;
}
#else
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MODULE\n", argv[0]);
        return 2;
    }
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    using GetModuleInfoFn = ModuleInfo* (*)(void*);
    auto getInfo = reinterpret_cast<GetModuleInfoFn>(dlsym(module, "GetTavorenModuleInfo"));
    const ModuleInfo* info = getInfo ? getInfo(nullptr) : nullptr;
    if (!info || !info->signature || std::strcmp(info->signature, "PelmTavorenModule") != 0) {
        std::fprintf(stderr, "%s is not a Pelm module\n", argv[1]);
        dlclose(module);
        return 1;
    }
    PrintRecord(argv[1], *info);
    dlclose(module);
    return 0;
}
#endif
