// pelm-module-info: loads a module as the host does, by file and by its export, and prints
// the descriptor record it returns.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "module/module_info.h"

namespace {

std::string Utf8(const WCHAR* text) {
    std::string out;
    for (; text && *text; ++text) {
        char32_t c = *text;
        if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (*++text - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
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
    std::printf("description  %s\n", Utf8(info->description).c_str());
    std::printf("copyright    %s\n", Utf8(info->copyright).c_str());
    std::printf("trailerValue 0x%X\n", static_cast<unsigned>(info->trailerValue));
    std::printf("record       %zu bytes\n", sizeof(ModuleInfo));
    dlclose(module);
    return 0;
}
