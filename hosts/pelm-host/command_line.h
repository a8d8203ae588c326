// The host's command line: pelm-host [--module PATH] [--background COLOUR] [--topmost]
// [FILE... | FOLDER]
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "hosts/core/host_defaults.h"

struct HostOptions {
    std::wstring modulePath;                   // empty: the module beside the executable
    std::vector<std::wstring> imagePaths;      // files or a folder; none: the built-in demo
    bool versionAsked = false;                 // --version: print it and go
    uint32_t background = kDefaultBackground;  // 0xRRGGBB
    // Keeps the window above all others: for tests on a display without a window manager,
    // where nothing else would keep a window from being covered.
    bool topmost = false;
};

// The options from the process's command line, or nothing with `error` set to what is wrong.
std::optional<HostOptions> ParseCommandLine(const wchar_t* commandLine, std::wstring& error);

// One line per option, for the usage message.
extern const wchar_t kUsage[];
