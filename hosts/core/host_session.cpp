#include "host_session.h"

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

bool HostSession::ShowCurrent() {
    if (listing_.empty()) return false;
    const std::filesystem::path& file = listing_.current();
    name_ = Utf8Name(file);
    const auto progress = [this](uint32_t done, uint32_t total) {
        window_.ShowProgress(done, total);
    };
    const bool loaded = viewer_.LoadFile(file, progress);
    if (!loaded) error_ = LoadFailureReason(file);
    return Shown(loaded);
}

bool HostSession::ShowMemory(const std::string& name, const unsigned char* data, size_t size) {
    listing_ = FolderListing();
    name_ = name;
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
    geometry_.SetPicture(picture_);
    // The window takes its size for the picture first: the module's window surface is made
    // at the client size of the attach.
    window_.PictureChanged();
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
            if (listing_.empty()) return true;
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
        case HostAction::TurnCounterClockwise:
            // -1 without a window surface; the fit follows when VM_NOTIFY says it turned.
            if (shown_) viewer_.Rotate(action == HostAction::TurnClockwise ? 90 : -90);
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
    const bool fullscreen = window_.IsFullscreen();
    const HostAction action = MapKey(press, fullscreen);
    if (Act(action, press.key, x, y)) return;
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

void HostSession::OpenMenuAtCentre() {
    if (!shown_) return;
    const Placement placement = Place();
    viewer_.RightButtonDown((placement.dest.left + placement.dest.right) / 2,
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
    if (what == kModuleNotifyRotated && shown_) {
        picture_ = viewer_.DisplayedSize();
        geometry_.Turned(picture_);
        window_.PictureChanged();
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
    if (shown_) {
        facts.width = picture_.width;
        facts.height = picture_.height;
        facts.scale = geometry_.Scale(window_.ClientSize());
        facts.transport = transport_;
        facts.positionMs = viewer_.PositionMs();
        facts.durationMs = viewer_.DurationMs();
    }
    return StatusText(facts);
}
