// pelm-module-info: loads a module as the hosts do (the host core: by file, by its export, its
// record checked) and prints the descriptor record it returns.
#include <cstdio>
#include <string>

#include "host_module.h"
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
    std::string error;
    const auto module = HostModule::Open(argv[1], &error);
    if (!module) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const ModuleInfo* info = &module->record();
    std::printf("module       %s\n", argv[1]);
    std::printf("signature    %s\n", info->signature);
    std::printf("headerValue  %d\n", info->headerValue);
    std::printf("moduleId     %s\n", info->moduleId);
    std::printf("fileFilter   %s\n", info->fileFilter);
    std::printf("description  %s\n", Printable(info->description).c_str());
    std::printf("copyright    %s\n", Printable(info->copyright).c_str());
    std::printf("trailerValue 0x%X\n", static_cast<unsigned>(info->trailerValue));
    std::printf("record       %zu bytes\n", sizeof(ModuleInfo));
    return 0;
}
