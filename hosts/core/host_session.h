// A reference host's whole dealing with the module, apart from its windowing: the files it
// browses, the one viewer that shows them (loaded again and attached again for each file, as
// a real host does), the view's fit and zoom, the keys, the transport state and the status.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

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
    // The first picture shown: the host may fit its window to it (not when fullscreen or
    // maximised). Later pictures and turns leave the window's size to the user.
    virtual void SizeToPicture() = 0;

    // The host's own actions, which a key asks for and the window carries out.
    virtual bool IsFullscreen() = 0;
    virtual void ToggleFullscreen() = 0;
    virtual void ChooseFile() = 0;
    virtual void Close() = 0;
    // The keys (HelpText), shown until the user dismisses them.
    virtual void ShowHelp() = 0;
    // The picture as it is on screen, to the clipboard as an image.
    virtual void CopyFrame() = 0;
    // How many times the module has opened its menu in this window so far: a right click
    // after which the count is the same opened none, and gets the host's menu instead.
    virtual unsigned ModuleMenusTracked() = 0;
    // The host's menu (HostMenuCommands) at a client point, modal: what was chosen, or None.
    virtual HostAction ChooseFromHostMenu(int x, int y) = 0;
};

class HostSession {
  public:
    HostSession(std::shared_ptr<const HostModule> module, SessionWindow& window,
                uint32_t background);

    // Browses `path`, a file or a folder (no load yet). False, with `error`, when there is
    // nothing to show there.
    bool Browse(const std::filesystem::path& path, std::string* error);
    // Several files (or folders), browsed as one list in the order given.
    bool Browse(const std::vector<std::filesystem::path>& paths, std::string* error);
    bool browsing() const { return !listing_.empty(); }
    const FolderListing& listing() const { return listing_; }
    const FileFilter& filter() const { return filter_; }

    // Loads the listing's current file into the viewer, attaches the window, sends the host
    // colour and plays. False when the file does not open: error() says why, and nothing is
    // shown until the next file.
    bool ShowCurrent();
    // The same for an image in memory under `name` (the built-in demo), outside any folder.
    bool ShowMemory(const std::string& name, const unsigned char* data, size_t size);
    // Whether a load runs: the module may dispatch the window's messages while it waits for
    // its worker, and a key or the watcher must not start another load inside this one.
    bool loading() const { return loading_; }
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
    // Any action, from a key, the wheel or the host's menu, done by the session or the window.
    void Command(HostAction action, unsigned key, int x, int y);
    // A right click: the module's menu where it offers one (an animation), the host's
    // otherwise (a still, an error, nothing shown).
    void RightClick(int x, int y);
    // The same at the picture's centre (the window's without one), for the keyboard.
    void OpenMenuAtCentre();
    // The current file read again from disk, and its folder (F5; the watcher saw it change).
    void Reload();
    // The folder changed on disk (the watcher): files added and removed are browsed; the
    // shown one is kept, or, if it is gone, the file now in its place is shown with a note.
    void FolderChanged();
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
    // As displayed, after the turn.
    PictureSize picture() const { return picture_; }
    // The turn of the file shown, clockwise, 0 to 270; each file starts unturned.
    int rotation() const { return rotation_; }
    Transport transport() const { return transport_; }
    std::string Status();
    // The name of what is shown or failed, UTF-8.
    const std::string& name() const { return name_; }
    ModuleViewer& viewer() { return viewer_; }

  private:
    bool Shown(bool loaded);
    void PassKey(unsigned key);
    // After the listing was read again: shows its current file when it is another one.
    void Reread(bool reload);

    std::shared_ptr<const HostModule> module_;
    SessionWindow& window_;
    const uint32_t background_;
    FileFilter filter_;
    FolderListing listing_;
    ModuleViewer viewer_;
    ViewGeometry geometry_;
    PictureSize picture_;
    PictureSize ownSize_;  // before any turn
    Transport transport_ = Transport::Still;
    std::string name_;
    std::string error_;
    std::string note_;    // a file gone, until the user moves on
    std::string damage_;  // the shown file's DamageNote
    int rotation_ = 0;
    bool windowSized_ = false;
    bool loading_ = false;
    bool shown_ = false;
    bool windowRefused_ = false;
    int renderResult_ = 0;
};
