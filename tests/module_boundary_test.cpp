// The module as a host sees it: one export, the descriptor record byte for byte, and the
// entry points reached through the record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "module/module_info.h"
#if defined(_WIN32)
#include "module_version.h"
#endif
#include "tests/support/module_loader.h"

namespace {

using GetModuleInfoFn = ModuleInfo* (*)(void*);

class ModuleBoundaryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(module_.loaded()) << module_.error();
        getInfo_ = reinterpret_cast<GetModuleInfoFn>(module_.Symbol("GetTavorenModuleInfo"));
        ASSERT_NE(getInfo_, nullptr);
        info_ = getInfo_(nullptr);
        ASSERT_NE(info_, nullptr);
    }

    template <typename T>
    T FieldAt(size_t offset) const {
        T value;
        std::memcpy(&value, reinterpret_cast<const unsigned char*>(info_) + offset, sizeof(T));
        return value;
    }

    LoadedModule module_{TAVOREN_MODULE_FILE};
    GetModuleInfoFn getInfo_ = nullptr;
    ModuleInfo* info_ = nullptr;
};

std::u16string Wide(const WCHAR* text) {
    std::u16string result;
    for (; *text; ++text) result += static_cast<char16_t>(*text);
    return result;
}

TEST_F(ModuleBoundaryTest, ExportReturnsTheSameRecordWhateverItIsGiven) {
    int argument = 7;
    EXPECT_EQ(getInfo_(&argument), info_);
    EXPECT_EQ(getInfo_(nullptr), info_);
    EXPECT_EQ(getInfo_(reinterpret_cast<void*>(~uintptr_t{0})), info_);
}

TEST_F(ModuleBoundaryTest, RecordHoldsTheDescriptorValues) {
    EXPECT_STREQ(info_->signature, "PelmTavorenModule");
    EXPECT_EQ(info_->headerValue, 2);
    EXPECT_EQ(info_->reserved[0], 0u);
    EXPECT_EQ(info_->reserved[1], 0u);
    EXPECT_STREQ(info_->moduleId, "TavorenGif2");
    EXPECT_STREQ(info_->fileFilter, "*.gif|*.webp");
    EXPECT_EQ(Wide(info_->description), u"GifAnimation Viewer Module ver. 0.2");
    EXPECT_FALSE(Wide(info_->copyright).empty());
    EXPECT_EQ(info_->trailerValue, 0x9875);
    EXPECT_NE(info_->createInstance, nullptr);
    EXPECT_NE(info_->destroyInstance, nullptr);
    EXPECT_NE(info_->loadImageSource, nullptr);
    EXPECT_NE(info_->attachWindow, nullptr);
    EXPECT_NE(info_->render, nullptr);
    EXPECT_NE(info_->handleMessage, nullptr);
}

TEST_F(ModuleBoundaryTest, RecordLayoutMatchesTheHostsOffsets) {
    const bool wide = sizeof(void*) == 8;
    const size_t moduleId = wide ? 24 : 16;
    const size_t trailer = wide ? 104 : 56;
    const size_t firstEntry = wide ? 56 : 32;
    EXPECT_STREQ(FieldAt<const char*>(0), "PelmTavorenModule");
    EXPECT_EQ(FieldAt<INT32>(wide ? 8 : 4), 2);
    EXPECT_EQ(FieldAt<UINT64>(wide ? 12 : 8), 0u);
    if (wide) {
        EXPECT_EQ(FieldAt<UINT32>(20), 0u) << "alignment after reserved";
    }
    EXPECT_STREQ(FieldAt<const char*>(moduleId), "TavorenGif2");
    EXPECT_STREQ(FieldAt<const char*>(moduleId + sizeof(void*)), "*.gif|*.webp");
    EXPECT_EQ(Wide(FieldAt<const WCHAR*>(moduleId + 2 * sizeof(void*))),
              u"GifAnimation Viewer Module ver. 0.2");
    EXPECT_EQ(FieldAt<void*>(firstEntry), reinterpret_cast<void*>(info_->createInstance));
    EXPECT_EQ(FieldAt<void*>(firstEntry + 5 * sizeof(void*)),
              reinterpret_cast<void*>(info_->handleMessage));
    EXPECT_EQ(FieldAt<INT32>(trailer), 39029);
    if (wide) {
        EXPECT_EQ(FieldAt<UINT32>(108), 0u) << "alignment after trailerValue";
    }
}

#if defined(_WIN32)
// One string of the file's version resource (U.S. English, Unicode), empty when absent.
std::u16string VersionString(const std::vector<BYTE>& block, const wchar_t* name) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    WCHAR* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
        !value) {
        return {};
    }
    return Wide(value);
}
#endif

// What Explorer's Details tab and a host's plug-in list read from the file: the project's
// version, the record's own description and the name the module ships under.
TEST_F(ModuleBoundaryTest, VersionResourceNamesTheModuleAsItsRecordDoes) {
#if !defined(_WIN32)
    GTEST_SKIP() << "a Linux shared object has no version resource";
#else
    HMODULE handle = GetModuleHandleW(L"" TAVOREN_MODULE_FILE);
    ASSERT_NE(handle, nullptr);
    WCHAR path[MAX_PATH * 4];
    ASSERT_GT(GetModuleFileNameW(handle, path, MAX_PATH * 4), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u) << "no version resource (error " << GetLastError() << ")";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS,
              static_cast<DWORD>(MAKELONG(TAVOREN_VERSION_MINOR, TAVOREN_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS,
              static_cast<DWORD>(MAKELONG(TAVOREN_VERSION_TWEAK, TAVOREN_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    EXPECT_EQ(VersionString(block, L"FileDescription"), Wide(info_->description));
    EXPECT_EQ(VersionString(block, L"FileDescription"), u"GifAnimation Viewer Module ver. 0.2");
    EXPECT_EQ(VersionString(block, L"LegalCopyright"), Wide(info_->copyright));
    EXPECT_EQ(VersionString(block, L"OriginalFilename"),
              sizeof(void*) == 8 ? u"Pelm_TavorenGif.tvm64" : u"Pelm_TavorenGif.tvm32");
    EXPECT_EQ(VersionString(block, L"FileVersion"), u"" TAVOREN_VERSION_STRING);
    EXPECT_EQ(VersionString(block, L"ProductVersion"), u"" TAVOREN_VERSION_STRING);
    EXPECT_EQ(VersionString(block, L"ProductName"), u"Pelm_TavorenGif");
#endif
}

TEST_F(ModuleBoundaryTest, EntryPointsThroughTheRecordBeforeAnyImage) {
    info_->destroyInstance(nullptr);

    TavorenGif* viewer = info_->createInstance(nullptr);
    ASSERT_NE(viewer, nullptr);
    RECT source{0, 0, 10, 10};
    RECT dest{0, 0, 10, 10};
    EXPECT_EQ(info_->render(viewer, 0, &source, &dest, 1), 0) << "nothing to paint yet";
    EXPECT_EQ(info_->handleMessage(viewer, WM_USER + 10, 0, 0), 1);
    EXPECT_EQ(info_->handleMessage(viewer, WM_KEYDOWN, 'Z', 0), 0);
    info_->destroyInstance(viewer);
}

TEST_F(ModuleBoundaryTest, LoadFromMemoryWritesTheMemoryResultEvenWhenItFails) {
    TavorenGif* viewer = info_->createInstance(nullptr);
    ASSERT_NE(viewer, nullptr);
    const BYTE garbage[] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    INT32 memoryResult = 12345;
    auto progress = [](UINT32, UINT32, void*) -> INT32 { return 0; };
    EXPECT_EQ(info_->loadImageSource(viewer, nullptr, garbage, sizeof(garbage), &memoryResult, 0, 0,
                                     progress, nullptr),
              -1);
    EXPECT_EQ(memoryResult, 0);

    memoryResult = 12345;
    EXPECT_EQ(info_->loadImageSource(viewer, TEXT("no-such-file.gif"), garbage, 0, &memoryResult, 0,
                                     0, progress, nullptr),
              -1);
    EXPECT_EQ(memoryResult, 12345) << "the file source leaves memoryResult alone";
    info_->destroyInstance(viewer);
}

}  // namespace
