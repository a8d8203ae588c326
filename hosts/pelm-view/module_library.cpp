// Loading the module: by file, by its one export, and only if the record says it is one.
#include "module_library.h"

#include <dlfcn.h>

#include <cstring>

namespace {

constexpr const char* kSignature = "PelmTavorenModule";

bool Signed(const ModuleInfo* info) {
    return info && info->signature && std::strcmp(info->signature, kSignature) == 0;
}

bool Complete(const ModuleInfo& info) {
    return info.createInstance && info.destroyInstance && info.loadImageSource &&
           info.attachWindow && info.render && info.handleMessage;
}

}  // namespace

std::unique_ptr<ModuleLibrary> ModuleLibrary::Open(const std::string& path, std::string* error) {
    // Local: the module's symbols stay its own; the stand-in it links is shared with us.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        *error = "cannot load " + path + ": " + (reason ? reason : "unknown error");
        return nullptr;
    }
    using GetModuleInfoFn = ModuleInfo* (*)(void*);
    auto getInfo = reinterpret_cast<GetModuleInfoFn>(dlsym(handle, "GetTavorenModuleInfo"));
    if (!getInfo) {
        *error = path + " has no GetTavorenModuleInfo: not a Pelm module";
        dlclose(handle);
        return nullptr;
    }
    const ModuleInfo* info = getInfo(nullptr);
    if (!Signed(info)) {
        *error = path + ": its record is not signed \"" + kSignature + "\": not a Pelm module";
    } else if (!Complete(*info)) {
        *error = path + ": its record lacks an entry point";
    } else {
        return std::unique_ptr<ModuleLibrary>(new ModuleLibrary(handle, info));
    }
    dlclose(handle);
    return nullptr;
}

ModuleLibrary::~ModuleLibrary() {
    dlclose(handle_);
}
