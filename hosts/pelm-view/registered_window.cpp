// The C callbacks of the window contract, each handing on to the WindowHost in `context`.
#include "registered_window.h"

namespace {

WindowHost& Host(void* context) {
    return *static_cast<WindowHost*>(context);
}

const TavorenWindowCallbacks kCallbacks = {
    nullptr,
    [](void* c, int* width, int* height) { Host(c).ClientSize(width, height); },
    [](void* c, int* x, int* y) { Host(c).ClientOrigin(x, y); },
    [](void* c) { Host(c).Invalidate(); },
    [](void* c, UINT message, WPARAM wParam, LPARAM lParam) {
        return Host(c).Post(message, wParam, lParam) ? 1 : 0;
    },
    [](void* c, const BYTE* pixels, int width, int height, int stride) {
        Host(c).Present(pixels, width, height, stride);
    },
    [](void* c) { return Host(c).Occluded() ? 1 : 0; },
    [](void* c, const TavorenMenuItem* items, int count, int x, int y) {
        return Host(c).TrackMenu(items, count, x, y);
    },
    [](void* c) { Host(c).EndTrackedMenu(); },
};

}  // namespace

RegisteredWindow::RegisteredWindow(WindowHost& host) {
    // The stand-in keeps its own copy of the table.
    TavorenWindowCallbacks callbacks = kCallbacks;
    callbacks.context = &host;
    hwnd_ = TavorenCreateWindow(&callbacks);
}

RegisteredWindow::~RegisteredWindow() {
    TavorenDestroyWindow(hwnd_);
}
