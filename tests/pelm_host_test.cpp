// The Windows reference host end to end, as a user runs it: pelm-host started on a folder,
// driven through its window with keys, stepping through the folder's files with the one
// viewer, read back from the screen, and closed. One host process serves every case, in order:
// a Direct2D window costs seconds under Wine.
#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/gif_builder.h"
#include "tests/support/host_process.h"
#include "tests/support/screen_capture.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;
// A block in the canvas's top-left corner shows which way the picture is turned.
constexpr int kMarkerWidth = 16, kMarkerHeight = 12;
constexpr uint32_t kFrameColours[] = {0xE04030, 0x30C050, 0x3050E0, 0xE0C030};
constexpr int kFrames = 4;
constexpr uint32_t kMarker = 0x000000;
constexpr uint32_t kHost = 0x204060;
constexpr wchar_t kHostColourArgument[] = L"204060";
constexpr uint16_t kDelay = 10;  // hundredths: 400 ms for the whole animation
constexpr unsigned kTimeoutMs = 20000;
constexpr wchar_t kNonAsciiName[] = L"\u30C6\u30B9\u30C8";  // "test" in katakana
// The folder's second file: another animation, of two frames of one colour each; its third:
// a file that is no image; its fourth: a still.
constexpr int kOtherWidth = 32, kOtherHeight = 24;
constexpr uint32_t kOtherColours[] = {0x40A0E0, 0xA040E0};
GifImage MarkedFrames() {
    GifImage image;
    image.width = kWidth;
    image.height = kHeight;
    for (uint32_t c : kFrameColours) {
        image.globalTable.push_back(
            {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
    }
    image.globalTable.push_back({0, 0, 0});  // index 4: the marker
    for (int k = 0; k < kFrames; ++k) {
        GifFrame frame;
        frame.width = kWidth;
        frame.height = kHeight;
        frame.control = GifControl{};
        frame.control->delay = kDelay;
        frame.control->disposal = 1;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool marker = x < kMarkerWidth && y < kMarkerHeight;
                frame.indices.push_back(static_cast<uint8_t>(marker ? 4 : k));
            }
        }
        image.frames.push_back(std::move(frame));
    }
    return image;
}

GifColor Colour(uint32_t rgb) {
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
            static_cast<uint8_t>(rgb)};
}

std::vector<uint8_t> OtherGif() {
    GifImage image = SimpleAnimation(2, kOtherWidth, kOtherHeight, kDelay);
    image.globalTable[0] = Colour(kOtherColours[0]);
    image.globalTable[1] = Colour(kOtherColours[1]);
    return BuildGif(image);
}

constexpr int kStillSize = 8;
constexpr uint32_t kStillColour = 0xFF0000;  // SimpleAnimation's first colour

std::vector<uint8_t> StillGif() {
    return BuildGif(SimpleAnimation(1, kStillSize, kStillSize, 0));
}

// Frame k at displayed (x, y), turned clockwise by `rotation` (0 or 90).
uint32_t FramePixel(int k, int rotation, int x, int y) {
    const int cx = rotation == 90 ? y : x;
    const int cy = rotation == 90 ? kHeight - 1 - x : y;
    return cx < kMarkerWidth && cy < kMarkerHeight ? kMarker : kFrameColours[k];
}

// Compares the client area with a width x height picture shown at 1:1, centred, in the host
// colour, whose pixel at (x, y) is pixel(x, y). Empty when it matches, else what differs.
template <typename Pixel>
std::string PictureDifference(const ScreenCapture& capture, int width, int height, Pixel pixel) {
    if (!capture.error.empty()) return "cannot read the screen: " + capture.error;
    std::ostringstream out;
    if (capture.width < width || capture.height < height) {
        out << "client area " << capture.width << "x" << capture.height << " is smaller than the "
            << width << "x" << height << " picture";
        return out.str();
    }
    const int left = (capture.width - width) / 2, top = (capture.height - height) / 2;
    int wrong = 0;
    std::map<uint32_t, int> seen;  // in the picture's place, to tell what is shown instead
    for (int y = 0; y < capture.height; ++y) {
        for (int x = 0; x < capture.width; ++x) {
            const bool inside = x >= left && x < left + width && y >= top && y < top + height;
            const uint32_t want = inside ? pixel(x - left, y - top) : kHost;
            const uint32_t got = capture.At(x, y);
            if (inside) ++seen[got];
            if (got == want) continue;
            if (wrong++ == 0) {
                out << "first at " << x << "," << y << ": 0x" << std::hex << got << " instead of 0x"
                    << want << std::dec;
            }
        }
    }
    if (wrong == 0) return {};
    out << "; " << wrong << " pixels differ in the " << capture.width << "x" << capture.height
        << " client area; the picture's place shows";
    for (const auto& [colour, count] : seen)
        out << std::hex << " 0x" << colour << std::dec << " x" << count;
    return out.str();
}

// Frame k of the marked animation, turned by `rotation`.
std::string Difference(const ScreenCapture& capture, int k, int rotation) {
    return PictureDifference(capture, rotation == 90 ? kHeight : kWidth,
                             rotation == 90 ? kWidth : kHeight,
                             [&](int x, int y) { return FramePixel(k, rotation, x, y); });
}

// Either frame of the other animation.
std::string OtherDifference(const ScreenCapture& capture) {
    std::string difference;
    for (uint32_t colour : kOtherColours) {
        difference =
            PictureDifference(capture, kOtherWidth, kOtherHeight, [&](int, int) { return colour; });
        if (difference.empty()) break;
    }
    return difference;
}

// m:ss.mmm, as the status line shows times.
std::wstring Time(int ms) {
    wchar_t text[32];
    swprintf(text, 32, L"%d:%02d.%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

class PelmHostTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        host_ = new HostProcess;
        folder_ = WriteFolder();
        if (folder_.empty()) {
            setupError_ = "cannot write the folder";
            return;
        }
        const std::wstring program = ExecutableDirectory() + L"pelm-host.exe";
        const std::wstring command = L"\"" + program + L"\" --topmost --background " +
                                     kHostColourArgument + L" \"" + folder_ + L"\"";
        // In this process's environment: pelm-host runs as a person runs it in the prefix.
        if (!host_->Start(command, {}, setupError_)) return;
        window_ = host_->WaitForWindow(L"PelmHostWindow", kTimeoutMs);
        if (!window_) setupError_ = "no PelmHostWindow within 20 s" + HostState();
    }

    static void TearDownTestSuite() {
        delete host_;  // ends a host that a failed case left running
        host_ = nullptr;
        for (const std::wstring& file : files_) DeleteFileW(file.c_str());
        if (!folder_.empty()) RemoveDirectoryW(folder_.c_str());
    }

    void SetUp() override { ASSERT_TRUE(window_) << setupError_; }

    static bool WriteFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        files_.push_back(path);
        DWORD written = 0;
        const BOOL ok =
            ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);  // the module opens the file for itself alone
        return ok && written == bytes.size();
    }

    // The folder the host browses, in name order: the marked animation, another animation, a
    // file that is no image, a still, and a text file that the module's filter leaves out.
    static std::wstring WriteFolder() {
        // Not ASCII and with spaces, so that the paths have to reach the module as UTF-16
        // through a quoted command line.
        wchar_t directory[MAX_PATH + 1];
        if (!GetTempPathW(MAX_PATH + 1, directory)) return {};
        const std::wstring folder = std::wstring(directory) + L"pelm host " + kNonAsciiName + L" " +
                                    std::to_wstring(GetCurrentProcessId());
        if (!CreateDirectoryW(folder.c_str(), nullptr)) return {};
        const std::string broken = "GIF89a, and then nothing";
        const bool written =
            WriteFile(folder + L"\\1 " + kNonAsciiName + L".gif", BuildGif(MarkedFrames())) &&
            WriteFile(folder + L"\\2 other.gif", OtherGif()) &&
            WriteFile(folder + L"\\3 broken.gif", {broken.begin(), broken.end()}) &&
            WriteFile(folder + L"\\4 still.gif", StillGif()) &&
            WriteFile(folder + L"\\5 notes.txt", {'n', 'o'});
        return written ? folder : std::wstring{};
    }

    // Why a wait ended without what it waited for, when the host has gone.
    static std::string HostState() {
        DWORD exitCode = 0;
        if (host_->Running(exitCode)) return {};
        return "; pelm-host ended with exit code " + std::to_string(exitCode) + ": " +
               host_->ErrorOutput();
    }

    // Looks at the screen, as a person sees it (under Wine: the X server's pixels), until
    // `match` answers empty or the time is up; the last answer.
    template <typename Match>
    static std::string WaitForScreen(Match match) {
        const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
        std::string difference;
        DWORD exitCode = 0;
        for (;;) {
            difference = match(CaptureClientAreaAsShown(window_));
            if (difference.empty()) return difference;
            if (GetTickCount64() >= deadline || !host_->Running(exitCode)) {
                return difference + HostState();
            }
            host_->Pause(10);  // nothing tells when a frame reaches the screen
        }
    }

    static std::string WaitForFrame(int k, int rotation = 0) {
        return WaitForScreen([&](const ScreenCapture& c) { return Difference(c, k, rotation); });
    }

    // Waits for any frame but `other`; `shown` receives which.
    static std::string WaitForAnyFrame(int other = -1, int* shown = nullptr) {
        return WaitForScreen([&](const ScreenCapture& c) {
            std::string last;
            for (int k = 0; k < kFrames; ++k) {
                if (k == other) continue;
                last = Difference(c, k, 0);
                if (!last.empty()) continue;
                if (shown) *shown = k;
                return last;
            }
            return "no other frame shown; against the last one tried: " + last;
        });
    }

    // Waits until the title holds `fragment`; empty then, else the last title.
    static std::string WaitForTitle(const std::wstring& fragment) {
        const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
        DWORD exitCode = 0;
        for (;;) {
            const std::wstring text = Title();
            if (text.find(fragment) != std::wstring::npos) return {};
            if (GetTickCount64() >= deadline || !host_->Running(exitCode)) {
                return "title \"" + Narrow(text) + "\" has no \"" + Narrow(fragment) + "\"" +
                       HostState();
            }
            host_->Pause(10);
        }
    }

    static std::wstring Title() {
        wchar_t text[512] = {};
        GetWindowTextW(window_, text, 512);
        return text;
    }

    // The play position in the title ("... 0:00.300 / 0:00.400"), or -1.
    static int TitlePosition() {
        const std::wstring title = Title();
        const size_t slash = title.rfind(L" / ");
        if (slash == std::wstring::npos || slash == 0) return -1;
        const size_t start = title.rfind(L' ', slash - 1) + 1;
        int minutes = 0, seconds = 0, ms = 0;
        if (swscanf(title.substr(start, slash - start).c_str(), L"%d:%d.%d", &minutes, &seconds,
                    &ms) != 3) {
            return -1;
        }
        return (minutes * 60 + seconds) * 1000 + ms;
    }

    static std::string WaitForTitlePosition(int position) {
        return WaitForTitle(L" " + Time(position) + L" / ");
    }

    static void PressKey(WPARAM key) { ASSERT_TRUE(PostMessageW(window_, WM_KEYDOWN, key, 0)); }

    // Returns once the host has handled the key.
    static void SendKey(WPARAM key) {
        DWORD_PTR result = 0;
        ASSERT_TRUE(
            SendMessageTimeoutW(window_, WM_KEYDOWN, key, 0, SMTO_NORMAL, kTimeoutMs, &result))
            << "pelm-host did not handle the key within 20 s" << HostState();
    }

    // Sends `key`, then waits until the title holds `fragment`; empty then, as WaitForTitle.
    static std::string KeyThenTitle(WPARAM key, const std::wstring& fragment) {
        SendKey(key);
        return WaitForTitle(fragment);
    }

    static HostProcess* host_;
    static HWND window_;
    static std::wstring folder_;
    static std::vector<std::wstring> files_;
    static std::string setupError_;
};

HostProcess* PelmHostTest::host_ = nullptr;
HWND PelmHostTest::window_ = nullptr;
std::wstring PelmHostTest::folder_;
std::vector<std::wstring> PelmHostTest::files_;
std::string PelmHostTest::setupError_;

TEST_F(PelmHostTest, PlaysOnStartAtOneToOneAmidTheHostColour) {
    int first = -1;
    ASSERT_EQ(WaitForAnyFrame(-1, &first), "");
    EXPECT_EQ(WaitForAnyFrame(first), "") << "the animation does not play";
    // The title shows the file's name, its place in the folder, the displayed size, the zoom,
    // the state and the duration, 4 frames of 100 ms.
    EXPECT_EQ(WaitForTitle(kNonAsciiName), "");
    EXPECT_EQ(WaitForTitle(L"  1/4  64x48  100%  playing  "), "");
    EXPECT_EQ(WaitForTitle(L"/ 0:00.400"), "");
}

TEST_F(PelmHostTest, StopThenEachStepShowsTheNextFrame) {
    // S acts only on a running animation, so first the animation is seen playing.
    ASSERT_EQ(WaitForAnyFrame(), "");
    SendKey('S');
    // The stopped worker leaves its last frame on screen, which may be frame 1 already, so the
    // screen alone cannot tell when a step has been taken. The position can: the stop keeps
    // it, and each step adds the 100 ms of the frame it leaves. A paint made now, after the
    // stop, shows it in the title.
    ASSERT_TRUE(RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW));
    const int stoppedAt = TitlePosition();
    ASSERT_GE(stoppedAt, 0) << Narrow(Title());
    // From stopped, T composes frame 0, advances to frame 1 and pauses; each further T
    // advances one frame. Each step is awaited: one not yet taken would absorb the next.
    for (int k = 1; k < kFrames; ++k) {
        SCOPED_TRACE(k);
        PressKey('T');
        ASSERT_EQ(WaitForTitlePosition(stoppedAt + 100 * k), "") << "after S and " << k << " x T";
        ASSERT_EQ(WaitForFrame(k), "") << "after S and " << k << " x T";
    }
}

TEST_F(PelmHostTest, TurnKeysTurnThePictureInTheWindowAsItIs) {
    // Paused on the last frame by the case before.
    ASSERT_EQ(WaitForFrame(kFrames - 1), "");
    RECT before{}, after{};
    ASSERT_TRUE(GetWindowRect(window_, &before));
    PressKey('R');
    EXPECT_EQ(WaitForFrame(kFrames - 1, 90), "") << "after R";
    // The picture's own size, and the turn.
    EXPECT_EQ(WaitForTitle(L"64x48  turned 90\u00B0"), "");
    ASSERT_TRUE(GetWindowRect(window_, &after));
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    PressKey('E');
    EXPECT_EQ(WaitForFrame(kFrames - 1, 0), "") << "after E";
    EXPECT_EQ(WaitForTitle(L"64x48  100%"), "");
}

TEST_F(PelmHostTest, RightAndLeftStepThroughTheFolderWithTheOneViewer) {
    // From the marked animation, paused by the cases before: the other animation, the broken
    // file with its reason, the still, round to the marked animation, which plays again from
    // its start, and back.
    EXPECT_EQ(KeyThenTitle(VK_RIGHT, L"2 other.gif  2/4  32x24  100%  playing  "), "");
    EXPECT_EQ(WaitForScreen(OtherDifference), "") << "the other animation after Right";
    EXPECT_EQ(KeyThenTitle(VK_RIGHT, L"3 broken.gif  3/4  cannot open: a damaged GIF"), "");
    EXPECT_EQ(KeyThenTitle(VK_RIGHT, L"4 still.gif  4/4  8x8  100%  still"), "");
    EXPECT_EQ(WaitForScreen([](const ScreenCapture& c) {
                  return PictureDifference(c, kStillSize, kStillSize,
                                           [](int, int) { return kStillColour; });
              }),
              "")
        << "the still after Right";
    EXPECT_EQ(KeyThenTitle(VK_RIGHT, L"  1/4  64x48  100%  playing  "), "");
    int first = -1;
    EXPECT_EQ(WaitForAnyFrame(-1, &first), "") << "the marked animation after Right";
    EXPECT_EQ(WaitForAnyFrame(first), "") << "the marked animation does not play after Right";
    EXPECT_EQ(KeyThenTitle(VK_LEFT, L"4 still.gif  4/4"), "");
    EXPECT_EQ(KeyThenTitle(VK_LEFT, L"3 broken.gif  3/4"), "");
    EXPECT_EQ(KeyThenTitle(VK_LEFT, L"2 other.gif  2/4"), "");
    EXPECT_EQ(WaitForScreen(OtherDifference), "") << "the other animation after Left";
    EXPECT_EQ(KeyThenTitle(VK_HOME, L"  1/4  64x48"), "");
    EXPECT_EQ(WaitForAnyFrame(), "") << "the marked animation after Home";
    EXPECT_EQ(KeyThenTitle(VK_END, L"4 still.gif  4/4"), "");
}

TEST_F(PelmHostTest, F11TogglesFullscreenAndEscLeavesIt) {
    RECT normal{};
    ASSERT_TRUE(GetWindowRect(window_, &normal));
    SendKey(VK_F11);
    const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    EXPECT_FALSE(style & WS_CAPTION) << "a frame in fullscreen";
    RECT full{};
    ASSERT_TRUE(GetWindowRect(window_, &full));
    EXPECT_EQ(full.right - full.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(full.bottom - full.top, GetSystemMetrics(SM_CYSCREEN));
    // Esc leaves fullscreen, back to the window as it was, which stays open.
    SendKey(VK_ESCAPE);
    EXPECT_TRUE(GetWindowLongPtrW(window_, GWL_STYLE) & WS_CAPTION);
    RECT back{};
    ASSERT_TRUE(GetWindowRect(window_, &back));
    EXPECT_EQ(back.right - back.left, normal.right - normal.left);
    EXPECT_EQ(back.bottom - back.top, normal.bottom - normal.top);
    EXPECT_TRUE(IsWindow(window_));
}

// The habits of other viewers: a turn that stays with its file, a window that keeps its size,
// plain plus and minus, the folder followed on disk, F5, and F1.
TEST_F(PelmHostTest, TurnsStayWithTheirFileAndTheFolderIsFollowed) {
    EXPECT_EQ(KeyThenTitle(VK_HOME, L"  1/4  64x48  100%"), "");
    RECT before{}, after{};
    ASSERT_TRUE(GetWindowRect(window_, &before));
    EXPECT_EQ(KeyThenTitle('R', L"  1/4  64x48  turned 90\u00B0"), "");
    EXPECT_EQ(KeyThenTitle(VK_RIGHT, L"2 other.gif  2/4  32x24  100%  playing"), "");
    EXPECT_EQ(Title().find(L"turned"), std::wstring::npos) << Narrow(Title());
    EXPECT_EQ(WaitForScreen(OtherDifference), "") << "the other animation, unturned";
    ASSERT_TRUE(GetWindowRect(window_, &after));
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    EXPECT_EQ(KeyThenTitle(VK_ADD, L"32x24  150%"), "");
    EXPECT_EQ(KeyThenTitle(VK_OEM_MINUS, L"32x24  100%"), "");

    // A file added is reached; rewritten, it shows what it holds now; deleted, it is no longer
    // listed. (The module holds the file it shows open, without sharing it for writing or
    // deleting, as Windows programs do: these happen while another file is shown.)
    const std::wstring added = folder_ + L"\\6 added.gif";
    ASSERT_TRUE(WriteFile(added, StillGif()));
    EXPECT_EQ(WaitForTitle(L"2 other.gif  2/5"), "");
    EXPECT_EQ(KeyThenTitle(VK_END, L"6 added.gif  5/5  8x8"), "");
    EXPECT_EQ(KeyThenTitle(VK_HOME, L"  1/5  64x48"), "");
    ASSERT_TRUE(WriteFile(added, OtherGif()));
    ASSERT_TRUE(DeleteFileW((folder_ + L"\\4 still.gif").c_str()));
    EXPECT_EQ(WaitForTitle(L"  1/4  64x48"), "");
    EXPECT_EQ(KeyThenTitle(VK_END, L"6 added.gif  4/4  32x24"), "");
    // F5 reads the file again.
    EXPECT_EQ(KeyThenTitle(VK_F5, L"6 added.gif  4/4  32x24  100%  playing"), "");
    ASSERT_TRUE(WriteFile(folder_ + L"\\4 still.gif", StillGif()));

    // F1: the keys, in a box of their own.
    PressKey(VK_F1);
    HWND help = nullptr;
    const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
    while (!(help = FindWindowW(nullptr, L"pelm-host keys")) && GetTickCount64() < deadline) {
        host_->Pause(10);
    }
    ASSERT_TRUE(help) << "no help box within 20 s" << HostState();
    PostMessageW(help, WM_COMMAND, IDOK, 0);
    while (IsWindow(help) && GetTickCount64() < deadline) host_->Pause(10);
    EXPECT_FALSE(IsWindow(help));
}

TEST_F(PelmHostTest, EscOutsideFullscreenClosesWithExitCodeZero) {
    PressKey(VK_ESCAPE);
    DWORD exitCode = 99;
    ASSERT_TRUE(host_->WaitForExit(kTimeoutMs, exitCode)) << "pelm-host still runs after 20 s";
    EXPECT_EQ(exitCode, 0u) << host_->ErrorOutput();
    window_ = nullptr;
}

}  // namespace
