// The process's resident memory, for tests that show it stays flat. Linux reads the kernel's
// own figure; elsewhere there is none to read here and the answer is -1.
#pragma once

#include <fstream>
#include <string>

// VmRSS from /proc/self/status, in kB; -1 where it cannot be read.
inline long ResidentKilobytes() {
#if defined(__linux__)
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
#endif
    return -1;
}
