// A reference host's whole dealing with the module, apart from its windowing: the files it
// browses, the one viewer that shows them (loaded again and attached again for each file, as
// a real host does), the view's fit and zoom, the keys, the transport state and the status.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "hosts/core/file_filter.h"
#include "hosts/core/folder_listing.h"
#include "hosts/core/key_map.h"
#include "hosts/core/module_viewer.h"
#include "hosts/core/status_text.h"
#include "hosts/core/view_geometry.h"

// What the session needs of the host's window.
class SessionWindow {
  public:
    virtual ~SessionWindow() = default;
    // The platform's handle that the module draws in (an HWND).
    virtual void* Handle() = 0;
    virtual PictureSize ClientSize() = 0;
    // During a load, on the window thread: the host shows it at once, as its event loop waits.
    virtual void ShowProgress(uint32_t done, uint32_t total) = 0;
    // A paint of the whole client area, later.
    virtual void Repaint() = 0;
    // The status line says something else now; nothing needs painting.
    virtual void StatusChanged() = 0;
    // Another picture, or the same one turned: the host may fit its window to it.
    virtual void PictureChanged() = 0;

    // The host's own actions, which a key asks for and the window carries out.
    virtual bool IsFullscreen() = 0;
    virtual void ToggleFullscreen() = 0;
    virtual void ChooseFile() = 0;
    virtual void Close() = 0;
};

class HostSession {
  public:
    HostSession(std::shared_ptr<const HostModule> module, SessionWindow& window,
                uint32_t background);

    // Browses `path`, a file or a folder (no load yet). False, with `error`, when there is
    // nothing to show there.
    bool Browse(const std::filesystem::path& path, std::string* error);
    bool browsing() const { return !listing_.empty(); }
    const FolderListing& listing() const { return listing_; }
    const FileFilter& filter() const { return filter_; }

    // Loads the listing's current file into the viewer, attaches the window, sends the host
    // colour and plays. False when the file does not open: error() says why, and nothing is
    // shown until the next file.
    bool ShowCurrent();
    // The same for an image in memory under `name` (the built-in demo), outside any folder.
    bool ShowMemory(const std::string& name, const unsigned char* data, size_t size);
    // Whether a picture is shown; false before the first load and after a failed one.
    bool shown() const { return shown_; }
    const std::string& error() const { return error_; }
    // False when the module refused the window: the viewer cannot draw at all.
    bool windowRefused() const { return windowRefused_; }

    // Does what `action` asks of the module or the view, with (x, y) the client point that a
    // zoom keeps in place. False for the host's own actions (open, fullscreen, close), which
    // the host does itself, and for None.
    bool Act(HostAction action, unsigned key, int x, int y);
    // A key as the user pressed it, with (x, y) the client point under the pointer: what it
    // maps to, done by the session or by the window.
    void PressKey(const KeyPress& press, int x, int y);
    // The module's menu at the picture's centre, as a right click there would open it.
    void OpenMenuAtCentre();
    // After the module's menu closed with command `id` (0: dismissed), when the host learns
    // it: keeps the transport state in step with what the module did.
    void MenuChosen(uintptr_t id);
    // The module's VM_NOTIFY.
    void Notified(uintptr_t what);
    void Resized();

    // Paints through Render; false when nothing was asked of the module.
    bool Paint();
    // Render's result at the last paint: -1 when the module could not draw the picture.
    int renderResult() const { return renderResult_; }
    Placement Place() { return geometry_.Place(window_.ClientSize()); }
    ViewGeometry& geometry() { return geometry_; }
    PictureSize picture() const { return picture_; }
    Transport transport() const { return transport_; }
    std::string Status();
    // The name of what is shown or failed, UTF-8.
    const std::string& name() const { return name_; }
    ModuleViewer& viewer() { return viewer_; }

  private:
    bool Shown(bool loaded);
    void PassKey(unsigned key);

    std::shared_ptr<const HostModule> module_;
    SessionWindow& window_;
    const uint32_t background_;
    FileFilter filter_;
    FolderListing listing_;
    ModuleViewer viewer_;
    ViewGeometry geometry_;
    PictureSize picture_;
    Transport transport_ = Transport::Still;
    std::string name_;
    std::string error_;
    bool shown_ = false;
    bool windowRefused_ = false;
    int renderResult_ = 0;
};
