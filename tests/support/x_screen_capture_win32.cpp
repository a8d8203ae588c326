// The client area as the X server shows it, for a test that runs under Wine. A Windows program
// cannot call Xlib, but Wine starts a Linux program named on a command line as a Linux process
// (without a handle to it): xwd reads the X root window's pixels, ImageMagick crops the client
// area out of them into a PPM file, renamed into place once complete. The test waits
// for that file, or for the file that says the capture failed.
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/screen_capture.h"
#include "tests/support/wide_path.h"

namespace {

constexpr unsigned kCaptureTimeoutMs = 15000;

// Wine's own export: the Linux path of a Windows path.
std::string UnixPath(const std::wstring& path) {
    using ToUnix = char*(__cdecl*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    char* unix = toUnix(path.c_str());
    if (!unix) return {};
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// The next number of a PPM header, past white space and comments (ImageMagick writes one).
int HeaderNumber(FILE* file) {
    int c = std::fgetc(file);
    while (c == '#' || std::isspace(c)) {
        if (c == '#') {
            while (c != '\n' && c != EOF) c = std::fgetc(file);
        }
        c = std::fgetc(file);
    }
    int value = -1;
    for (; c != EOF && std::isdigit(c); c = std::fgetc(file)) {
        value = (value < 0 ? 0 : value * 10) + (c - '0');
        if (value > 1 << 20) return -1;
    }
    return value;  // the one white space character after it is consumed
}

// Reads a binary PPM (P6, maxval 255) into `capture`; false when it is not one of its size.
bool ReadPpm(const std::wstring& path, ScreenCapture& capture) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return false;
    bool ok = std::fgetc(file) == 'P' && std::fgetc(file) == '6';
    ok = ok && HeaderNumber(file) == capture.width && HeaderNumber(file) == capture.height &&
         HeaderNumber(file) == 255;
    if (ok) {
        std::vector<unsigned char> rgb(capture.pixels.size() * 3);
        ok = std::fread(rgb.data(), 1, rgb.size(), file) == rgb.size();
        for (size_t i = 0; ok && i < capture.pixels.size(); ++i) {
            capture.pixels[i] =
                0xFF000000u | rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
        }
    }
    std::fclose(file);
    return ok;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

ScreenCapture CaptureClientAreaOnX(HWND window) {
    ScreenCapture capture;
    RECT client{};
    POINT origin{0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) {
        capture.error = "the window has gone";
        return capture;
    }
    capture.width = client.right;
    capture.height = client.bottom;
    capture.pixels.assign(static_cast<size_t>(capture.width) * capture.height, 0);
    if (capture.pixels.empty()) return capture;

    // Wine's temporary folder lies on the Linux file system.
    wchar_t directory[MAX_PATH + 1], base[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, directory) || !GetTempFileNameW(directory, L"xsc", 0, base)) {
        capture.error = "no temporary file for the X capture";
        return capture;
    }
    const std::wstring done = std::wstring(base) + L".ppm", failed = std::wstring(base) + L".err";
    const std::string partial = UnixPath(std::wstring(base) + L".part");
    const std::string unixDone = UnixPath(done), unixFailed = UnixPath(failed);
    if (partial.empty() || unixDone.empty()) {
        DeleteFileW(base);
        capture.error = "not under Wine: no Linux path for the X capture";
        return capture;
    }
    // The client area in screen coordinates is the same rectangle on the X root window: the
    // prefix's windows are not managed, and Wine's screen is the X screen.
    char geometry[64];
    std::snprintf(geometry, sizeof(geometry), "%dx%d%+ld%+ld", capture.width, capture.height,
                  origin.x, origin.y);
    // xwd reads the root window's pixels as the server holds them, with every window on it;
    // ImageMagick's import reads Wine's X windows one by one and misses Direct3D's.
    const std::string xwd = partial + ".xwd", log = unixFailed + ".log";
    const std::string script = "xwd -root -silent -out '" + xwd + "' 2>'" + log +
                               "' && convert xwd:'" + xwd + "' -crop " + geometry +
                               " +repage -depth 8 ppm:'" + partial + "' 2>>'" + log + "' && mv '" +
                               partial + "' '" + unixDone + "' || mv '" + log + "' '" + unixFailed +
                               "'; rm -f '" + xwd + "' '" + log + "'";
    std::wstring line = L"/bin/sh -c \"" + Wide(script) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        DeleteFileW(base);
        capture.error =
            "cannot start /bin/sh for the X capture (error " + std::to_string(GetLastError()) + ")";
        return capture;
    }
    // A Linux process comes without handles; a Windows one (not expected) is let go.
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);

    // Nothing signals the end of a Linux process to this one: look for its files.
    const ULONGLONG deadline = GetTickCount64() + kCaptureTimeoutMs;
    while (!Exists(done) && !Exists(failed) && GetTickCount64() < deadline) {
        Sleep(5);  // the next look at the folder
    }
    if (Exists(done)) {
        if (!ReadPpm(done, capture))
            capture.error = "the X capture is not a PPM of the client area";
    } else if (Exists(failed)) {
        capture.error = "xwd or convert could not read the X screen";
        if (FILE* reason = _wfopen(failed.c_str(), L"rb")) {
            char text[512] = {};
            const size_t read = std::fread(text, 1, sizeof(text) - 1, reason);
            std::fclose(reason);
            capture.error += ": " + std::string(text, read);
        }
    } else {
        capture.error = "no X capture within 15 s (are xwd and ImageMagick installed?)";
    }
    DeleteFileW(done.c_str());
    DeleteFileW(failed.c_str());
    DeleteFileW(base);
    return capture;
}
