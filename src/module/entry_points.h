// The six entry points that the descriptor record hands to the host, in the record's order.
// None is exported: the host reaches them only through the record.
#pragma once

#include "module/module_info.h"

TavorenGif* CreateInstance(void* unused);
void DestroyInstance(TavorenGif* viewer);
INT32 LoadImageSource(TavorenGif* viewer, LPCWSTR filePath, const BYTE* memoryData,
                      SIZE_T memorySize, INT32* memoryResult, UINT_PTR unused6, UINT_PTR unused7,
                      ProgressCallback progressCallback, void* userData);
INT32 AttachWindow(TavorenGif* viewer, HWND window);
INT32 Render(TavorenGif* viewer, UINT_PTR unused, const RECT* sourceRect, const RECT* destRect,
             BYTE interpolation);
INT32 HandleMessage(TavorenGif* viewer, UINT32 message, WPARAM wParam, LPARAM lParam);

// The record's message entry: HandleMessage, then the release of a module reference that a
// context menu handed over meanwhile, as a tail jump to FreeLibrary, so that no instruction of
// the module runs after it (host/menu_module_reference.cpp).
extern "C" INT32 TavorenHandleMessageEntry(TavorenGif* viewer, UINT32 message, WPARAM wParam,
                                           LPARAM lParam);
