// pelm-module-info: loads a module as the hosts do (the host core: by file, by its export, its
// record checked) and prints the descriptor record it returns; on Windows also the file's
// version resource, as Explorer's Details tab shows it.
#include <cstdio>
#include <filesystem>
#include <string>

#include "hosts/core/host_module.h"
#include "module/module_info.h"

#if defined(_WIN32)
#include <windows.h>

#include <vector>
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

namespace {

int Run(const std::filesystem::path& path) {
    std::string error;
    const auto module = HostModule::Open(path, &error);
    if (!module) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string shown = path.string();
    PrintRecord(shown.c_str(), module->record());
#if defined(_WIN32)
    if (!PrintVersionResource(path.wstring())) {
        std::fprintf(stderr, "%s has no version resource\n", shown.c_str());
        return 1;
    }
#endif
    return 0;
}

}  // namespace

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
    if (argc != 2) {
        std::fprintf(stderr, "usage: pelm-module-info MODULE\n");
        return 2;
    }
    return Run(argv[1]);
}
