// IsDebuggerPresent and DebugBreak: a tracer attached to the process counts as a debugger.
#include <windows.h>

#include <signal.h>

#include <fstream>
#include <string>

extern "C" BOOL IsDebuggerPresent(void) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0) {
            return std::stol(line.substr(10)) != 0 ? TRUE : FALSE;
        }
    }
    return FALSE;
}

// Without a debugger a breakpoint would end the process, so it is only raised under one.
extern "C" void DebugBreak(void) {
    if (IsDebuggerPresent()) raise(SIGTRAP);
}
