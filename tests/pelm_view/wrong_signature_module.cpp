// A library that exports GetTavorenModuleInfo with a complete record signed by another name:
// a host must refuse it on the signature, before it calls any entry point, each of which
// would end the process.
#include <cstdlib>

#include "module/module_export.h"
#include "module/module_info.h"

namespace {

[[noreturn]] void Called() {
    std::abort();
}

ModuleInfo record = {
    "PelmTavorenModulf",
    2,
    {0, 0},
    "WrongSignature",
    "*.gif",
    TEXT("A record with the wrong signature"),
    TEXT(""),
    [](void*) -> TavorenGif* { Called(); },
    [](TavorenGif*) { Called(); },
    [](TavorenGif*, LPCWSTR, const BYTE*, SIZE_T, INT32*, UINT_PTR, UINT_PTR, ProgressCallback,
       void*) -> INT32 { Called(); },
    [](TavorenGif*, HWND) -> INT32 { Called(); },
    [](TavorenGif*, UINT_PTR, const RECT*, const RECT*, BYTE) -> INT32 { Called(); },
    [](TavorenGif*, UINT32, WPARAM, LPARAM) -> INT32 { Called(); },
    0x9875,
};

}  // namespace

TAVOREN_EXPORT ModuleInfo* GetTavorenModuleInfo(void* /*unused*/) {
    return &record;
}
