// The GIF disposal methods, as a frame's graphic control block gives them and the viewer's
// `disposal` holds them. Values 4 to 7 are reserved and undo nothing, as 0 and 1 do.
#pragma once

#include <windows.h>

constexpr UINT kDisposalNotSpecified = 0;
constexpr UINT kDoNotDispose = 1;
constexpr UINT kRestoreToBackground = 2;
constexpr UINT kRestoreToPrevious = 3;
