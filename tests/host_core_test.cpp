// The reference hosts' shared core: the module loaded by file and its record checked, the
// file filter and the folder it browses, the fit and zoom rectangles, colours, keys, the status
// line, and one viewer loaded again and attached again as the user steps through a folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hosts/core/colour.h"
#include "hosts/core/file_filter.h"
#include "hosts/core/folder_listing.h"
#include "hosts/core/host_commands.h"
#include "hosts/core/host_defaults.h"
#include "hosts/core/host_module.h"
#include "hosts/core/host_session.h"
#include "hosts/core/key_map.h"
#include "hosts/core/status_text.h"
#include "tests/support/gif_builder.h"
#include "tests/support/test_window.h"
#include "hosts/core/view_geometry.h"

namespace {

namespace fs = std::filesystem;

fs::path ModulePath() {
    return ModuleBesideExecutable().parent_path() / TAVOREN_MODULE_FILE;
}

// A fresh folder under the system's temporary one, removed with its files at the end.
class TemporaryFolder {
  public:
    explicit TemporaryFolder(const std::string& name)
        : path_(fs::temp_directory_path() /
                (name + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    fs::path Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const fs::path file = path_ / name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return file;
    }

  private:
    fs::path path_;
};

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// A single-frame picture of one colour: the module composes it at every paint, on the
// window thread.
std::vector<uint8_t> Still(uint8_t r, uint8_t g, uint8_t b, uint16_t width, uint16_t height) {
    GifImage image = SimpleAnimation(1, width, height, 0);
    image.globalTable[0] = {r, g, b};
    return BuildGif(image);
}

TEST(HostModule, OpensTheModuleAndReadsItsFilter) {
    std::string error;
    const auto module = HostModule::Open(ModulePath(), &error);
    ASSERT_TRUE(module) << error;
    EXPECT_EQ(module->fileFilter(), "*.gif|*.webp");
    EXPECT_EQ(module->moduleId(), "TavorenGif2");
}

TEST(HostModule, RefusesWhatIsNoModuleWithTheReason) {
    std::string error;
    EXPECT_FALSE(HostModule::Open(ModulePath().parent_path() / "no-such-module", &error));
    EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
#if !defined(_WIN32)
    // A library without the export: the stand-in beside the module.
    error.clear();
    EXPECT_FALSE(HostModule::Open(ModulePath().parent_path() / "libtavoren_platform.so", &error));
    EXPECT_NE(error.find("has no GetTavorenModuleInfo"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(
        HostModule::Open(ModulePath().parent_path() / "libwrong_signature_module.so", &error));
    EXPECT_NE(error.find("not signed \"PelmTavorenModule\""), std::string::npos) << error;
#endif
}

TEST(FileFilter, TakesTheModulesPatternsWithoutRegardToCase) {
    const FileFilter filter("*.gif|*.webp");
    EXPECT_TRUE(filter.Accepts("a.gif"));
    EXPECT_TRUE(filter.Accepts("dir/B.GIF"));
    EXPECT_TRUE(filter.Accepts("x.y.WebP"));
    EXPECT_FALSE(filter.Accepts("a.gif.txt"));
    EXPECT_FALSE(filter.Accepts("gif"));
    EXPECT_FALSE(filter.Accepts("a.png"));
    EXPECT_TRUE(FileFilter("frame??.gif").Accepts("frame12.gif"));
    EXPECT_FALSE(FileFilter("frame??.gif").Accepts("frame1.gif"));
    EXPECT_FALSE(FileFilter("").Accepts("a.gif"));
}

TEST(FolderListing, ListsTheAcceptedFilesInNameOrderAndWraps) {
    TemporaryFolder folder("pelm-listing");
    for (const char* name : {"b.gif", "A.webp", "c.GIF", "notes.txt", "d.png"}) {
        folder.Write(name, Bytes("x"));
    }
    fs::create_directory(folder.path() / "e.gif");  // a folder, not a file
    const FileFilter filter("*.gif|*.webp");
    std::string error;
    FolderListing listing = FolderListing::Of(folder.path(), filter, &error);
    ASSERT_EQ(listing.size(), 3u) << error;
    EXPECT_EQ(listing.files()[0].filename(), "A.webp");
    EXPECT_EQ(listing.files()[1].filename(), "b.gif");
    EXPECT_EQ(listing.files()[2].filename(), "c.GIF");
    EXPECT_EQ(listing.index(), 0u);
    listing.Previous();
    EXPECT_EQ(listing.index(), 2u);
    listing.Next();
    EXPECT_EQ(listing.index(), 0u);
    listing.Last();
    EXPECT_EQ(listing.index(), 2u);
    listing.First();
    EXPECT_EQ(listing.index(), 0u);

    // A file: its folder, with the file current; a file the filter would not offer still
    // shows when named.
    listing = FolderListing::Of(folder.path() / "b.gif", filter, &error);
    ASSERT_EQ(listing.size(), 3u);
    EXPECT_EQ(listing.current().filename(), "b.gif");
    listing = FolderListing::Of(folder.path() / "notes.txt", filter, &error);
    ASSERT_EQ(listing.size(), 4u);
    EXPECT_EQ(listing.current().filename(), "notes.txt");

    EXPECT_TRUE(FolderListing::Of(folder.path() / "missing.gif", filter, &error).empty());
    EXPECT_NE(error.find("no such file"), std::string::npos) << error;
    TemporaryFolder empty("pelm-empty");
    EXPECT_TRUE(FolderListing::Of(empty.path(), filter, &error).empty());
    EXPECT_NE(error.find("no GIF or WebP"), std::string::npos) << error;
}

TEST(FolderListing, NamesWhyAFileDidNotOpen) {
    TemporaryFolder folder("pelm-reasons");
    EXPECT_EQ(LoadFailureReason(folder.path() / "gone.gif"), "the file is gone");
    EXPECT_EQ(LoadFailureReason(folder.Write("empty.gif", {})), "the file is empty");
    EXPECT_EQ(LoadFailureReason(folder.Write("text.gif", Bytes("hello, world"))),
              "not a GIF or WebP image");
    EXPECT_EQ(LoadFailureReason(folder.Write("cut.gif", Bytes("GIF89a\x10\0"))),
              "a damaged GIF: the module cannot read its frames");
    EXPECT_EQ(LoadFailureReason(
                  folder.Write("cut.webp", Bytes(std::string("RIFF\x04\0\0\0WEBPVP8X", 16)))),
              "a damaged or unsupported WebP: the module cannot read its frames");
}

TEST(FolderListing, SaysWhyAPathCannotBeReadAndNotesADamagedFile) {
    const std::pair<std::errc, const char*> words[] = {
        {std::errc::permission_denied, "permission denied"},
        {std::errc::operation_not_permitted, "permission denied"},
        {std::errc::no_such_file_or_directory, "no such file or folder"},
        {std::errc::not_a_directory, "a part of the path is not a folder"},
    };
    for (const auto& [code, text] : words) {
        EXPECT_EQ(PathErrorWords(std::make_error_code(code)), text);
    }
    TemporaryFolder folder("pelm-damage");
    std::vector<uint8_t> gif = Still(1, 2, 3, 8, 8);
    EXPECT_EQ(DamageNote(folder.Write("whole.gif", gif)), "");
    gif.pop_back();  // the trailer
    EXPECT_EQ(DamageNote(folder.Write("cut.gif", gif)), "damaged: plays the frames that survive");
    // RIFF's size counts what follows its eight bytes: 12 here.
    std::vector<uint8_t> webp = Bytes(std::string("RIFF\x0C\0\0\0WEBPVP8L....", 20));
    EXPECT_EQ(DamageNote(folder.Write("whole.webp", webp)), "");
    webp[4] = 0x40;
    EXPECT_EQ(DamageNote(folder.Write("cut.webp", webp)), "damaged: plays the frames that survive");
    // A file inside something that is no folder.
    std::string error;
    EXPECT_TRUE(
        FolderListing::Of(folder.path() / "whole.gif" / "x.gif", FileFilter("*.gif"), &error)
            .empty());
    // Windows calls it a path not found.
    EXPECT_TRUE(error.rfind("a part of the path is not a folder: ", 0) == 0 ||
                error.rfind("no such file or folder: ", 0) == 0)
        << error;
}

TEST(FolderListing, SeveralPathsAndReadingTheFolderAgain) {
    TemporaryFolder folder("pelm-reread");
    const FileFilter filter("*.gif|*.webp");
    for (const char* name : {"a.gif", "b.gif", "c.gif"}) folder.Write(name, Bytes("x"));
    std::string error;
    FolderListing some =
        FolderListing::OfPaths({folder.path() / "c.gif", folder.path() / "a.gif"}, filter, &error);
    ASSERT_EQ(some.size(), 2u) << error;
    EXPECT_EQ(some.current().filename(), "c.gif");
    EXPECT_TRUE(some.folder().empty());

    FolderListing all = FolderListing::Of(folder.path() / "b.gif", filter, &error);
    ASSERT_EQ(all.size(), 3u);
    // Added: listed, and the current file stays current.
    folder.Write("a0.gif", Bytes("x"));
    EXPECT_TRUE(all.Reread());
    EXPECT_EQ(all.size(), 4u);
    EXPECT_EQ(all.current().filename(), "b.gif");
    // The current file gone: the next in name order takes its place.
    fs::remove(folder.path() / "b.gif");
    EXPECT_FALSE(all.Reread());
    EXPECT_EQ(all.size(), 3u);
    EXPECT_EQ(all.current().filename(), "c.gif");
    fs::remove(folder.path() / "c.gif");
    EXPECT_FALSE(all.Reread());
    EXPECT_EQ(all.current().filename(), "a.gif");  // wraps
    // The named files: the gone one is dropped.
    EXPECT_FALSE(some.Reread());
    EXPECT_EQ(some.size(), 1u);
    EXPECT_EQ(some.current().filename(), "a.gif");
}

TEST(Colour, ReadsSixHexDigitsWithOrWithoutAHash) {
    EXPECT_EQ(ParseColour("303030"), 0x303030u);
    EXPECT_EQ(ParseColour("#a0B0c0"), 0xA0B0C0u);
    EXPECT_EQ(ParseColour("FFFFFF"), 0xFFFFFFu);
    EXPECT_FALSE(ParseColour("#12345"));
    EXPECT_FALSE(ParseColour("1234567"));
    EXPECT_FALSE(ParseColour("12345G"));
    EXPECT_FALSE(ParseColour("##123456"));
    EXPECT_FALSE(ParseColour(""));
    EXPECT_EQ(kDefaultBackground, 0x303030u);
}

TEST(KeyMap, NamesTheHostsKeysAndPassesTheModulesOn) {
    const auto map = [](unsigned key, bool ctrl = false, bool shift = false, bool full = false) {
        return MapKey(KeyPress{key, ctrl, shift, false}, full);
    };
    EXPECT_EQ(map(vk::kRight), HostAction::Next);
    EXPECT_EQ(map(vk::kPageDown), HostAction::Next);
    EXPECT_EQ(map(vk::kLeft), HostAction::Previous);
    EXPECT_EQ(map(vk::kPageUp), HostAction::Previous);
    EXPECT_EQ(map(vk::kHome), HostAction::First);
    EXPECT_EQ(map(vk::kEnd), HostAction::Last);
    EXPECT_EQ(map('O', true), HostAction::Open);
    EXPECT_EQ(map('F'), HostAction::ToggleFit);
    EXPECT_EQ(map('0', true), HostAction::OneToOne);
    EXPECT_EQ(map(vk::kOemPlus, true), HostAction::ZoomIn);
    EXPECT_EQ(map(vk::kAdd, true), HostAction::ZoomIn);
    EXPECT_EQ(map(vk::kOemMinus, true), HostAction::ZoomOut);
    EXPECT_EQ(map(vk::kF11), HostAction::Fullscreen);
    EXPECT_EQ(map(vk::kEscape), HostAction::Close);
    EXPECT_EQ(map(vk::kEscape, false, false, true), HostAction::LeaveFullscreen);
    EXPECT_EQ(map('Q', true), HostAction::Close);
    EXPECT_EQ(map('W', true), HostAction::Close);
    EXPECT_EQ(map(vk::kSpace), HostAction::PlayPause);
    EXPECT_EQ(map(vk::kApps), HostAction::Menu);
    EXPECT_EQ(map(vk::kF10, false, true), HostAction::Menu);
    EXPECT_EQ(map(vk::kF10), HostAction::None);
    EXPECT_EQ(map('R'), HostAction::TurnClockwise);
    EXPECT_EQ(map('E'), HostAction::TurnCounterClockwise);
    for (unsigned key : {'P', 'S', 'T', 'G', 'I'}) EXPECT_EQ(map(key), HostAction::ToModule);
    // Held Ctrl keeps a letter from the module, which would ignore the modifier.
    EXPECT_EQ(map('S', true), HostAction::None);
    EXPECT_EQ(MapKey(KeyPress{'P', false, false, true}, false), HostAction::None);
}

// The keys and the wheel added for the habits of other viewers, in one table.
TEST(KeyMap, ReloadHelpCopyAndPlainZoomKeysAndTheWheel) {
    struct Case {
        KeyPress press;
        HostAction action;
    };
    const Case cases[] = {
        {{vk::kF5}, HostAction::Reload},
        {{'R', true}, HostAction::Reload},
        {{vk::kF1}, HostAction::Help},
        {{vk::kOemQuestion, false, true}, HostAction::Help},
        {{vk::kOemQuestion}, HostAction::ToModule},
        {{'C', true}, HostAction::CopyFrame},
        {{vk::kOemPlus}, HostAction::ZoomIn},
        {{vk::kAdd}, HostAction::ZoomIn},
        {{vk::kOemMinus}, HostAction::ZoomOut},
        {{vk::kSubtract}, HostAction::ZoomOut},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapKey(c.press, false), c.action) << "key " << c.press.key;
    }
    EXPECT_EQ(MapWheel(-1, false), HostAction::Next);
    EXPECT_EQ(MapWheel(1, false), HostAction::Previous);
    EXPECT_EQ(MapWheel(1, true), HostAction::ZoomIn);
    EXPECT_EQ(MapWheel(-1, true), HostAction::ZoomOut);
    EXPECT_EQ(MapWheel(0, false), HostAction::None);
    // The menu's and the help's shortcuts are the key map's.
    for (const HostCommand& command : HostMenuCommands()) {
        if (!command.label) continue;
        EXPECT_NE(HelpText().find(command.shortcut), std::string::npos) << command.label;
    }
    EXPECT_EQ(VersionText("pelm-view").rfind("pelm-view ", 0), 0u);
}

TEST(Colour, TakesTheNamesOfColoursInEitherCase) {
    EXPECT_EQ(ParseColour("navy"), 0x000080u);
    EXPECT_EQ(ParseColour("Grey"), 0x808080u);
    EXPECT_EQ(ParseColour("WHITE"), 0xFFFFFFu);
    EXPECT_FALSE(ParseColour("bluish"));
    EXPECT_FALSE(ParseColour("blue "));
}

TEST(StatusText, SaysTheSameInBothHosts) {
    EXPECT_EQ(FormatTime(0), "0:00.000");
    EXPECT_EQ(FormatTime(61234), "1:01.234");
    EXPECT_EQ(FormatTime(-5), "0:00.000");
    StatusFacts facts;
    facts.name = "cat.gif";
    facts.place = 3;
    facts.count = 17;
    facts.width = 64;
    facts.height = 48;
    facts.scale = 2.0;
    facts.transport = Transport::Paused;
    facts.positionMs = 1200;
    facts.durationMs = 3400;
    EXPECT_EQ(StatusText(facts), "cat.gif  3/17  64x48  200%  paused  0:01.200 / 0:03.400");
    facts.transport = Transport::Still;
    EXPECT_EQ(StatusText(facts), "cat.gif  3/17  64x48  200%  still");
    facts.error = "not a GIF or WebP image";
    EXPECT_EQ(StatusText(facts), "cat.gif  3/17  cannot open: not a GIF or WebP image");
    facts = StatusFacts{};
    facts.name = "demo";
    facts.width = facts.height = 16;
    facts.transport = Transport::Playing;
    EXPECT_EQ(StatusText(facts), "demo  16x16  100%  playing  0:00.000 / 0:00.000");
    facts.angle = 90;
    facts.note = "old.gif is gone";
    EXPECT_EQ(StatusText(facts),
              "demo  16x16  turned 90\u00B0  100%  playing  0:00.000 / 0:00.000  old.gif is gone");
    EXPECT_EQ(LoadingText("cat.gif", 3, 40), "cat.gif  loading frame 3 of 40");
}

// Cut between words, never inside one; a name too long alone is cut between characters.
TEST(StatusText, ElidesWholeWordsWithAnEllipsis) {
    const std::string text = "caf\u00E9.gif  3/17  cannot open: not an image";
    struct Case {
        size_t room;  // bytes that fit
        const char* shown;
    };
    const Case cases[] = {
        {100, "caf\u00E9.gif  3/17  cannot open: not an image"},
        {40, "caf\u00E9.gif  3/17  cannot open: not an \u2026"},
        {37, "caf\u00E9.gif  3/17  cannot open: not \u2026"},
        {24, "caf\u00E9.gif  3/17 \u2026"},
        {15, "caf\u00E9.gif \u2026"},
        {8, "caf\u00E9\u2026"},
        {7, "caf\u2026"},  // the two bytes of the accent stay together
        {6, "caf\u2026"},
        {1, "\u2026"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ElideStatus(text, [&](std::string_view s) { return s.size() <= c.room; }),
                  c.shown)
            << "room " << c.room;
    }
}

TEST(ViewGeometry, FitsShrinkingOnlyOrAlsoEnlarging) {
    ViewGeometry view;
    view.SetPicture({100, 50});
    // Fits: 1:1, centred, nearest neighbour.
    Placement p = view.Place({300, 200});
    EXPECT_EQ(p.source, (PixelRect{0, 0, 100, 50}));
    EXPECT_EQ(p.dest, (PixelRect{100, 75, 200, 125}));
    EXPECT_EQ(p.interpolation, Interpolation::Nearest);
    EXPECT_EQ(p.scale, 1.0);
    // Too wide: shrunk to the width, smoothly.
    p = view.Place({50, 200});
    EXPECT_EQ(p.dest, (PixelRect{0, 87, 50, 112}));
    EXPECT_EQ(p.interpolation, Interpolation::Linear);
    // F: also enlarged, by the smaller ratio.
    view.ToggleFitRule();
    EXPECT_EQ(view.rule(), FitRule::ShrinkAndEnlarge);
    p = view.Place({300, 200});
    EXPECT_EQ(p.source, (PixelRect{0, 0, 100, 50}));
    EXPECT_EQ(p.dest, (PixelRect{0, 25, 300, 175}));
    EXPECT_EQ(p.scale, 3.0);
    // Turned to 50x100, the rule holds: enlarged to the height.
    view.Turned({50, 100});
    p = view.Place({300, 200});
    EXPECT_EQ(p.dest, (PixelRect{100, 0, 200, 200}));
    // A new picture keeps the rule.
    view.SetPicture({10, 10});
    EXPECT_EQ(view.Place({300, 200}).dest, (PixelRect{50, 0, 250, 200}));
    view.ToggleFitRule();
    EXPECT_EQ(view.Place({300, 200}).dest, (PixelRect{145, 95, 155, 105}));
}

TEST(ViewGeometry, ZoomsAboutAPointAndPansThroughTheSourceRectangle) {
    ViewGeometry view;
    view.SetPicture({100, 100});
    const PictureSize client{100, 100};
    // 1:1 fills the client exactly.
    view.OneToOne(client);
    EXPECT_FALSE(view.fitting());
    EXPECT_EQ(view.Place(client).dest, (PixelRect{0, 0, 100, 100}));
    // Zoom in about the top-left corner: the corner stays, a quarter of the picture shows at
    // 1.5, rounded out to whole source pixels.
    view.ZoomIn(client, 0, 0);
    Placement p = view.Place(client);
    EXPECT_EQ(p.scale, 1.5);
    EXPECT_EQ(p.source, (PixelRect{0, 0, 67, 67}));
    EXPECT_EQ(p.dest, (PixelRect{0, 0, 101, 101}));
    EXPECT_TRUE(view.Pannable(client));
    // From 1:1, zoom to 2 about the bottom-right corner: that pixel stays there.
    view.OneToOne(client);
    view.ZoomTo(2.0, client, 100, 100);
    p = view.Place(client);
    EXPECT_EQ(p.source, (PixelRect{50, 50, 100, 100}));
    EXPECT_EQ(p.dest, (PixelRect{0, 0, 100, 100}));
    // A drag to the right by 40 shows 20 picture pixels more on the left.
    view.Pan(client, 40, 0);
    EXPECT_EQ(view.Place(client).source, (PixelRect{30, 50, 80, 100}));
    // Past the edge the view stops at the picture's edge.
    view.Pan(client, 1000, 1000);
    EXPECT_EQ(view.Place(client).source, (PixelRect{0, 0, 50, 50}));
    // Out again: 1.5, then 1, where it fits and centres, then below.
    view.ZoomOut(client, 50, 50);
    view.ZoomOut(client, 50, 50);
    EXPECT_EQ(view.Place(client).dest, (PixelRect{0, 0, 100, 100}));
    EXPECT_FALSE(view.Pannable(client));
    view.ZoomOut(client, 50, 50);
    p = view.Place(client);
    EXPECT_NEAR(p.scale, 2.0 / 3, 1e-9);
    EXPECT_EQ(p.dest, (PixelRect{16, 16, 83, 83}));
    EXPECT_EQ(p.interpolation, Interpolation::Linear);
    // Steps stop at the limits.
    for (int i = 0; i < 40; ++i) view.ZoomIn(client, 50, 50);
    EXPECT_EQ(view.Scale(client), ViewGeometry::kMaximumScale);
    for (int i = 0; i < 40; ++i) view.ZoomOut(client, 50, 50);
    EXPECT_EQ(view.Scale(client), ViewGeometry::kMinimumScale);
    // A 16x16 picture can be enlarged.
    view.SetPicture({16, 16});
    view.ZoomIn(client, 50, 50);
    EXPECT_EQ(view.Place(client).dest.width(), 24);
}

// The host's window for a session: the test window, read back as the module paints it.
class TestSessionWindow : public SessionWindow {
  public:
    explicit TestSessionWindow(TestWindow& window) : window_(window) {}
    void* Handle() override { return window_.hwnd(); }
    PictureSize ClientSize() override { return {kWidth, kHeight}; }
    void ShowProgress(uint32_t done, uint32_t total) override { lastProgress = {done, total}; }
    void Repaint() override {}
    void StatusChanged() override {}
    void SizeToPicture() override { ++sizings; }
    bool IsFullscreen() override { return fullscreen; }
    void ToggleFullscreen() override { fullscreen = !fullscreen; }
    void ChooseFile() override { ++choices; }
    void Close() override { closed = true; }
    void ShowHelp() override { ++helps; }
    void CopyFrame() override { ++copies; }
    unsigned ModuleMenusTracked() override { return 0; }
    HostAction ChooseFromHostMenu(int, int) override {
        ++hostMenus;
        return menuChoice;
    }

    static constexpr int kWidth = 80, kHeight = 60;
    std::pair<uint32_t, uint32_t> lastProgress{0, 0};
    int sizings = 0, helps = 0, copies = 0, hostMenus = 0;
    HostAction menuChoice = HostAction::None;
    bool fullscreen = false;
    int choices = 0;
    bool closed = false;

  private:
    TestWindow& window_;
};

// The module, opened as a host opens it, and a test window for a session to show it in.
class HostSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        module_ = HostModule::Open(ModulePath(), &error);
        ASSERT_TRUE(module_) << error;
    }

    std::shared_ptr<const HostModule> module_;
    TestWindow window_{TestSessionWindow::kWidth, TestSessionWindow::kHeight};
    TestSessionWindow host_{window_};
};

TEST_F(HostSessionTest, BrowsesAFolderWithOneViewerReloadedAndAttachedAgain) {
    TemporaryFolder folder("pelm-session");
    folder.Write("1-red.gif", Still(255, 0, 0, 40, 30));
    folder.Write("2-broken.gif", Bytes("GIF89a and nothing more"));
    folder.Write("3-blue.gif", Still(0, 0, 255, 20, 10));
    folder.Write("4-ignored.txt", Bytes("not offered"));
    std::string error;
    HostSession session(module_, host_, 0x102030);
    ASSERT_TRUE(session.Browse(folder.path(), &error)) << error;
    ASSERT_EQ(session.listing().size(), 3u);

    // The centre pixel after a paint, as 0xRRGGBB, and the corner's (the host colour).
    const auto paint = [&] {
        EXPECT_TRUE(session.Paint());
        const std::vector<uint32_t> pixels =
            window_.CaptureWhen([](const std::vector<uint32_t>& p) { return !p.empty(); }, 5000);
        if (pixels.empty()) return std::pair<uint32_t, uint32_t>{0, 0};
        const int w = TestSessionWindow::kWidth, h = TestSessionWindow::kHeight;
        return std::pair<uint32_t, uint32_t>{pixels[(h / 2) * w + w / 2] & 0xFFFFFF,
                                             pixels[0] & 0xFFFFFF};
    };

    ASSERT_TRUE(session.ShowCurrent()) << session.error();
    EXPECT_EQ(host_.lastProgress, (std::pair<uint32_t, uint32_t>{1, 1}));
    EXPECT_EQ(session.picture(), (PictureSize{40, 30}));
    EXPECT_EQ(paint(), (std::pair<uint32_t, uint32_t>{0xFF0000, 0x102030}));
    EXPECT_EQ(session.Status(), "1-red.gif  1/3  40x30  100%  still");

    // Right: the broken file shows its reason and nothing else.
    EXPECT_TRUE(session.Act(HostAction::Next, 0, 0, 0));
    EXPECT_FALSE(session.shown());
    EXPECT_FALSE(session.Paint());
    EXPECT_EQ(session.Status(),
              "2-broken.gif  2/3  cannot open: a damaged GIF: the module cannot read its frames");
    // Right again goes on, the same viewer loaded again and attached again.
    session.Act(HostAction::Next, 0, 0, 0);
    ASSERT_TRUE(session.shown()) << session.error();
    EXPECT_EQ(session.picture(), (PictureSize{20, 10}));
    EXPECT_EQ(paint().first, 0x0000FFu);
    // Wraps to the first, and back.
    session.Act(HostAction::Next, 0, 0, 0);
    EXPECT_EQ(session.name(), "1-red.gif");
    EXPECT_EQ(paint().first, 0xFF0000u);
    session.Act(HostAction::Previous, 0, 0, 0);
    EXPECT_EQ(session.name(), "3-blue.gif");
    EXPECT_EQ(paint().first, 0x0000FFu);
    session.Act(HostAction::First, 0, 0, 0);
    EXPECT_EQ(session.name(), "1-red.gif");
    session.Act(HostAction::Last, 0, 0, 0);
    EXPECT_EQ(session.name(), "3-blue.gif");
    // F enlarges the 20x10 picture to the 80x60 window: 4 times, 80x40.
    session.Act(HostAction::ToggleFit, 0, 0, 0);
    EXPECT_EQ(session.Place().dest, (PixelRect{0, 10, 80, 50}));
    EXPECT_EQ(session.Status(), "3-blue.gif  3/3  20x10  400%  still");
}

TEST_F(HostSessionTest, TheHostsOwnKeysAreCarriedOutByItsWindow) {
    HostSession session(module_, host_, 0);

    session.PressKey({'O', true, false, false}, 0, 0);
    EXPECT_EQ(host_.choices, 1);
    session.PressKey({vk::kF11}, 0, 0);
    EXPECT_TRUE(host_.fullscreen);
    // Esc first leaves fullscreen, then closes.
    session.PressKey({vk::kEscape}, 0, 0);
    EXPECT_FALSE(host_.fullscreen);
    EXPECT_FALSE(host_.closed);
    session.PressKey({vk::kEscape}, 0, 0);
    EXPECT_TRUE(host_.closed);
    // The module's and the view's keys are not the window's.
    host_.closed = false;
    session.PressKey({'G'}, 0, 0);
    session.PressKey({vk::kRight}, 0, 0);
    EXPECT_EQ(host_.choices, 1);
    EXPECT_FALSE(host_.fullscreen);
    EXPECT_FALSE(host_.closed);
}

// A turn belongs to its file; only the first picture sizes the window; F5 reads the file
// again from disk; a file gone is skipped with a note; a right click on a still or on an
// error opens the host's menu.
TEST_F(HostSessionTest, TurnsKeptSizeReloadAndVanishedFiles) {
    TemporaryFolder folder("pelm-habits");
    const fs::path red = folder.Write("1-red.gif", Still(255, 0, 0, 40, 30));
    folder.Write("2-green.gif", Still(0, 255, 0, 20, 10));
    folder.Write("3-blue.gif", Still(0, 0, 255, 30, 20));
    std::string error;
    HostSession session(module_, host_, 0x102030);
    ASSERT_TRUE(session.Browse(folder.path(), &error)) << error;
    const auto centre = [&] {
        EXPECT_TRUE(session.Paint());
        const std::vector<uint32_t> pixels =
            window_.CaptureWhen([](const std::vector<uint32_t>& p) { return !p.empty(); }, 5000);
        const int w = TestSessionWindow::kWidth, h = TestSessionWindow::kHeight;
        return pixels.empty() ? 0u : pixels[(h / 2) * w + w / 2] & 0xFFFFFF;
    };

    ASSERT_TRUE(session.ShowCurrent()) << session.error();
    EXPECT_EQ(host_.sizings, 1);
    session.PressKey({'R'}, 0, 0);
    EXPECT_EQ(session.rotation(), 90);
    EXPECT_EQ(session.viewer().DisplayedSize(), (PictureSize{30, 40}));
    EXPECT_EQ(session.Status(), "1-red.gif  1/3  40x30  turned 90\u00B0  100%  still");
    // The next file comes unturned, and the window keeps its size.
    session.PressKey({vk::kRight}, 0, 0);
    EXPECT_EQ(session.rotation(), 0);
    EXPECT_EQ(session.viewer().DisplayedSize(), (PictureSize{20, 10}));
    EXPECT_EQ(session.picture(), (PictureSize{20, 10}));
    EXPECT_EQ(session.Status(), "2-green.gif  2/3  20x10  100%  still");
    session.PressKey({'E'}, 0, 0);
    session.PressKey({vk::kHome}, 0, 0);
    EXPECT_EQ(session.viewer().DisplayedSize(), (PictureSize{40, 30}));
    EXPECT_EQ(host_.sizings, 1);

    // A still offers no module menu: a right click opens the host's, and its choice is done.
    host_.menuChoice = HostAction::Help;
    session.RightClick(10, 10);
    EXPECT_EQ(host_.hostMenus, 1);
    EXPECT_EQ(host_.helps, 1);
    session.PressKey({vk::kApps}, 0, 0);
    EXPECT_EQ(host_.hostMenus, 2);
    session.PressKey({'C', true}, 0, 0);
    EXPECT_EQ(host_.copies, 1);

    // Deleted before it is reached: skipped, with a note that goes with the next step.
    fs::remove(folder.path() / "3-blue.gif");
    session.PressKey({vk::kEnd}, 0, 0);
    EXPECT_EQ(session.Status(), "1-red.gif  1/2  40x30  100%  still  3-blue.gif is gone");
    // A file added is reached, once the folder is read again (the watcher's call).
    folder.Write("4-white.gif", Still(255, 255, 255, 16, 16));
    session.FolderChanged();
    EXPECT_EQ(session.name(), "1-red.gif");
    session.PressKey({vk::kEnd}, 0, 0);
    EXPECT_EQ(session.Status(), "4-white.gif  3/3  16x16  100%  still");
    session.PressKey({vk::kHome}, 0, 0);

#ifdef _WIN32
    GTEST_SKIP() << "the module holds the file it shows open without sharing it for writing or "
                    "deleting, as Windows programs do: the shown file cannot change here";
#endif
    // Rewritten on disk while shown: F5 shows the new content.
    EXPECT_EQ(centre(), 0xFF0000u);
    folder.Write("1-red.gif", Still(255, 255, 0, 40, 30));
    session.PressKey({vk::kF5}, 0, 0);
    EXPECT_EQ(centre(), 0xFFFF00u);
    // Deleted while shown: Ctrl+R skips to the file in its place, and says so.
    fs::remove(red);
    session.PressKey({'R', true}, 0, 0);
    EXPECT_EQ(session.Status(), "2-green.gif  1/2  20x10  100%  still  1-red.gif is gone");
    EXPECT_EQ(centre(), 0x00FF00u);
}

}  // namespace
