// Loads the built module the way a host does: by file, then its export by name.
#pragma once

#include <string>

class LoadedModule {
  public:
    // The module file lies beside the test executable.
    explicit LoadedModule(const char* fileName);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    void* Symbol(const char* name) const;
    // Gives back the reference the load took, before the destructor would.
    void Unload();
    const std::string& error() const { return error_; }

  private:
    void* handle_ = nullptr;
    std::string error_;
};
