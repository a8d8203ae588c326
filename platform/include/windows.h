// The subset of the Windows API that the module calls, under the names Windows gives it.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "guiddef.h"
#include "unknwn.h"
#include "objbase.h"

// --- Kernel: events, waits and sleeping --------------------------------------------------
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

// Events are real kernel-style waits on the standard library's primitives: a waiting thread
// sleeps until it is signalled or its timeout ends, it never polls.
extern "C" HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset,
                               BOOL initialState, LPCWSTR name);
extern "C" BOOL SetEvent(HANDLE event);
extern "C" BOOL ResetEvent(HANDLE event);
extern "C" BOOL CloseHandle(HANDLE object);
extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
extern "C" DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                        DWORD milliseconds);
extern "C" void Sleep(DWORD milliseconds);
extern "C" DWORD GetLastError(void);
extern "C" void SetLastError(DWORD error);

// --- Kernel: threads and modules ------------------------------------------------------------
// A thread's handle is signalled when the thread ends and is closed with CloseHandle. An
// HMODULE is a loaded library; a reference keeps it loaded until FreeLibrary gives it back.
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID argument);
typedef DWORD* LPDWORD;
extern "C" HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                               LPTHREAD_START_ROUTINE start, LPVOID argument, DWORD flags,
                               LPDWORD threadId);
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x1u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x2u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x4u
extern "C" BOOL GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module);
extern "C" HMODULE GetModuleHandleW(LPCWSTR name);
extern "C" BOOL FreeLibrary(HMODULE module);
// Gives back a reference and ends the calling thread, never returning into its caller.
extern "C" [[noreturn]] void FreeLibraryAndExitThread(HMODULE module, DWORD exitCode);

// --- Kernel: debugging ---------------------------------------------------------------------
extern "C" BOOL IsDebuggerPresent(void);
// Breaks into the attached debugger; without one it does nothing here (Windows would end
// the process, which is why the module asks IsDebuggerPresent first).
extern "C" void DebugBreak(void);

// --- Strings ----------------------------------------------------------------------------
#define CP_UTF8 65001
extern "C" int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength,
                                   LPSTR out, int outSize, LPCSTR defaultChar,
                                   BOOL* usedDefaultChar);

// --- User interface: popup menus ----------------------------------------------------------
// A menu is tracked by the owner window's menu tracker (tavoren_window.h), the host's own
// modal loop.
#define MF_STRING 0x0000u
#define MF_GRAYED 0x0001u
#define MF_BITMAP 0x0004u
#define MF_CHECKED 0x0008u
#define MF_POPUP 0x0010u
#define MF_OWNERDRAW 0x0100u
#define MF_SEPARATOR 0x0800u
#define TPM_RETURNCMD 0x0100u
#define ERROR_INVALID_MENU_HANDLE 1401L
extern "C" HMENU CreatePopupMenu(void);
extern "C" BOOL DestroyMenu(HMENU menu);
extern "C" BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
extern "C" BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                               const RECT* excludeRect);
// Ends the menu that the calling thread tracks now: its TrackPopupMenu returns 0.
extern "C" BOOL EndMenu(void);

// --- User interface: windows ---------------------------------------------------------------
// A window is what a host registered through tavoren_window.h; a handle that was never
// registered, or has been destroyed, fails as a destroyed window does on Windows.
extern "C" BOOL GetClientRect(HWND window, LPRECT rect);
extern "C" BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
extern "C" BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
extern "C" BOOL IsWindow(HWND window);
extern "C" BOOL ClientToScreen(HWND window, LPPOINT point);
extern "C" BOOL SetForegroundWindow(HWND window);

#define ERROR_INVALID_WINDOW_HANDLE 1400L

// --- User interface: window messages -------------------------------------------------------
#define WM_SIZE 0x0005
#define WM_KEYDOWN 0x0100
#define WM_COMMAND 0x0111
#define WM_RBUTTONDOWN 0x0204
#define WM_USER 0x0400
