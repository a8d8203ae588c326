// The messages between the module and the host window: the host's requests, which
// HandleMessage answers, and the one notification the module posts back.
#pragma once

#include <windows.h>

// Requests from the host; the queries write through the pointer in wParam.
constexpr UINT VM_PLAY = WM_USER + 2;
constexpr UINT VM_STOP = WM_USER + 3;
constexpr UINT VM_PAUSE = WM_USER + 4;
constexpr UINT VM_GETSIZE = WM_USER + 5;       // wParam: UINT32[2], the displayed width, height
constexpr UINT VM_GETSIZE2 = WM_USER + 6;      // the same answer
constexpr UINT VM_GETCOLORBITS = WM_USER + 7;  // wParam: INT32*
constexpr UINT VM_GETDURATION = WM_USER + 8;   // wParam: INT32*, milliseconds
constexpr UINT VM_GETPOSITION = WM_USER + 9;   // wParam: INT32*, milliseconds
constexpr UINT VM_STEP = WM_USER + 12;
constexpr UINT VM_ROTATE = WM_USER + 15;      // wParam: signed step in degrees
constexpr UINT VM_SETBKCOLOR = WM_USER + 17;  // wParam: 0x00BBGGRR

// Posted to the host window; wParam says what changed, lParam is 0.
constexpr UINT VM_NOTIFY = WM_USER + 99;
constexpr WPARAM kNotifyRotated = 4;
constexpr WPARAM kNotifyTimingChanged = 5;
