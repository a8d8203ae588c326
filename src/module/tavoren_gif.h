// The viewer object: one per image that the host opens through the module.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <wincodec.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "module/module_info.h"

struct OpenMenu;

class TavorenGif {
  public:
    TavorenGif() = default;
    TavorenGif(const TavorenGif&) = delete;
    TavorenGif& operator=(const TavorenGif&) = delete;

    // Stops playback and releases every resource; the host frees the viewer through
    // DestroyInstance, which deletes it through this destructor.
    virtual ~TavorenGif();

    // The one teardown: closes the menu, stops the worker, releases every interface.
    void ReleaseResources();

    // Fills the image description from the open decoder's metadata, reporting progress.
    bool ScanImage(ProgressCallback progressCallback, void* userData);

    // Frame `index` into `frameBitmap`, with its placement, display time and disposal; given
    // `pixels`, its converted pixels are handed back there instead, for the caller to draw.
    bool DecodeFrame(UINT index, IWICBitmapSource** pixels = nullptr);
    // Draws frame `currentFrame` onto the composition surface.
    bool ComposeFrame();
    // Draws frame `frame` onto the composition surface.
    bool ComposeFrameAt(UINT frame);
    // Composes frames 0 to the last one composed again, in order, onto a new composition
    // surface: the picture the old surface held, for a move to another window.
    bool RebuildComposition();
    // Undoes the frame on screen by its disposal method before the next one is composed.
    bool ApplyDisposal();
    // One step of playback: the frame on screen undone, then `currentFrame` composed. False
    // when a surface is missing or either part fails, which ends the worker.
    bool ComposeNextFrame();

    // Makes a composition surface for the canvas, compatible with `windowSurface`: at full
    // size, or at the largest the device allows with the canvas's size kept in drawing units.
    // A still is composed again on it. False when none can be had.
    bool CreateCompositionSurface(ID2D1RenderTarget* windowSurface,
                                  ID2D1BitmapRenderTarget** surface);
    // Composition-surface pixels a canvas pixel, on each axis (1 without a shrunk surface).
    D2D1_SIZE_F SurfaceScale() const;
    // Composes a single-frame picture unless the surface already holds it on the current
    // background. False when the frame cannot be decoded or drawn.
    bool ComposeStill();

    // Draws the composition surface into the window, turned by `rotation`.
    INT32 PaintWindow(const RECT* sourceRect, const RECT* destRect, BYTE interpolation);
    // Keeps the window surface at the window's client size.
    void ResizeSurface(UINT clientWidth, UINT clientHeight);

    // The colours are shared with the worker and too wide for a lock-free atomic, so every
    // read and write of the three goes through the colour lock.
    D2D1_COLOR_F ReadColor(const D2D1_COLOR_F& color) const;
    void WriteColor(D2D1_COLOR_F& color, const D2D1_COLOR_F& value);

    // Image description (written by the load, read by painting and the queries).
    UINT width{};
    UINT height{};
    INT colorBits{};

    // Playback position and timing; the counters are shared with the worker.
    std::atomic<UINT> currentFrame{};
    UINT frameCount{};
    UINT disposal{};
    std::atomic<UINT> frameDelay{};
    INT totalDuration{};
    std::atomic<INT> elapsed{};
    // The start of each frame under the rule in force, once a timing recomputation has made
    // it (empty before): the worker's advances then read the position here instead of adding
    // the display time that the frame on screen was decoded with. Guarded by `transportLock`.
    std::vector<INT> frameStarts;

    // Written by a second AttachWindow while a worker may be invalidating it.
    std::atomic<HWND> window{};
    // The worker's events: they exist only while the worker lives.
    std::atomic<HANDLE> stopEvent{};
    std::atomic<HANDLE> wakeEvent{};
    HMENU contextMenu{};

    D2D1_COLOR_F backgroundColor{};
    D2D1_COLOR_F imageBackgroundColor{};
    D2D1_COLOR_F hostBackgroundColor{};

    bool useImageBackground{};
    bool hasShortDelays{};
    // Flipped on the window thread while the worker's frame decode reads it.
    std::atomic<bool> ieTiming{};
    bool isTransparent{};

    // Transport flags shared with the worker.
    std::atomic<bool> running{};
    std::atomic<bool> paused{};
    std::atomic<bool> stepRequested{};

    ID2D1Factory* d2dFactory{};
    ID2D1HwndRenderTarget* windowTarget{};
    ID2D1BitmapRenderTarget* composeTarget{};
    ID2D1Bitmap* frameBitmap{};
    ID2D1Bitmap* savedBitmap{};
    IWICImagingFactory* wicFactory{};
    IWICBitmapDecoder* decoder{};

    D2D1_RECT_F frameRect{};
    // Whether the composition surface holds the single-frame picture, and on which background.
    bool stillComposed{};
    D2D1_COLOR_F stillBackground{};
    // The picture on the composition surface is frames 0 to this one less composed in order
    // (0: nothing composed yet). Written and read under the drawing lock.
    UINT composedFrames{};
    bool isWebP{};
    INT rotation{};

    // Playback's own state beside the transport flags. `workerExists` is set by Play before
    // it starts a worker and cleared by that worker as its very last access to the viewer,
    // so it also covers the moments before the worker sets `running` and after it clears it.
    // `transportLock` makes each change of the flags and of the event handles one step
    // against the other thread; it is held for a few stores and a SetEvent, never across a
    // wait or a composition.
    std::mutex transportLock;
    std::atomic<bool> workerExists{};
    // Set by a Play or a step that ends a pause: the worker leaves the frame it is on at once,
    // whether or not it had begun to hold it, and clears the flag as it does. A pause or the
    // worker's end cancels it. Guarded by `transportLock`.
    bool resumeRequested{};
    // The context menus on screen, innermost first (the host may open one from inside
    // another's modal loop); null while none is.
    OpenMenu* openMenus{};

  private:
    // Copies the whole composition surface into `savedBitmap`, creating it the first time.
    bool SaveComposition();

    mutable std::mutex colorLock;
};

static_assert(sizeof(std::atomic<UINT>) == sizeof(UINT) && std::atomic<UINT>::is_always_lock_free);
static_assert(sizeof(std::atomic<INT>) == sizeof(INT) && std::atomic<INT>::is_always_lock_free);
static_assert(sizeof(std::atomic<bool>) == 1 && std::atomic<bool>::is_always_lock_free);
static_assert(sizeof(std::atomic<HANDLE>) == sizeof(HANDLE) &&
              std::atomic<HANDLE>::is_always_lock_free);
static_assert(sizeof(std::atomic<HWND>) == sizeof(HWND) && std::atomic<HWND>::is_always_lock_free);
