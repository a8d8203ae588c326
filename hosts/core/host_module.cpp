#include "hosts/core/host_module.h"

#include <cstdio>
#include <cstring>

#include "module/module_info.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using GetModuleInfoFn = ModuleInfo* (*)(void*);
constexpr char kModuleFile[] = "Pelm_TavorenGif" PELM_MODULE_SUFFIX;

#if defined(_WIN32)

void* LoadLibraryAt(const std::filesystem::path& path, std::string* error) {
    HMODULE handle = LoadLibraryW(std::filesystem::absolute(path).c_str());
    if (!handle) {
        *error = "cannot load " + path.string() + " (error " + std::to_string(GetLastError()) + ")";
    }
    return reinterpret_cast<void*>(handle);
}

void* LibrarySymbol(void* library, const char* name) {
    // Through void (*)(): the one function type that GCC lets every other convert to silently.
    return reinterpret_cast<void*>(
        reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(library), name)));
}

void Unload(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}
#else
void* LoadLibraryAt(const std::filesystem::path& path, std::string* error) {
    // Local: the module's symbols stay its own; the stand-in it links is shared with the host.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        *error = "cannot load " + path.string() + ": " + (reason ? reason : "unknown error");
    }
    return handle;
}

void* LibrarySymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void Unload(void* library) {
    dlclose(library);
}
#endif

std::string Hex(INT32 value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%X", static_cast<unsigned>(value));
    return text;
}

// Why the record is not one this host can drive; empty when it is.
std::string RecordFault(const ModuleInfo* info) {
    if (!info) return "GetTavorenModuleInfo answers no record";
    if (!info->signature || std::strcmp(info->signature, kModuleSignature) != 0) {
        return std::string("its record is not signed \"") + kModuleSignature + "\"";
    }
    if (info->headerValue != kModuleHeaderValue) {
        return "its record's header value is " + std::to_string(info->headerValue) + ", not " +
               std::to_string(kModuleHeaderValue);
    }
    if (info->trailerValue != kModuleTrailerValue) {
        return "its record's trailer value is " + Hex(info->trailerValue) + ", not " +
               Hex(kModuleTrailerValue);
    }
    if (!info->createInstance || !info->destroyInstance || !info->loadImageSource ||
        !info->attachWindow || !info->render || !info->handleMessage) {
        return "its record lacks an entry point";
    }
    return {};
}

}  // namespace

std::shared_ptr<const HostModule> HostModule::Open(const std::filesystem::path& path,
                                                   std::string* error) {
    void* library = LoadLibraryAt(path, error);
    if (!library) return nullptr;
    auto getInfo =
        reinterpret_cast<GetModuleInfoFn>(LibrarySymbol(library, "GetTavorenModuleInfo"));
    if (!getInfo) {
        *error = path.string() + " has no GetTavorenModuleInfo: not a Pelm module";
        Unload(library);
        return nullptr;
    }
    const ModuleInfo* info = getInfo(nullptr);
    const std::string fault = RecordFault(info);
    if (!fault.empty()) {
        *error = path.string() + ": " + fault + ": not a Pelm module";
        Unload(library);
        return nullptr;
    }
    return std::shared_ptr<const HostModule>(new HostModule(library, info));
}

HostModule::~HostModule() {
    Unload(library_);
}

void* HostModule::Symbol(const char* name) const {
    return LibrarySymbol(library_, name);
}

std::string HostModule::fileFilter() const {
    return record_->fileFilter ? record_->fileFilter : "";
}

std::string HostModule::moduleId() const {
    return record_->moduleId ? record_->moduleId : "";
}

std::filesystem::path ModuleBesideExecutable() {
#if defined(_WIN32)
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);  // cut off: a path longer than MAX_PATH
    }
    return std::filesystem::path(buffer).parent_path() / kModuleFile;
#else
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return kModuleFile;
    return self.parent_path() / kModuleFile;
#endif
}
