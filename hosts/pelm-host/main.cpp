// pelm-host: the Windows reference host. Loads the module as the viewer does and shows one
// folder's images (or the demo animation) in a window, playing.
#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <optional>
#include <string>

#include "hosts/core/host_commands.h"
#include "hosts/pelm-host/command_line.h"
#include "hosts/pelm-host/host_error.h"
#include "hosts/core/host_module.h"
#include "hosts/pelm-host/viewer_window.h"

namespace {

int RunMessageLoop() {
    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) return 1;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

int Run(const HostOptions& options, int show) {
    std::wstring error;
    std::string reason;
    // Shared with the viewer, which goes before the module is unloaded.
    auto module =
        HostModule::Open(options.modulePath.empty() ? ModuleBesideExecutable()
                                                    : std::filesystem::path(options.modulePath),
                         &reason);
    if (!module) {
        ReportError(std::wstring(reason.begin(), reason.end()));
        return 1;
    }
    ViewerWindow window(std::move(module), options);
    if (!window.Open(show, error)) {
        ReportError(error);
        return 1;
    }
    return RunMessageLoop();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    std::wstring error;
    const std::optional<HostOptions> options = ParseCommandLine(GetCommandLineW(), error);
    if (!options) {
        ReportError(error + L"\n" + kUsage);
        return 2;
    }
    if (options->versionAsked) {
        const std::string version = VersionText("pelm-host");
        ReportMessage(std::wstring(version.begin(), version.end()));
        return 0;
    }
    // The picture is shown at 1:1 in real pixels, not scaled up by the system on a high-DPI
    // screen.
    SetProcessDPIAware();
    // The module never initialises COM itself: its imaging calls rely on the host's
    // apartment on this, the window thread.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr)) {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        ReportError(std::wstring(L"cannot initialise COM (error ") + code + L")");
        return 1;
    }
    const int exitCode = Run(*options, show);
    CoUninitialize();
    return exitCode;
}
