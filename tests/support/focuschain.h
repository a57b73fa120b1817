// Which controls of a window the keyboard cannot reach.
//
// focusChainProblems(window) presses Tab from the window's focus widget until
// the focus comes round again (or stops moving) and returns one line for every
// enabled, visible, interactive control that never got the focus: buttons,
// check boxes, combo boxes, spin boxes, line and text edits, sliders and item
// views (tree, list, table). A control inside another one (the line edit of a
// spin box, the header of a tree) counts with its owner; of a group of
// mutually exclusive buttons one reached is enough, since the arrow keys move
// within it. Each line names the control's class, object name and text, so a
// failing comparison says which control was left out:
//
//     window.show();
//     QCOMPARE(focusChainProblems(&window), QStringList());
//
// The window must be shown; the helper activates it and puts the focus back
// where it was. For a dialog run by exec(), call it from inside the dialog's
// event loop, e.g. in a ModalScript::act step, before closing the dialog.
#ifndef FOCUSCHAIN_H
#define FOCUSCHAIN_H

#include <QStringList>

class QWidget;

QStringList focusChainProblems(QWidget *window);

#endif
