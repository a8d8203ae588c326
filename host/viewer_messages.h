// The messages between the module and the host window.
#pragma once

#include <windows.h>

// Posted to the host window; wParam says what changed, lParam is 0.
constexpr UINT VM_NOTIFY = WM_USER + 99;
constexpr WPARAM kNotifyRotated = 4;
constexpr WPARAM kNotifyTimingChanged = 5;
