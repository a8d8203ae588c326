// pelm-view's window end to end, as a user drives it, on Qt's offscreen platform: a folder of
// built images opened and stepped through with the keys, each file's first frame read back
// from what the module painted, a broken file's reason, the fit and zoom rectangles and the
// pixels they give, Space, the module's menu from the keyboard, fullscreen, a drop, closing.
// Waits are for conditions, with a deadline, while Qt's event loop runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/core/host_module.h"
#include "hosts/pelm-view/main_window.h"
#include "tests/support/gif_builder.h"
#include "tests/support/live_counts.h"
#include "hosts/pelm-view/view_widget.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWaitMs = 10000;
constexpr uint32_t kBackground = 0x303030;
// Long enough that frame 0 is still on screen when the test looks: 60 s.
constexpr uint16_t kLongDelay = 6000;

struct Picture {
    std::string name;
    int width, height;
    std::vector<uint32_t> colours;  // one per frame, 0xRRGGBB
};

// The folder, in name order; "3-broken.gif" is no image and "6-notes.txt" is not offered.
const Picture kPictures[] = {
    {"1-animation.gif", 40, 30, {0xE04030, 0x30C050, 0x3050E0}},
    {"2-still.gif", 20, 10, {0xE0C030}},
    {"4-small.gif", 16, 16, {0xC040C0, 0x40C0C0}},
    {"5-large.gif", 600, 400, {0x6080A0, 0xA08060}},
};

std::vector<uint8_t> Build(const Picture& picture) {
    GifImage image = SimpleAnimation(static_cast<unsigned>(picture.colours.size()),
                                     static_cast<uint16_t>(picture.width),
                                     static_cast<uint16_t>(picture.height), kLongDelay);
    for (size_t k = 0; k < picture.colours.size(); ++k) {
        const uint32_t c = picture.colours[k];
        image.globalTable[k] = {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                static_cast<uint8_t>(c)};
    }
    return BuildGif(image);
}

void Write(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string Hex(uint32_t value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

class PelmViewWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "pelm_view_window_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        folder_ = fs::temp_directory_path() /
                  ("pelm-view-window-" + std::to_string(QCoreApplication::applicationPid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        for (const Picture& picture : kPictures) Write(folder_ / picture.name, Build(picture));
        const std::string broken = "GIF89a, and then nothing";
        Write(folder_ / "3-broken.gif", {broken.begin(), broken.end()});
        Write(folder_ / "6-notes.txt", {'n', 'o'});
    }

    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        delete app_;
        app_ = nullptr;
    }

    void SetUp() override { OpenWindow(); }

    // A new window on the module beside the test, shown and exposed.
    void OpenWindow() {
        std::string error;
        auto module = HostModule::Open(ModuleBesideExecutable(), &error);
        ASSERT_TRUE(module) << error;
        window_ = std::make_unique<MainWindow>(std::move(module), kBackground);
        window_->resize(480, 360);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    void TearDown() override { window_.reset(); }

    ViewWidget& view() { return window_->view(); }
    HostSession& session() { return window_->session(); }
    PictureSize client() { return {view().width(), view().height()}; }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&view(), key, modifiers);
    }

    // What the module painted last, after a paint asked for now: empty when the placement's
    // rectangle shows `colour` and the rest of the view the host colour, else what differs.
    std::string Painted(uint32_t colour) {
        view().repaint();
        const QImage& image = view().presented();
        if (image.size() != view().size()) return "no picture of the view's size presented";
        const PixelRect dest = session().Place().dest;
        int wrong = 0;
        std::ostringstream out;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool inside =
                    x >= dest.left && x < dest.right && y >= dest.top && y < dest.bottom;
                const uint32_t want = inside ? colour : kBackground;
                const uint32_t got = image.pixel(x, y) & 0xFFFFFF;
                if (got != want && wrong++ == 0) {
                    out << "at " << x << "," << y << ": " << Hex(got) << " instead of "
                        << Hex(want);
                }
            }
        }
        if (wrong == 0) return {};
        out << "; " << wrong << " pixels differ, picture at " << dest.left << "," << dest.top
            << " to " << dest.right << "," << dest.bottom;
        return out.str();
    }

    // Waits until the view shows `colour` in the picture's place; the last difference.
    std::string WaitForPainted(uint32_t colour) {
        std::string difference;
        if (QTest::qWaitFor([&] { return (difference = Painted(colour)).empty(); }, kWaitMs)) {
            return {};
        }
        return difference;
    }

    std::string Status() { return window_->statusText().toStdString(); }

    std::string WaitForStatus(const std::string& fragment) {
        if (QTest::qWaitFor([&] { return Status().find(fragment) != std::string::npos; },
                            kWaitMs)) {
            return {};
        }
        return "status \"" + Status() + "\" has no \"" + fragment + "\"";
    }

    // Checks that the current file is kPictures[i], showing its first frame.
    void ExpectFirstFrameOf(size_t i, size_t place, size_t count = 5) {
        const Picture& p = kPictures[i];
        EXPECT_EQ(session().name(), p.name);
        EXPECT_EQ(
            WaitForStatus(p.name + "  " + std::to_string(place) + "/" + std::to_string(count) +
                          "  " + std::to_string(p.width) + "x" + std::to_string(p.height)),
            "");
        EXPECT_EQ(WaitForPainted(p.colours[0]), "") << p.name;
    }

    // A key that moves through the folder, and the picture and place it comes to.
    struct FolderStep {
        Qt::Key key;
        size_t picture, place;
    };
    void KeysThroughFolder(std::initializer_list<FolderStep> steps) {
        for (const FolderStep& step : steps) {
            SCOPED_TRACE(step.picture);
            Key(step.key);
            ExpectFirstFrameOf(step.picture, step.place);
        }
    }

    static QApplication* app_;
    static fs::path folder_;
    std::unique_ptr<MainWindow> window_;
};

QApplication* PelmViewWindowTest::app_ = nullptr;
fs::path PelmViewWindowTest::folder_;

TEST_F(PelmViewWindowTest, StepsThroughAFolderForwardsAndBackWithOneViewer) {
    ASSERT_TRUE(window_->OpenPath(folder_));
    ExpectFirstFrameOf(0, 1);
    EXPECT_EQ(WaitForStatus("  100%  playing  0:00.000 / 3:00.000"), "");
    Key(Qt::Key_Right);
    ExpectFirstFrameOf(1, 2);
    EXPECT_EQ(WaitForStatus("2-still.gif  2/5  20x10  100%  still"), "");
    // The broken file: its reason in the status and in the window, and Right goes on.
    Key(Qt::Key_Right);
    EXPECT_EQ(
        WaitForStatus(
            "3-broken.gif  3/5  cannot open: a damaged GIF: the module cannot read its frames"),
        "");
    EXPECT_FALSE(session().shown());
    view().repaint();
    EXPECT_EQ(view().grab().toImage().pixel(0, 0) & 0xFFFFFF, kBackground);
    // Wraps both ways.
    KeysThroughFolder({{Qt::Key_Right, 2, 4},
                       {Qt::Key_PageDown, 3, 5},
                       {Qt::Key_Right, 0, 1},
                       {Qt::Key_Left, 3, 5},
                       {Qt::Key_PageUp, 2, 4}});
    Key(Qt::Key_Left);
    EXPECT_EQ(WaitForStatus("3-broken.gif  3/5  cannot open"), "");
    KeysThroughFolder({{Qt::Key_Left, 1, 2}, {Qt::Key_Home, 0, 1}, {Qt::Key_End, 3, 5}});
}

TEST_F(PelmViewWindowTest, FitsZoomsAndPansThroughRendersRectangles) {
    ASSERT_TRUE(window_->OpenPath(folder_ / "4-small.gif"));
    ExpectFirstFrameOf(2, 4);
    const PictureSize c = client();
    const int cx = c.width / 2, cy = c.height / 2;
    // Shrink only: the 16x16 picture at 1:1, centred.
    EXPECT_EQ(session().Place().dest,
              (PixelRect{(c.width - 16) / 2, (c.height - 16) / 2, (c.width - 16) / 2 + 16,
                         (c.height - 16) / 2 + 16}));
    // F: enlarged to the smaller side, still centred and square.
    Key(Qt::Key_F);
    const int side = std::min(c.width, c.height);
    EXPECT_EQ(session().Place().dest,
              (PixelRect{(c.width - side) / 2, (c.height - side) / 2, (c.width - side) / 2 + side,
                         (c.height - side) / 2 + side}));
    EXPECT_EQ(Painted(0xC040C0), "");
    EXPECT_EQ(WaitForStatus(std::to_string(side * 100 / 16) + "%"), "");
    // Ctrl+0: 1:1 again; Ctrl+plus: 1.5, about the view's centre.
    Key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(session().Place().dest.width(), 16);
    Key(Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(session().Place().dest.width(), 24);
    EXPECT_EQ(Painted(0xC040C0), "");
    Key(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(session().Place().dest.width(), 16);
    EXPECT_EQ(WaitForStatus("  100%  "), "");
    // Ctrl+wheel about a point: two steps in.
    for (int i = 0; i < 2; ++i) {
        QWheelEvent wheel(QPointF(cx, cy), view().mapToGlobal(QPointF(cx, cy)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(&view(), &wheel);
    }
    EXPECT_EQ(session().Place().dest.width(), 32);

    // The large picture, in a window smaller than it: shrunk to fit, and at 1:1 a drag pans
    // it through the source rectangle. (Only the first picture sized the window.)
    KeysThroughFolder({{Qt::Key_End, 3, 5}});
    window_->resize(480, 360);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view().width() == 480; }, kWaitMs));
    const PictureSize small = client();
    Key(Qt::Key_F);  // back to shrinking only
    Placement placed = session().Place();
    EXPECT_EQ(placed.source, (PixelRect{0, 0, 600, 400}));
    EXPECT_LE(placed.dest.width(), small.width);
    EXPECT_EQ(placed.interpolation, Interpolation::Linear);
    Key(Qt::Key_0, Qt::ControlModifier);
    placed = session().Place();
    EXPECT_EQ(placed.scale, 1.0);
    // One more when the view's edge falls inside a picture pixel: its part is shown too.
    EXPECT_NEAR(placed.source.width(), small.width, 1);
    const PixelRect before = placed.source;
    const int mx = small.width / 2, my = small.height / 2;
    QTest::mousePress(&view(), Qt::LeftButton, Qt::NoModifier, QPoint(mx, my));
    QMouseEvent move(QEvent::MouseMove, QPointF(mx - 50, my - 30),
                     view().mapToGlobal(QPointF(mx - 50, my - 30)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view(), &move);
    QTest::mouseRelease(&view(), Qt::LeftButton, Qt::NoModifier, QPoint(mx - 50, my - 30));
    const PixelRect after = session().Place().source;
    EXPECT_EQ(after.left - before.left, 50);
    EXPECT_EQ(after.top - before.top, 30);
    EXPECT_EQ(Painted(0x6080A0), "");

    // A turn keeps the fit: the 600x400 picture turned is 400x600, shrunk to the height.
    Key(Qt::Key_F);
    Key(Qt::Key_F);  // fitting again, shrink only
    Key(Qt::Key_R);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return session().picture() == PictureSize{400, 600};
        },
        kWaitMs));
    placed = session().Place();
    EXPECT_EQ(placed.dest.height(), client().height);
    EXPECT_EQ(placed.source, (PixelRect{0, 0, 400, 600}));
    Key(Qt::Key_E);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return session().picture() == PictureSize{600, 400};
        },
        kWaitMs));
}

TEST_F(PelmViewWindowTest, SpaceAndTheKeyboardMenuDriveTheModule) {
    ASSERT_TRUE(window_->OpenPath(folder_ / "1-animation.gif"));
    ExpectFirstFrameOf(0, 1);
    Key(Qt::Key_Space);
    EXPECT_EQ(WaitForStatus("  paused  "), "");
    Key(Qt::Key_Space);
    EXPECT_EQ(WaitForStatus("  playing  "), "");

    // The Menu key opens the module's menu at the picture's centre; choosing "&Pause" pauses.
    const PixelRect dest = session().Place().dest;
    const QPoint centre =
        view().mapToGlobal(QPoint((dest.left + dest.right) / 2, (dest.top + dest.bottom) / 2));
    QStringList labels;
    QPoint shownAt;
    const auto answer = [&](const QString& choose) {
        QTimer::singleShot(0, [&, choose] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            shownAt = menu->pos();
            labels.clear();
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                labels << action->text();
                if (action->text() == choose) chosen = action;
            }
            if (chosen) {
                menu->setActiveAction(chosen);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                QTest::keyClick(menu, Qt::Key_Escape);
            }
        });
    };
    answer("&Pause");
    Key(Qt::Key_Menu);
    EXPECT_EQ(labels, (QStringList{"&Pause", "&Stop", "FrameS&tep"}));
    EXPECT_EQ(shownAt, centre);
    EXPECT_EQ(WaitForStatus("  paused  "), "");
    // Shift+F10 too; dismissed, nothing changes.
    answer("");
    Key(Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(labels, (QStringList{"&Play", "&Stop", "FrameS&tep"}));
    EXPECT_EQ(WaitForStatus("  paused  "), "");
    // The module's own keys pass through: S stops, P plays.
    Key(Qt::Key_S);
    EXPECT_EQ(WaitForStatus("  stopped  "), "");
    Key(Qt::Key_P);
    EXPECT_EQ(WaitForStatus("  playing  "), "");
}

TEST_F(PelmViewWindowTest, FullscreenEscapeAndClosing) {
    ASSERT_TRUE(window_->OpenPath(folder_ / "2-still.gif"));
    ExpectFirstFrameOf(1, 2);
    Key(Qt::Key_F11);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window_->isFullScreen(); }, kWaitMs));
    // Esc leaves fullscreen and keeps the window.
    Key(Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window_->isFullScreen(); }, kWaitMs));
    EXPECT_TRUE(window_->isVisible());
    // A double click goes in and out again.
    QTest::mouseDClick(&view(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window_->isFullScreen(); }, kWaitMs));
    QTest::mouseDClick(&view(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window_->isFullScreen(); }, kWaitMs));
    ExpectFirstFrameOf(1, 2);
    // Esc outside fullscreen closes; so do Ctrl+Q and Ctrl+W.
    Key(Qt::Key_Escape);
    EXPECT_FALSE(window_->isVisible());
    window_->show();
    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window_->isVisible());
    window_->show();
    Key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window_->isVisible());
}

TEST_F(PelmViewWindowTest, ADroppedFolderIsBrowsed) {
    ASSERT_TRUE(window_->OpenPath(folder_ / "2-still.gif"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder_.string()))});
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &drop);
    ExpectFirstFrameOf(0, 1);
}

// The folder followed on disk: a file added is reached with End, the shown file rewritten
// shows its new content, the shown file deleted is skipped with a note.
TEST_F(PelmViewWindowTest, TheWatcherKeepsTheFolderCurrent) {
    const fs::path watched = folder_ / "watched";
    fs::create_directories(watched);
    Write(watched / "a.gif", Build(kPictures[1]));
    Write(watched / "b.gif", Build(kPictures[2]));
    ASSERT_TRUE(window_->OpenPath(watched / "a.gif"));
    EXPECT_EQ(WaitForPainted(0xE0C030), "");
    Write(watched / "c.gif", Build(kPictures[0]));
    EXPECT_EQ(WaitForStatus("a.gif  1/3"), "");
    Key(Qt::Key_End);
    EXPECT_EQ(WaitForStatus("c.gif  3/3  40x30"), "");
    Key(Qt::Key_Home);
    Write(watched / "a.gif", Build({"", 20, 10, {0x204080}}));
    EXPECT_EQ(WaitForPainted(0x204080), "");
    fs::remove(watched / "a.gif");
    EXPECT_EQ(WaitForStatus("b.gif  1/2  16x16  100%  playing"), "");
    EXPECT_EQ(WaitForStatus("a.gif is gone"), "");
    fs::remove_all(watched);
}

// F1 and ?, the host's menu on a still (with its shortcuts), plain + and -, the wheel,
// Ctrl+C, and the status elided in a narrow window.
TEST_F(PelmViewWindowTest, HelpMenuZoomWheelCopyAndElision) {
    ASSERT_TRUE(window_->OpenPath(folder_ / "2-still.gif"));
    ExpectFirstFrameOf(1, 2);
    for (Qt::Key key : {Qt::Key_F1, Qt::Key_Question}) {
        Key(key);
        ASSERT_TRUE(window_->help());
        EXPECT_TRUE(window_->help()->text().contains("Ctrl+O"));
        window_->help()->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window_->help(); }, kWaitMs));
    }
    // A right click on a still: the host's menu; Reload chosen.
    QStringList labels;
    QTimer::singleShot(0, [&] {
        QMenu* menu = window_->hostMenu();
        if (!menu) return;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) labels << action->text();
            if (action->text().startsWith("&Reload")) menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mouseClick(&view(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(labels.size(), 13);
    EXPECT_TRUE(labels.contains("&Reload\tF5")) << labels.join(", ").toStdString();
    EXPECT_TRUE(window_->isVisible());
    // Plain + and - (and the keypad's) zoom.
    Key(Qt::Key_Plus);
    EXPECT_EQ(session().Place().dest.width(), 30);
    Key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(session().Place().dest.width(), 20);
    // The wheel browses: one notch down is the next file.
    const QPoint at(10, 10);
    QWheelEvent wheel(at, view().mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view(), &wheel);
    EXPECT_EQ(WaitForStatus("3-broken.gif  3/5"), "");
    Key(Qt::Key_Left);
    ExpectFirstFrameOf(1, 2);
    // Ctrl+C: the picture as on screen, without the host's colour.
    QApplication::clipboard()->clear();
    Key(Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(20, 10));
    EXPECT_EQ(copied.pixel(5, 5) & 0xFFFFFF, 0xE0C030u);
    // Narrow: the status is cut at a whole part and ends in an ellipsis.
    window_->setMinimumWidth(0);
    view().setMinimumWidth(0);
    window_->resize(150, 360);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->width() <= 150; }, kWaitMs));
    const QString shown = window_->statusShown();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(window_->statusText().startsWith(shown.chopped(1).trimmed()));
    EXPECT_EQ(Status().find("2-still.gif  2/5  20x10  100%  still"), 0u);
}

// Only GIF and WebP files and folders are taken; several files browse just those.
TEST_F(PelmViewWindowTest, DropsTakeImagesAndFoldersOnly) {
    ASSERT_TRUE(window_->OpenPath(folder_ / "2-still.gif"));
    const auto drop = [&](const std::vector<std::string>& names) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& name : names) {
            urls << QUrl::fromLocalFile(QString::fromStdString((folder_ / name).string()));
        }
        data.setUrls(urls);
        const QPoint at(20, 20);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &dropped);
        return true;
    };
    EXPECT_FALSE(drop({"6-notes.txt"}));
    EXPECT_TRUE(drop({"5-large.gif", "6-notes.txt", "1-animation.gif"}));
    EXPECT_EQ(WaitForStatus("5-large.gif  1/2"), "");
    Key(Qt::Key_Right);
    ExpectFirstFrameOf(0, 2, 2);
}

// The corpus three times over, GIF folder then WebP folder, in one window: each file's first
// frame must be seen (a paint that the module drew while its position was 0), then random
// keys play, pause, step, stop, turn, zoom and open the menu (dismissed) before Right goes on.
// At the end, with the window gone, the stand-in holds no more objects, events, threads or
// menus than before it was made.
TEST_F(PelmViewWindowTest, SoakBrowsesTheCorpusThreeTimesWithRandomKeys) {
    const fs::path corpus = TAVOREN_CORPUS_DIR;
    if (!fs::is_directory(corpus / "gif")) GTEST_SKIP() << "no corpus at " << corpus;
    window_.reset();
    const LiveCounts baseline = LiveCounts::Now();
    OpenWindow();
    if (HasFatalFailure()) return;

    // Whether the module drew the picture at a paint while at frame 0's time, and whether it
    // said it could not draw it (a file whose first frame it cannot decode).
    bool firstFrameSeen = false, undrawable = false;
    int paints = 0, fresh = 0;
    view().OnPainted([&] {
        ++paints;
        if (view().presentedNow()) ++fresh;
        if (view().presentedNow() && session().viewer().PositionMs() == 0) firstFrameSeen = true;
        if (session().shown() && session().renderResult() != 0) undrawable = true;
    });
    const unsigned seed = 16;
    std::mt19937 random(seed);
    const Qt::Key keys[] = {Qt::Key_P, Qt::Key_Space, Qt::Key_T,     Qt::Key_S, Qt::Key_R,
                            Qt::Key_E, Qt::Key_Plus,  Qt::Key_Minus, Qt::Key_F, Qt::Key_Menu};
    int shown = 0, failed = 0, undrawn = 0, keysPressed = 0, menus = 0;
    std::vector<std::string> unseen;
    for (int round = 0; round < 3; ++round) {
        for (const char* folder : {"gif", "webp"}) {
            firstFrameSeen = undrawable = false;
            ASSERT_TRUE(window_->OpenPath(corpus / folder)) << Status();
            const size_t count = session().listing().size();
            for (size_t file = 0; file < count; ++file) {
                if (file > 0) {
                    firstFrameSeen = undrawable = false;
                    Key(Qt::Key_Right);
                }
                if (!session().shown()) {
                    ++failed;
                    continue;
                }
                ++shown;
                if (!QTest::qWaitFor(
                        [&] {
                            view().update();
                            return firstFrameSeen || undrawable;
                        },
                        kWaitMs)) {
                    unseen.push_back(session().name() + " (" + session().Status() + ", paints " +
                                     std::to_string(paints) + ", fresh " + std::to_string(fresh) +
                                     ", Render " + std::to_string(session().renderResult()) +
                                     ", presented " + std::to_string(view().presented().width()) +
                                     "x" + std::to_string(view().presented().height()) + ")");
                }
                if (undrawable && !firstFrameSeen) ++undrawn;
                for (int k = 0; k < 5; ++k) {
                    const Qt::Key key = keys[random() % std::size(keys)];
                    if (key == Qt::Key_Menu) {
                        // Dismissed from inside its modal loop, if the module opens one.
                        QTimer::singleShot(0, [] {
                            if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
                        });
                        ++menus;
                    }
                    const bool zoom = key == Qt::Key_Plus || key == Qt::Key_Minus;
                    Key(key, zoom ? Qt::ControlModifier : Qt::NoModifier);
                    ++keysPressed;
                    QCoreApplication::processEvents();
                }
            }
        }
    }
    view().OnPainted({});
    window_.reset();
    const LiveCounts settled = LiveCounts::Settled(baseline, kWaitMs);
    std::printf(
        "soak: %d files shown (%d with a first frame the module cannot draw), %d refused by the "
        "module, %d random keys (%d menu), seed %u; live counts before %s, after %s\n",
        shown, undrawn, failed, keysPressed, menus, seed,
        (std::ostringstream() << baseline).str().c_str(),
        (std::ostringstream() << settled).str().c_str());
    EXPECT_TRUE(settled.SameAs(baseline)) << "before " << baseline << ", after " << settled;
    EXPECT_GT(shown, 0);
    for (const std::string& name : unseen) ADD_FAILURE() << "first frame never seen: " << name;
}

}  // namespace
