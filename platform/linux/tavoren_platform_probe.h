/* What the tests may learn of the Linux stand-in's state, and the one point where they may
 * hold a thread: Windows offers neither, so tests that use them run on Linux only. */
#pragma once

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Objects alive now: COM objects of the imaging and drawing services, events (and thread
 * handles not yet closed), threads started through CreateThread whose start routine has not
 * yet been left. */
long TavorenLiveComObjects(void);
long TavorenLiveEvents(void);
long TavorenLiveThreads(void);
/* Popup menus made by CreatePopupMenu and not yet destroyed. */
long TavorenLiveMenus(void);
/* Waits until at most `count` such threads live; FALSE when the timeout ends first. */
BOOL TavorenWaitForLiveThreads(long count, DWORD milliseconds);

/* References to modules that GetModuleHandleExW took and neither FreeLibrary nor
 * FreeLibraryAndExitThread has given back yet. */
long TavorenModuleReferences(void);

/* Timer resolution requests: those timeBeginPeriod granted and timeEndPeriod has not yet
 * ended, and all it granted since the process began. */
long TavorenTimerPeriodsActive(void);
long TavorenTimerPeriodsBegun(void);

/* Menus that EndMenu ended while they were tracked, since the process began. */
long TavorenMenusEnded(void);

/* Messages posted to a null window (the calling thread's own queue), since the process began. */
long TavorenThreadQueuePosts(void);

/* Calls that named a closed or never-opened handle, since the process began. */
long TavorenInvalidHandleUses(void);

/* Waits until exactly `count` threads are blocked in WaitForMultipleObjects or
 * WaitForSingleObject: past the hook, with none of their events signalled, sleeping until
 * SetEvent releases them or the timeout ends. FALSE when the timeout ends first. */
BOOL TavorenWaitForBlockedWaits(long count, DWORD milliseconds);

/* Called on the waiting thread at the start of every WaitForMultipleObjects and
 * WaitForSingleObject (a count of 1), before the handles are looked at; null removes it. */
typedef void (*TavorenWaitHook)(DWORD count, DWORD milliseconds, void* context);
void TavorenSetWaitHook(TavorenWaitHook hook, void* context);

/* Pixel surfaces of the drawing service (targets and bitmaps) above this many bytes fail as
 * running out of memory fails them; 0, as at the start, sets no limit. */
void TavorenSetSurfaceByteLimit(unsigned long long bytes);

#ifdef __cplusplus
}
#endif
