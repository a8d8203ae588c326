#include "tests/support/screen_capture.h"

#include <algorithm>

#include "tests/support/platform_info.h"

ScreenCapture CaptureClientArea(HWND window) {
    ScreenCapture capture;
    RECT client{};
    POINT origin{0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) return capture;
    capture.width = client.right;
    capture.height = client.bottom;
    capture.pixels.assign(static_cast<size_t>(capture.width) * capture.height, 0);
    if (capture.pixels.empty()) return capture;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screenDc = GetDC(nullptr);
    HDC memoryDc = CreateCompatibleDC(screenDc);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) {
        HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        BitBlt(memoryDc, 0, 0, capture.width, capture.height, screenDc, origin.x, origin.y,
               SRCCOPY);
        GdiFlush();  // the DIB's bits are only complete once GDI's batch has run
        const auto* source = static_cast<const uint32_t*>(bits);
        std::transform(source, source + capture.pixels.size(), capture.pixels.begin(),
                       [](uint32_t p) { return p | 0xFF000000u; });  // GDI leaves alpha 0
        SelectObject(memoryDc, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memoryDc);
    ReleaseDC(nullptr, screenDc);
    return capture;
}

ScreenCapture CaptureClientAreaAsShown(HWND window) {
    return RunningUnderWine() ? CaptureClientAreaOnX(window) : CaptureClientArea(window);
}
