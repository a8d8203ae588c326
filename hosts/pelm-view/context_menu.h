// The module's popup menu shown as a Qt menu.
#pragma once

#include <QPoint>

#include <tavoren_window.h>

class QWidget;

// Runs a modal QMenu of `items` at the screen point `at`; the chosen item's id, or 0 when the
// menu is dismissed. The event loop runs meanwhile, so paints (and the module's entry points
// they call) go on.
UINT_PTR RunContextMenu(QWidget* parent, const TavorenMenuItem* items, int count, QPoint at);
