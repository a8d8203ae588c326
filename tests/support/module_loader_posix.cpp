#include "module_loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace {
std::string ExecutableDirectory() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return ".";
    std::string full(path, static_cast<size_t>(length));
    return full.substr(0, full.find_last_of('/'));
}
}  // namespace

LoadedModule::LoadedModule(const char* fileName) {
    std::string path = ExecutableDirectory() + "/" + fileName;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) error_ = dlerror();
}

LoadedModule::~LoadedModule() {
    Unload();
}

void LoadedModule::Unload() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}

void* LoadedModule::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}
