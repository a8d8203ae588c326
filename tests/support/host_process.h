// A host program started as a user would start it, watched from outside: its window found by
// class, its error output kept, its exit awaited.
#pragma once

#include <windows.h>

#include <string>

class HostProcess {
  public:
    HostProcess() = default;
    // Ends the process if it still runs, so that a failed test leaves nothing behind.
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Starts `commandLine` (the program first, quoted as needed) with its standard error in a
    // file of its own, in this process's environment with `variable` ("NAME=value", or empty
    // for none) added or replaced. False with `error` set when it cannot be started.
    bool Start(const std::wstring& commandLine, const std::wstring& variable, std::string& error);

    // The process's visible top-level window of `className`, or null when none appears
    // within the timeout or the process ends first.
    HWND WaitForWindow(const wchar_t* className, unsigned timeoutMs) const;
    // Waits for the end of the process; false when it still runs after the timeout.
    bool WaitForExit(unsigned timeoutMs, DWORD& exitCode) const;
    // Whether the process still runs; with `exitCode` set once it has ended.
    bool Running(DWORD& exitCode) const;
    // Returns after `ms` milliseconds or as soon as the process ends, whichever is first:
    // the pause between two looks at a screen that nothing signals.
    void Pause(unsigned ms) const;
    // What the process wrote to its standard error so far.
    std::string ErrorOutput() const;

  private:
    PROCESS_INFORMATION process_{};
    std::wstring errorFile_;
};

// The directory of this test executable, with a trailing separator.
std::wstring ExecutableDirectory();
