// Platform behaviour the module relies on. These run against Windows itself (under Wine) as
// well as against the Linux stand-in, so the stand-in is held to what Windows does.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <tavoren_platform_probe.h>
#endif

namespace {

TEST(PlatformTypes, WideCharactersAreUtf16Units) {
    static_assert(sizeof(WCHAR) == 2);
    static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(DWORD) == 4);
    static_assert(sizeof(BOOL) == 4 && sizeof(HRESULT) == 4);
    static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*));
    static_assert(sizeof(RECT) == 16 && sizeof(GUID) == 16);
    const WCHAR* text = TEXT("\u00e9t\u00e9");
    EXPECT_EQ(text[0], 0x00E9);
    EXPECT_EQ(text[3], 0);
}

TEST(PlatformStrings, WideToUtf8CountsAndConverts) {
    const WCHAR text[] = {'a', 0x00E9, 0xD83D, 0xDE00, 0xD800, 'z', 0};
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(needed, 1 + 2 + 4 + 3 + 1 + 1) << "the terminator counts";
    std::string out(static_cast<size_t>(needed), 'x');
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), needed, nullptr, nullptr),
              needed);
    EXPECT_EQ(out, std::string("a\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBDz", 11) + '\0')
        << "an unpaired surrogate becomes U+FFFD";
    char small[2];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, small, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(PlatformCom, UnknownClassIsNotRegistered) {
    const CLSID unknown = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* object = reinterpret_cast<void*>(uintptr_t{1});
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    EXPECT_TRUE(IsEqualGUID(unknown, unknown));
    EXPECT_FALSE(IsEqualGUID(unknown, IID_IUnknown));
}

TEST(PlatformCom, PropVariantClearFreesAndEmpties) {
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_LPWSTR;
    value.pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(4 * sizeof(WCHAR)));
    value.pwszVal[0] = 'a';
    value.pwszVal[1] = 0;
    EXPECT_EQ(PropVariantClear(&value), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY);

    value.vt = VT_UI2;
    value.uiVal = 500;
    EXPECT_EQ(PropVariantClear(&value), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY);
    EXPECT_EQ(value.uiVal, 0);
}

TEST(PlatformEvents, AutomaticResetIsConsumedByOneWait) {
    HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "two sets are one signal";
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(PlatformEvents, ManualResetStaysSignalledUntilReset) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 5), WAIT_OBJECT_0);
    ResetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(PlatformEvents, WaitAnyAnswersTheFirstSignalledIndex) {
    HANDLE events[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr),
                        CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(events[0]);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0) << "lowest index wins";
    EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_OBJECT_0) << "the other stayed signalled";
    CloseHandle(events[0]);
    CloseHandle(events[1]);
}

TEST(PlatformEvents, AnUnboundedWaitEndsWhenAnotherThreadSignals) {
    HANDLE events[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr),
                        CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD result = WAIT_FAILED;
    std::thread waiter([&] {
        SetEvent(started);
        result = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    });
    WaitForSingleObject(started, INFINITE);
    SetEvent(events[1]);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0 + 1);
    for (HANDLE h : {events[0], events[1], started}) CloseHandle(h);
}

// A thread in WaitForMultipleObjects on an escape event (manual reset, index 0) and the given
// events. The escape frees it when the test fails, so that it can always be joined.
class WaitingThread {
  public:
    WaitingThread(std::initializer_list<HANDLE> events, DWORD timeout)
        : escape_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        handles_.push_back(escape_);
        handles_.insert(handles_.end(), events);
        thread_ = std::thread([this, timeout] {
            result_.set_value(WaitForMultipleObjects(static_cast<DWORD>(handles_.size()),
                                                     handles_.data(), FALSE, timeout));
        });
        answer_ = result_.get_future();
    }
    ~WaitingThread() {
        SetEvent(escape_);
        thread_.join();
        CloseHandle(escape_);
    }
    // The wait's result, or WAIT_FAILED when it has not ended within `milliseconds`.
    DWORD Result(unsigned milliseconds) {
        if (answer_.wait_for(std::chrono::milliseconds(milliseconds)) !=
            std::future_status::ready) {
            return WAIT_FAILED;
        }
        return answer_.get();
    }
    bool Ended() { return answer_.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }

  private:
    HANDLE escape_;
    std::vector<HANDLE> handles_;
    std::promise<DWORD> result_;
    std::future<DWORD> answer_;
    std::thread thread_;
};

#if defined(_WIN32)
#define SKIP_WITHOUT_BLOCKED_WAITS() \
    GTEST_SKIP() << "Windows cannot tell that a thread has entered its wait"
#else
#define SKIP_WITHOUT_BLOCKED_WAITS()
#endif

// On Windows SetEvent ends the wait of a thread that waits on an automatic-reset event at
// once, and leaves the event non-signalled: a ResetEvent right after takes nothing back.
TEST(PlatformEvents, AWaiterReleasedBySetEventStaysReleasedWhateverResetFollows) {
    SKIP_WITHOUT_BLOCKED_WAITS();
#if !defined(_WIN32)
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    for (int trial = 0; trial < 50; ++trial) {
        WaitingThread waiter({wake}, INFINITE);
        ASSERT_TRUE(TavorenWaitForBlockedWaits(1, 10000));
        SetEvent(wake);
        ResetEvent(wake);
        ASSERT_EQ(waiter.Result(10000), WAIT_OBJECT_0 + 1) << "trial " << trial;
        EXPECT_EQ(WaitForSingleObject(wake, 0), WAIT_TIMEOUT) << "the release left a signal";
    }
    CloseHandle(wake);
#endif
}

// One SetEvent of an automatic-reset event releases one waiter and is used up by it.
TEST(PlatformEvents, WaitConsumesTheAutomaticResetEventItReturnsFor) {
    SKIP_WITHOUT_BLOCKED_WAITS();
#if !defined(_WIN32)
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // One after the other, so that the first to wait is known: it is the one released.
    WaitingThread first({wake}, INFINITE);
    ASSERT_TRUE(TavorenWaitForBlockedWaits(1, 10000));
    WaitingThread second({wake}, INFINITE);
    ASSERT_TRUE(TavorenWaitForBlockedWaits(2, 10000));
    SetEvent(wake);
    EXPECT_EQ(first.Result(10000), WAIT_OBJECT_0 + 1);
    // The other stays blocked until the next signal.
    ASSERT_TRUE(TavorenWaitForBlockedWaits(1, 10000));
    EXPECT_FALSE(second.Ended());
    EXPECT_EQ(WaitForSingleObject(wake, 0), WAIT_TIMEOUT) << "the release left a signal";
    SetEvent(wake);
    EXPECT_EQ(second.Result(10000), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(wake, 0), WAIT_TIMEOUT);
    CloseHandle(wake);
#endif
}

// A manual-reset event releases every thread that waits on it, also when it is reset again
// at once; it stays signalled until then. Under Windows the reset is left out, as the test
// cannot know that every thread has entered its wait.
TEST(PlatformEvents, AManualResetEventReleasesEveryWaiter) {
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    {
        WaitingThread a({stop, wake}, INFINITE);
        WaitingThread b({stop, wake}, INFINITE);
        WaitingThread c({stop}, 60000);
#if !defined(_WIN32)
        ASSERT_TRUE(TavorenWaitForBlockedWaits(3, 10000));
#endif
        SetEvent(stop);
#if !defined(_WIN32)
        EXPECT_EQ(WaitForSingleObject(stop, 0), WAIT_OBJECT_0) << "released, but not signalled";
        ResetEvent(stop);
#endif
        for (WaitingThread* waiter : {&a, &b, &c})
            EXPECT_EQ(waiter->Result(10000), WAIT_OBJECT_0 + 1);
    }
    CloseHandle(stop);
    CloseHandle(wake);
}

TEST(PlatformEvents, AClosedHandleFailsAsInvalid) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    SetLastError(0);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(event));
}

struct ThreadStart {
    HANDLE ran;
    std::thread::id thread;
};

DWORD WINAPI RecordThread(LPVOID argument) {
    auto* started = static_cast<ThreadStart*>(argument);
    started->thread = std::this_thread::get_id();
    SetEvent(started->ran);
    return 0;
}

TEST(PlatformThreads, CreateThreadRunsTheRoutineOnAThreadOfItsOwn) {
    ThreadStart start{CreateEventW(nullptr, TRUE, FALSE, nullptr), {}};
    const HANDLE thread = CreateThread(nullptr, 0, RecordThread, &start, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(start.ran, 10000), WAIT_OBJECT_0);
    EXPECT_NE(start.thread, std::this_thread::get_id());
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(start.ran);
}

// Windows would end the process; the stand-in only breaks into a debugger that is there.
TEST(PlatformDebugging, TheStandInBreaksOnlyUnderADebugger) {
#if defined(_WIN32)
    GTEST_SKIP() << "on Windows a breakpoint without a debugger ends the process";
#else
    if (IsDebuggerPresent()) GTEST_SKIP() << "a debugger is attached";
    DebugBreak();
    SUCCEED();
#endif
}

TEST(PlatformMenus, PopupMenuIsCreatedAndDestroyed) {
    HMENU menu = CreatePopupMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(DestroyMenu(menu));
}

}  // namespace
