#include "hosts/pelm-host/host_error.h"

#include <windows.h>

#include <string>

namespace {

bool WriteTo(DWORD stream, const std::wstring& text) {
    HANDLE error = GetStdHandle(stream);
    if (!error || error == INVALID_HANDLE_VALUE || GetFileType(error) == FILE_TYPE_UNKNOWN) {
        return false;
    }
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(error, &mode)) {
        return WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written,
                             nullptr);
    }
    // A file or a pipe: UTF-8, as the reading side most likely expects.
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void ReportError(const std::wstring& message) {
    if (WriteTo(STD_ERROR_HANDLE, L"pelm-host: " + message + L"\n")) return;
    MessageBoxW(nullptr, message.c_str(), L"Pelm host", MB_OK | MB_ICONERROR);
}

void ReportMessage(const std::wstring& message) {
    if (WriteTo(STD_OUTPUT_HANDLE, message + L"\n")) return;
    MessageBoxW(nullptr, message.c_str(), L"Pelm host", MB_OK);
}
