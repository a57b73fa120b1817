// A script step for the Select Function Card dialog.
#ifndef PICKCARD_H
#define PICKCARD_H

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <functional>

#include "kd7010fp_fcselect.h"

// A script step that picks the k-th card the search lets the operator
// choose in the Select Function Card dialog, then presses OK.
inline std::function<void(QWidget *)> pickCard(int k)
{
    return [k](QWidget *w) {
        auto *dialog = qobject_cast<kd7010fp_fcSelect *>(w);
        QList<QTreeWidgetItem *> cards;
        for (QTreeWidgetItemIterator it(dialog->fcTree, QTreeWidgetItemIterator::Selectable); *it; ++it)
            cards << *it;
        cards.value(k)->setSelected(true);
        dialog->okButton->click();
    };
}

#endif
