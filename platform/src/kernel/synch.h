// What the stand-in's threads take from its handle table.
#pragma once

#include <windows.h>

#include <memory>

namespace platform {

// A new handle for a thread: waits on it end once SignalThreadEnd has been given `ended`.
HANDLE CreateThreadHandle(std::shared_ptr<void>& ended);
void SignalThreadEnd(const std::shared_ptr<void>& ended);

}  // namespace platform
