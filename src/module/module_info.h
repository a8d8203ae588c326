// The descriptor record that the host reads through GetTavorenModuleInfo, and the types of
// the six entry points it lists. The layout is shared with the host and binding in both the
// 64-bit and the 32-bit build; every function uses the platform's default C calling
// convention (cdecl on x86).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

class TavorenGif;

// The host's progress function; its result is ignored.
using ProgressCallback = INT32 (*)(UINT32 done, UINT32 total, void* userData);

using CreateInstanceFn = TavorenGif* (*)(void* unused);
using DestroyInstanceFn = void (*)(TavorenGif* viewer);
using LoadImageSourceFn = INT32 (*)(TavorenGif* viewer, LPCWSTR filePath, const BYTE* memoryData,
                                    SIZE_T memorySize, INT32* memoryResult, UINT_PTR unused6,
                                    UINT_PTR unused7, ProgressCallback progressCallback,
                                    void* userData);
using AttachWindowFn = INT32 (*)(TavorenGif* viewer, HWND window);
using RenderFn = INT32 (*)(TavorenGif* viewer, UINT_PTR unused, const RECT* sourceRect,
                           const RECT* destRect, BYTE interpolation);
using HandleMessageFn = INT32 (*)(TavorenGif* viewer, UINT32 message, WPARAM wParam, LPARAM lParam);

struct ModuleInfo {
    const char* signature;
    INT32 headerValue;
    UINT32 reserved[2];
    const char* moduleId;
    const char* fileFilter;
    const WCHAR* description;
    const WCHAR* copyright;
    CreateInstanceFn createInstance;
    DestroyInstanceFn destroyInstance;
    LoadImageSourceFn loadImageSource;
    AttachWindowFn attachWindow;
    RenderFn render;
    HandleMessageFn handleMessage;
    INT32 trailerValue;
};

// The record's fixed values, by which a host knows a Pelm module before it calls into it.
inline constexpr char kModuleSignature[] = "PelmTavorenModule";
inline constexpr INT32 kModuleHeaderValue = 2;
inline constexpr INT32 kModuleTrailerValue = 0x9875;

static_assert(sizeof(WCHAR) == 2, "the record's wide strings are UTF-16");

#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(ModuleInfo) == 112);
static_assert(offsetof(ModuleInfo, headerValue) == 8);
static_assert(offsetof(ModuleInfo, reserved) == 12);
static_assert(offsetof(ModuleInfo, moduleId) == 24);
static_assert(offsetof(ModuleInfo, createInstance) == 56);
static_assert(offsetof(ModuleInfo, handleMessage) == 96);
static_assert(offsetof(ModuleInfo, trailerValue) == 104);
#else
static_assert(sizeof(ModuleInfo) == 60);
static_assert(offsetof(ModuleInfo, headerValue) == 4);
static_assert(offsetof(ModuleInfo, reserved) == 8);
static_assert(offsetof(ModuleInfo, moduleId) == 16);
static_assert(offsetof(ModuleInfo, createInstance) == 32);
static_assert(offsetof(ModuleInfo, handleMessage) == 52);
static_assert(offsetof(ModuleInfo, trailerValue) == 56);
#endif
