// The module's one export and the descriptor record it returns.
#include "module_info.h"

#include "entry_points.h"
#include "host/menu_module_reference.h"
#include "module_identity.h"
#include "module_export.h"

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
