// The tests act as the host does: COM is initialised on the thread that drives the viewers.
#include <gtest/gtest.h>
#include <objbase.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = RUN_ALL_TESTS();
    if (SUCCEEDED(hr)) CoUninitialize();
    return result;
}
