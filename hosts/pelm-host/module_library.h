// The module as the viewer loads it: a DLL found by path, asked for its descriptor record
// through its one export.
#pragma once

#include <windows.h>

#include <string>

#include "module/module_info.h"

class ModuleLibrary {
  public:
    ModuleLibrary() = default;
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    // Loads the module at `path` and checks its record; on failure answers false with
    // `error` saying why, and nothing stays loaded.
    bool Load(const std::wstring& path, std::wstring& error);
    // The record, valid while the library is loaded.
    const ModuleInfo& info() const { return *info_; }

    // The module's file name beside this executable.
    static std::wstring DefaultPath();

  private:
    HMODULE handle_ = nullptr;
    const ModuleInfo* info_ = nullptr;
};
