// Menu items as AppendMenuW got them: labels are UTF-16 with '&' mnemonics, which Qt reads the
// same way, so they are shown as they come.
#include "hosts/pelm-view/context_menu.h"

#include <QAction>
#include <QMenu>
#include <QString>

#include <windows.h>

UINT_PTR RunContextMenu(QWidget* parent, const TavorenMenuItem* items, int count, QPoint at) {
    QMenu menu(parent);
    for (int i = 0; i < count; ++i) {
        const TavorenMenuItem& item = items[i];
        if ((item.flags & MF_SEPARATOR) || !item.label) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromUtf16(item.label));
        action->setData(QVariant::fromValue<qulonglong>(item.id));
        if (item.flags & MF_CHECKED) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        action->setEnabled(!(item.flags & MF_GRAYED));
    }
    const QAction* chosen = menu.exec(at);
    return chosen ? static_cast<UINT_PTR>(chosen->data().toULongLong()) : 0;
}
