// pelm-module-info: loads a module as the host does, by file and by its export, and prints
// the descriptor record it returns.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "module/module_info.h"

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

}  // namespace

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
    std::printf("module       %s\n", argv[1]);
    std::printf("signature    %s\n", info->signature);
    std::printf("headerValue  %d\n", info->headerValue);
    std::printf("moduleId     %s\n", info->moduleId);
    std::printf("fileFilter   %s\n", info->fileFilter);
    std::printf("description  %s\n", Printable(info->description).c_str());
    std::printf("copyright    %s\n", Printable(info->copyright).c_str());
    std::printf("trailerValue 0x%X\n", static_cast<unsigned>(info->trailerValue));
    std::printf("record       %zu bytes\n", sizeof(ModuleInfo));
    dlclose(module);
    return 0;
}
