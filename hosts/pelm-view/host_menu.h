// The host's own menu on Qt, built from the core's command table: each command with its
// shortcut beside it. The shortcuts are shown only; the keys themselves go through the
// session's key map, so that a key does the same with or without the menu.
#pragma once

#include <QMenu>

#include <functional>

#include "hosts/core/host_commands.h"

// Fills `menu`; choosing an item calls `chosen` with its action.
void FillHostMenu(QMenu& menu, const std::function<void(HostAction)>& chosen);
