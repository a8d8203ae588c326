// The module's one export and the descriptor record it returns.
#include "module/module_info.h"

#include "module/entry_points.h"
#include "module/module_export.h"
#include "module/module_identity.h"

namespace {

// Writable static storage, filled at build time and never read or changed by the module.
ModuleInfo moduleInfo = {
    kModuleSignature,
    kModuleHeaderValue,
    {0, 0},
    "TavorenGif2",
    "*.gif|*.webp",
    TEXT(TAVOREN_MODULE_DESCRIPTION),
    TEXT(TAVOREN_MODULE_COPYRIGHT),
    CreateInstance,
    DestroyInstance,
    LoadImageSource,
    AttachWindow,
    Render,
    TavorenHandleMessageEntry,
    kModuleTrailerValue,
};

}  // namespace

TAVOREN_EXPORT ModuleInfo* GetTavorenModuleInfo(void* /*unused*/) {
    return &moduleInfo;
}
