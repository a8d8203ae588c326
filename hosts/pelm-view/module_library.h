// The module as a host sees it: a shared library and the descriptor record it exports.
#pragma once

#include <memory>
#include <string>

#include "module/module_info.h"

class ModuleLibrary {
  public:
    // Loads `path` and reads its record; null, with the reason in `error`, when the file does
    // not load or is not a Pelm module.
    static std::unique_ptr<ModuleLibrary> Open(const std::string& path, std::string* error);
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    const ModuleInfo& info() const { return *info_; }

  private:
    ModuleLibrary(void* handle, const ModuleInfo* info) : handle_(handle), info_(info) {}

    void* handle_;
    const ModuleInfo* info_;
};
