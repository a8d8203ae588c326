// The module as a host loads it: a library found by path, its one export asked for the
// descriptor record, and the record checked before any entry point is called.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

struct ModuleInfo;

class HostModule {
  public:
    // Loads the library at `path` and checks its record: the signature, the header and
    // trailer values and the six entry points. Null, with the reason in `error`, when the
    // file does not load or is not a Pelm module; nothing stays loaded then.
    static std::shared_ptr<const HostModule> Open(const std::filesystem::path& path,
                                                  std::string* error);
    ~HostModule();
    HostModule(const HostModule&) = delete;
    HostModule& operator=(const HostModule&) = delete;

    // The file-name patterns the module opens, as its record gives them ("*.gif|*.webp").
    std::string fileFilter() const;
    std::string moduleId() const;
    // The record itself, for the viewer's calls; valid while this lives.
    const ModuleInfo& record() const { return *record_; }
    // An export of the library by name (the record's, for one), or null; valid while this lives.
    void* Symbol(const char* name) const;

  private:
    HostModule(void* library, const ModuleInfo* record) : library_(library), record_(record) {}

    void* library_;
    const ModuleInfo* record_;
};

// The module file beside the running executable: Pelm_TavorenGif with the platform's suffix.
std::filesystem::path ModuleBesideExecutable();
