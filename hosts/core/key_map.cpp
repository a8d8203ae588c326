#include "hosts/core/key_map.h"

HostAction MapKey(const KeyPress& press, bool fullscreen) {
    const unsigned key = press.key;
    if (press.alt) return HostAction::None;
    if (press.ctrl) {
        switch (key) {
            case 'O':
                return HostAction::Open;
            case '0':
            case vk::kNumpad0:
                return HostAction::OneToOne;
            case vk::kOemPlus:  // '=' unshifted on most layouts: Ctrl+= is Ctrl+plus
            case vk::kAdd:
                return HostAction::ZoomIn;
            case vk::kOemMinus:
            case vk::kSubtract:
                return HostAction::ZoomOut;
            case 'Q':
            case 'W':
                return HostAction::Close;
            case 'R':
                return HostAction::Reload;
            case 'C':
                return HostAction::CopyFrame;
            default:
                // The module ignores modifiers: Ctrl+S would stop. Held keys are the host's.
                return HostAction::None;
        }
    }
    switch (key) {
        case vk::kRight:
        case vk::kPageDown:
            return HostAction::Next;
        case vk::kLeft:
        case vk::kPageUp:
            return HostAction::Previous;
        case vk::kHome:
            return HostAction::First;
        case vk::kEnd:
            return HostAction::Last;
        case 'F':
            return HostAction::ToggleFit;
        case vk::kOemPlus:  // '=' and '+' alike, as with Ctrl
        case vk::kAdd:
            return HostAction::ZoomIn;
        case vk::kOemMinus:
        case vk::kSubtract:
            return HostAction::ZoomOut;
        case vk::kF5:
            return HostAction::Reload;
        case vk::kF1:
            return HostAction::Help;
        case vk::kOemQuestion:
            return press.shift ? HostAction::Help : HostAction::ToModule;
        case vk::kF11:
            return HostAction::Fullscreen;
        case vk::kEscape:
            return fullscreen ? HostAction::LeaveFullscreen : HostAction::Close;
        case vk::kSpace:
            return HostAction::PlayPause;
        case vk::kApps:
            return HostAction::Menu;
        case vk::kF10:
            return press.shift ? HostAction::Menu : HostAction::None;
        case 'R':
            return HostAction::TurnClockwise;
        case 'E':
            return HostAction::TurnCounterClockwise;
        case vk::kShift:
        case vk::kControl:
        case vk::kMenuAlt:
            return HostAction::None;
        default:
            return HostAction::ToModule;
    }
}

HostAction MapWheel(int delta, bool ctrl) {
    if (delta == 0) return HostAction::None;
    if (ctrl) return delta > 0 ? HostAction::ZoomIn : HostAction::ZoomOut;
    return delta > 0 ? HostAction::Previous : HostAction::Next;
}
