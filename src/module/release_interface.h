// Releases a held interface and clears the field that held it; a null field is skipped.
#pragma once

template <typename T>
void ReleaseInterface(T*& held) {
    if (held) {
        held->Release();
        held = nullptr;
    }
}
