// Marks the module's one exported function; everything else stays inside the library.
#pragma once

#if defined(_WIN32)
#define TAVOREN_EXPORT extern "C" __declspec(dllexport)
#else
#define TAVOREN_EXPORT extern "C" __attribute__((visibility("default")))
#endif
