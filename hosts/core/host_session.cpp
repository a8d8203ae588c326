#include "hosts/core/host_session.h"

#include <utility>

#include <string>

namespace {

// The module's menu commands (its context menu's ids).
constexpr uintptr_t kMenuPlay = 1, kMenuPause = 2, kMenuStop = 3, kMenuStep = 4;

std::string Utf8Name(const std::filesystem::path& path) {
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

}  // namespace

HostSession::HostSession(std::shared_ptr<const HostModule> module, SessionWindow& window,
                         uint32_t background)
    : module_(std::move(module)),
      window_(window),
      background_(background),
      filter_(module_->fileFilter()),
      viewer_(module_) {}

bool HostSession::Browse(const std::filesystem::path& path, std::string* error) {
    FolderListing listing = FolderListing::Of(path, filter_, error);
    if (listing.empty()) return false;
    listing_ = std::move(listing);
    return true;
}

bool HostSession::Browse(const std::vector<std::filesystem::path>& paths, std::string* error) {
    FolderListing listing = FolderListing::OfPaths(paths, filter_, error);
    if (listing.empty()) return false;
    listing_ = std::move(listing);
    return true;
}

namespace {

// Marks a load for its duration.
class LoadingScope {
  public:
    explicit LoadingScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~LoadingScope() { flag_ = false; }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

  private:
    bool& flag_;
};

}  // namespace

bool HostSession::ShowCurrent() {
    if (listing_.empty() || loading_) return false;
    const LoadingScope scope(loading_);
    std::error_code code;
    if (!std::filesystem::exists(listing_.current(), code) && !code) {
        // Gone since the folder was read: skipped, and said so.
        const std::string gone = Utf8Name(listing_.current());
        listing_.Reread();
        note_ = gone + " is gone";
        if (listing_.empty()) {
            name_ = gone;
            error_ = "the file is gone, and nothing else is left to show";
            return Shown(false);
        }
    }
    const std::filesystem::path& file = listing_.current();
    name_ = Utf8Name(file);
    const auto progress = [this](uint32_t done, uint32_t total) {
        window_.ShowProgress(done, total);
    };
    const bool loaded = viewer_.LoadFile(file, progress);
    if (!loaded) error_ = LoadFailureReason(file);
    damage_ = loaded ? DamageNote(file) : "";
    return Shown(loaded);
}

void HostSession::Reload() {
    note_.clear();
    Reread(true);
}

void HostSession::FolderChanged() {
    Reread(false);
}

void HostSession::Reread(bool reload) {
    if (listing_.empty() || loading_) return;
    const std::string before = Utf8Name(listing_.current());
    const bool kept = listing_.Reread();
    if (!kept) {
        note_ = before + " is gone";
        if (listing_.empty()) {
            error_ = "the file is gone, and nothing else is left to show";
            Shown(false);
            return;
        }
    }
    if (reload || !kept) {
        ShowCurrent();
    } else {
        window_.StatusChanged();  // its place or the count may have changed
    }
}

bool HostSession::ShowMemory(const std::string& name, const unsigned char* data, size_t size) {
    if (loading_) return false;
    const LoadingScope scope(loading_);
    listing_ = FolderListing();
    name_ = name;
    damage_.clear();
    const auto progress = [this](uint32_t done, uint32_t total) {
        window_.ShowProgress(done, total);
    };
    const bool loaded = viewer_.LoadMemory(data, size, progress);
    if (!loaded) error_ = "the module cannot read it";
    return Shown(loaded);
}

// The steps after every load: the load released the viewer's surfaces, so the window is
// attached again; then the host's colour, and play.
bool HostSession::Shown(bool loaded) {
    shown_ = false;
    transport_ = Transport::Still;
    picture_ = loaded ? viewer_.DisplayedSize() : PictureSize{};
    // The module keeps the last file's turn through a load; it is undone once attached.
    if (rotation_ % 180 != 0) std::swap(picture_.width, picture_.height);
    ownSize_ = picture_;
    geometry_.SetPicture(picture_);
    // The first picture sizes the window before the attach: the module's window surface is
    // made at the client size of the attach.
    if (loaded && !windowSized_) {
        windowSized_ = true;
        window_.SizeToPicture();
    }
    if (loaded) {
        error_.clear();
        windowRefused_ = !viewer_.Attach(window_.Handle());
        if (windowRefused_) {
            // The module makes its drawing surfaces at the attach: the picture is the likely
            // cause, as the window worked for the pictures before it.
            error_ = "the module cannot draw it: no drawing surface of " +
                     std::to_string(picture_.width) + "x" + std::to_string(picture_.height) +
                     " could be made (beyond the drawing device or the memory)";
        } else {
            shown_ = true;
            if (rotation_ != 0 && viewer_.Rotate(-rotation_) == 0) rotation_ = 0;
            viewer_.SetBackground(background_);
            viewer_.Play();
            if (viewer_.frameCount() > 1) transport_ = Transport::Playing;
        }
    }
    window_.Repaint();
    return shown_;
}

bool HostSession::Act(HostAction action, unsigned key, int x, int y) {
    const PictureSize client = window_.ClientSize();
    switch (action) {
        case HostAction::Next:
        case HostAction::Previous:
        case HostAction::First:
        case HostAction::Last:
            if (listing_.empty() || loading_) return true;
            note_.clear();
            if (action == HostAction::Next) listing_.Next();
            if (action == HostAction::Previous) listing_.Previous();
            if (action == HostAction::First) listing_.First();
            if (action == HostAction::Last) listing_.Last();
            ShowCurrent();
            return true;
        case HostAction::ToggleFit:
            geometry_.ToggleFitRule();
            break;
        case HostAction::OneToOne:
            geometry_.OneToOne(client);
            break;
        case HostAction::ZoomIn:
            geometry_.ZoomIn(client, x, y);
            break;
        case HostAction::ZoomOut:
            geometry_.ZoomOut(client, x, y);
            break;
        case HostAction::PlayPause:
            // The module's own toggle, which knows whether its worker runs.
            if (shown_) PassKey('P');
            return true;
        case HostAction::TurnClockwise:
        case HostAction::TurnCounterClockwise: {
            // -1 without a window surface; the fit follows when VM_NOTIFY says it turned.
            const int step = action == HostAction::TurnClockwise ? 90 : 270;
            if (shown_ && viewer_.Rotate(step == 90 ? 90 : -90) == 0) {
                rotation_ = (rotation_ + step) % 360;
            }
            return true;
        }
        case HostAction::Reload:
            Reload();
            return true;
        case HostAction::Menu:
            OpenMenuAtCentre();
            return true;
        case HostAction::ToModule:
            if (shown_) PassKey(key);
            return true;
        default:
            return false;
    }
    window_.Repaint();
    return true;
}

void HostSession::PressKey(const KeyPress& press, int x, int y) {
    Command(MapKey(press, window_.IsFullscreen()), press.key, x, y);
}

void HostSession::Command(HostAction action, unsigned key, int x, int y) {
    const bool fullscreen = window_.IsFullscreen();
    if (Act(action, key, x, y)) return;
    switch (action) {
        case HostAction::Open:
            window_.ChooseFile();
            break;
        case HostAction::Fullscreen:
            window_.ToggleFullscreen();
            break;
        case HostAction::LeaveFullscreen:
            if (fullscreen) window_.ToggleFullscreen();
            break;
        case HostAction::Close:
            window_.Close();
            break;
        case HostAction::Help:
            window_.ShowHelp();
            break;
        case HostAction::CopyFrame:
            if (shown_) window_.CopyFrame();
            break;
        default:
            break;
    }
}

// The module's keys as it acts on them (its key table), so that the state word follows.
void HostSession::PassKey(unsigned key) {
    viewer_.Key(key);
    if (viewer_.frameCount() <= 1) return;
    switch (key) {
        case 'P':
            transport_ = transport_ == Transport::Playing ? Transport::Paused : Transport::Playing;
            break;
        case 'S':
            if (transport_ != Transport::Stopped) transport_ = Transport::Stopped;
            break;
        case 'T':
            transport_ = Transport::Paused;
            break;
        default:
            break;
    }
    window_.StatusChanged();
}

void HostSession::RightClick(int x, int y) {
    const unsigned before = window_.ModuleMenusTracked();
    // The module's menu runs its modal loop inside this call.
    if (shown_) viewer_.RightButtonDown(x, y);
    if (window_.ModuleMenusTracked() != before) return;
    Command(window_.ChooseFromHostMenu(x, y), 0, x, y);
}

void HostSession::OpenMenuAtCentre() {
    const PictureSize client = window_.ClientSize();
    const Placement placement = Place();
    if (!shown_) return RightClick(client.width / 2, client.height / 2);
    RightClick((placement.dest.left + placement.dest.right) / 2,
               (placement.dest.top + placement.dest.bottom) / 2);
}

void HostSession::MenuChosen(uintptr_t id) {
    if (viewer_.frameCount() <= 1) return;
    if (id == kMenuPlay) transport_ = Transport::Playing;
    if (id == kMenuPause || id == kMenuStep) transport_ = Transport::Paused;
    if (id == kMenuStop) transport_ = Transport::Stopped;
    window_.StatusChanged();
}

void HostSession::Notified(uintptr_t what) {
    if (what == kNotifyRotated && shown_) {
        picture_ = viewer_.DisplayedSize();
        geometry_.Turned(picture_);
    }
    window_.Repaint();
}

void HostSession::Resized() {
    const PictureSize client = window_.ClientSize();
    if (shown_) viewer_.Resized(client.width, client.height);
}

bool HostSession::Paint() {
    if (!shown_) return false;
    const Placement placement = Place();
    renderResult_ = viewer_.Render(placement.source, placement.dest, placement.interpolation);
    return true;
}

std::string HostSession::Status() {
    StatusFacts facts;
    facts.name = name_;
    if (!listing_.empty()) {
        facts.place = listing_.index() + 1;
        facts.count = listing_.size();
    }
    facts.error = error_;
    facts.note = damage_ + (damage_.empty() || note_.empty() ? "" : "; ") + note_;
    if (shown_) {
        // The picture's own size: the turn is said apart.
        facts.width = ownSize_.width;
        facts.height = ownSize_.height;
        facts.angle = rotation_;
        facts.scale = geometry_.Scale(window_.ClientSize());
        facts.transport = transport_;
        facts.positionMs = viewer_.PositionMs();
        facts.durationMs = viewer_.DurationMs();
    }
    return StatusText(facts);
}
