#include "hosts/pelm-view/host_menu.h"

#include <QAction>

void FillHostMenu(QMenu& menu, const std::function<void(HostAction)>& chosen) {
    for (const HostCommand& command : HostMenuCommands()) {
        if (!command.label) {
            menu.addSeparator();
            continue;
        }
        // The text after a tab is the menu's shortcut column.
        QAction* action = menu.addAction(QString::fromUtf8(command.label) + '\t' +
                                         QString::fromUtf8(command.shortcut));
        const HostAction what = command.action;
        QObject::connect(action, &QAction::triggered, &menu, [chosen, what] { chosen(what); });
    }
}
