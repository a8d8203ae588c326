// What a kernel HANDLE points to in the stand-in.
#pragma once

#include <windows.h>

namespace platform {

struct KernelObject {
    enum class Kind { Event };
    explicit KernelObject(Kind k) : kind(k) {}
    virtual ~KernelObject() = default;
    const Kind kind;
};

}  // namespace platform
