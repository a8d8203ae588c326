#include "hosts/core/host_commands.h"

namespace {

constexpr HostCommand kMenu[] = {
    {HostAction::Open, "&Open...", "Ctrl+O"},
    {HostAction::Reload, "&Reload", "F5"},
    {HostAction::CopyFrame, "&Copy frame", "Ctrl+C"},
    {HostAction::None, nullptr, nullptr},
    {HostAction::Next, "&Next file", "Right"},
    {HostAction::Previous, "&Previous file", "Left"},
    {HostAction::None, nullptr, nullptr},
    {HostAction::ZoomIn, "Zoom &in", "+"},
    {HostAction::ZoomOut, "Zoom &out", "-"},
    {HostAction::ToggleFit, "&Fit", "F"},
    {HostAction::OneToOne, "&1:1", "Ctrl+0"},
    {HostAction::TurnClockwise, "Ro&tate", "R"},
    {HostAction::Fullscreen, "F&ullscreen", "F11"},
    {HostAction::None, nullptr, nullptr},
    {HostAction::Help, "&Help", "F1"},
    {HostAction::Close, "&Quit", "Ctrl+Q"},
};

// The keys and gestures that are not in the menu, or not only there.
constexpr const char* kOtherKeys[][2] = {
    {"Right, Page Down, wheel down", "next file of the folder (wrapping)"},
    {"Left, Page Up, wheel up", "previous file"},
    {"Home / End", "first / last file"},
    {"Ctrl+R", "reload, as F5"},
    {"+ / -, Ctrl+wheel", "zoom in / out about the pointer"},
    {"E", "turn counter-clockwise (R: clockwise)"},
    {"drag", "pan a picture larger than the window"},
    {"double click", "fullscreen on and off"},
    {"Esc", "leave fullscreen; otherwise quit (also Ctrl+W)"},
    {"Space", "play or pause"},
    {"P, S, T, G, I", "the module's keys: play/pause, stop, step, background, timing"},
    {"right click, Menu, Shift+F10", "the module's menu on an animation; else this menu"},
    {"F1, ?", "these keys"},
};

}  // namespace

std::span<const HostCommand> HostMenuCommands() {
    return kMenu;
}

std::string HelpText() {
    std::string text;
    const auto line = [&](const std::string& keys, const std::string& what) {
        text += keys + "\t" + what + "\n";
    };
    for (const HostCommand& command : kMenu) {
        if (!command.label || command.action == HostAction::Help) continue;
        std::string label;
        for (const char* c = command.label; *c; ++c) {
            if (*c != '&') label += *c;
        }
        line(command.shortcut, label);
    }
    for (const auto& other : kOtherKeys) line(other[0], other[1]);
    return text;
}

std::string VersionText(const std::string& program) {
    return program + " " + PELM_VERSION;
}
