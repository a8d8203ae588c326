// The reference hosts' keys: what a key press asks the host to do. Keys are given by their
// virtual-key codes, the numbering the module's own keys use too, so the Win32 host passes
// its codes unchanged and the Qt host translates its own.
#pragma once

enum class HostAction {
    None,
    Next,                  // Right, Page Down
    Previous,              // Left, Page Up
    First,                 // Home
    Last,                  // End
    Open,                  // Ctrl+O
    ToggleFit,             // F: fit shrinking only, or also enlarging
    OneToOne,              // Ctrl+0
    ZoomIn,                // plus, Ctrl+plus (keypad too)
    ZoomOut,               // minus, Ctrl+minus (keypad too)
    Fullscreen,            // F11
    LeaveFullscreen,       // Esc in fullscreen
    Close,                 // Esc otherwise, Ctrl+Q, Ctrl+W
    Reload,                // F5, Ctrl+R: the file again from disk, and its folder
    Help,                  // F1, ?
    CopyFrame,             // Ctrl+C: the picture on screen to the clipboard
    PlayPause,             // Space
    Menu,                  // the Menu key, Shift+F10
    TurnClockwise,         // R
    TurnCounterClockwise,  // E
    ToModule,              // passed on as it is: P, S, T, G, I and any other plain key
};

// Virtual-key codes of the keys the hosts name.
namespace vk {
constexpr unsigned kBack = 0x08, kReturn = 0x0D, kShift = 0x10, kControl = 0x11, kMenuAlt = 0x12,
                   kEscape = 0x1B, kSpace = 0x20, kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23,
                   kHome = 0x24, kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28,
                   kApps = 0x5D, kNumpad0 = 0x60, kAdd = 0x6B, kSubtract = 0x6D, kF1 = 0x70,
                   kF5 = 0x74, kF10 = 0x79, kF11 = 0x7A, kOemPlus = 0xBB, kOemMinus = 0xBD,
                   kOemQuestion = 0xBF;  // '/' and, shifted, '?' on most layouts
}  // namespace vk

struct KeyPress {
    unsigned key = 0;  // virtual-key code; a letter's is its capital's ASCII code
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

HostAction MapKey(const KeyPress& press, bool fullscreen);

// The mouse wheel, `delta` > 0 turned away from the user. The plain wheel browses, as in
// IrfanView, qimgv and Windows' photo viewer: a folder is looked through far more often than
// zoomed, and the picture is fitted to start with. Ctrl+wheel zooms.
HostAction MapWheel(int delta, bool ctrl);
