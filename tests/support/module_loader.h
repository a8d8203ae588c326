// The built module loaded as a host loads it, through the host core: by file from beside the
// test executable, its record checked, then its export by name.
#pragma once

#include <memory>
#include <string>

#include "hosts/core/host_module.h"

class LoadedModule {
  public:
    explicit LoadedModule(const char* fileName)
        : module_(HostModule::Open(ModuleBesideExecutable().parent_path() / fileName, &error_)) {}

    bool loaded() const { return module_ != nullptr; }
    void* Symbol(const char* name) const { return module_ ? module_->Symbol(name) : nullptr; }
    // Gives back the reference the load took, before the destructor would.
    void Unload() { module_.reset(); }
    const std::string& error() const { return error_; }

  private:
    std::string error_;
    std::shared_ptr<const HostModule> module_;
};
