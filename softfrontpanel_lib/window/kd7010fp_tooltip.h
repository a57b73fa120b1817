// Tool tips that say why a control is locked. A control locked while the
// card generates keeps the tip it has otherwise (what it plays, say, which
// goes on changing underneath) and adds the reason to it, so the operator
// who points at a greyed box learns how to get at it.
#ifndef KD7010FP_TOOLTIP_H
#define KD7010FP_TOOLTIP_H

#include <QString>

class QWidget;

// Sets the tip proper, kept beneath any lock note.
void kd7010fp_setToolTip(QWidget *widget, const QString &tip);
// Adds `note` to the tip, or takes it away when empty.
void kd7010fp_setLockNote(QWidget *widget, const QString &note);

#endif
