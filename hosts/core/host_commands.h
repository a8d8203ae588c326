// The host's own commands as both hosts offer them in their menu and their help: each with
// its label and the shortcut that does the same through the key map.
#pragma once

#include <span>
#include <string>

#include "hosts/core/key_map.h"

struct HostCommand {
    HostAction action;
    const char* label;     // with '&' before the mnemonic, as both menus read it
    const char* shortcut;  // as shown beside the label
};

// The host's menu, in its order; a null label is a separator.
std::span<const HostCommand> HostMenuCommands();

// Every key and mouse gesture, one "shortcut<TAB>what it does" line each, for F1 and --help.
std::string HelpText();

// "pelm-view 0.2": the program and the project's version, which the module carries too.
std::string VersionText(const std::string& program);
