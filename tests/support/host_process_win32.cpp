#include "tests/support/host_process.h"

#include <cwchar>
#include <vector>

namespace {

std::wstring TemporaryFile(const wchar_t* prefix) {
    wchar_t directory[MAX_PATH + 1], path[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, directory) || !GetTempFileNameW(directory, prefix, 0, path)) {
        return {};
    }
    return path;
}

// This process's environment block with `variable` in place of any of the same name.
std::vector<wchar_t> EnvironmentWith(const std::wstring& variable) {
    const std::wstring name = variable.substr(0, variable.find(L'=') + 1);
    std::vector<wchar_t> block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; entry && *entry; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, name.c_str(), name.size()) == 0) continue;
        block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    }
    if (strings) FreeEnvironmentStringsW(strings);
    block.insert(block.end(), variable.begin(), variable.end());
    block.push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[256];
    if (owner == search->processId && IsWindowVisible(window) && GetClassNameW(window, name, 256) &&
        wcscmp(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HostProcess::~HostProcess() {
    if (process_.hProcess) {
        DWORD exitCode = 0;
        if (Running(exitCode)) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    if (!errorFile_.empty()) DeleteFileW(errorFile_.c_str());
}

bool HostProcess::Start(const std::wstring& commandLine, const std::wstring& variable,
                        std::string& error) {
    errorFile_ = TemporaryFile(L"phe");
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE errorOutput =
        CreateFileW(errorFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (errorOutput == INVALID_HANDLE_VALUE) {
        error = "cannot create a file for the host's error output";
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = errorOutput;
    startup.hStdError = errorOutput;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    std::vector<wchar_t> environment;
    if (!variable.empty()) environment = EnvironmentWith(variable);
    const BOOL started = CreateProcessW(
        nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
        environment.empty() ? nullptr : environment.data(), nullptr, &startup, &process_);
    const DWORD startError = GetLastError();
    CloseHandle(errorOutput);
    if (!started) {
        process_ = {};
        error = "CreateProcessW failed with error " + std::to_string(startError);
        return false;
    }
    return true;
}

HWND HostProcess::WaitForWindow(const wchar_t* className, unsigned timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    DWORD exitCode = 0;
    while (Running(exitCode)) {
        WindowSearch search{process_.dwProcessId, className, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (GetTickCount64() >= deadline) return nullptr;
        // Nothing signals another process's window creation: look again shortly.
        Pause(20);
    }
    return nullptr;
}

bool HostProcess::WaitForExit(unsigned timeoutMs, DWORD& exitCode) const {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_.hProcess, &exitCode) != 0;
}

bool HostProcess::Running(DWORD& exitCode) const {
    if (!process_.hProcess || WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) {
        if (process_.hProcess) GetExitCodeProcess(process_.hProcess, &exitCode);
        return false;
    }
    return true;
}

void HostProcess::Pause(unsigned ms) const {
    WaitForSingleObject(process_.hProcess, ms);
}

std::string HostProcess::ErrorOutput() const {
    HANDLE file = CreateFileW(errorFile_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    CloseHandle(file);
    return text;
}

std::wstring ExecutableDirectory() {
    std::vector<wchar_t> path(MAX_PATH * 4);
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring full(path.data(), length);
    return full.substr(0, full.find_last_of(L"\\/") + 1);
}
