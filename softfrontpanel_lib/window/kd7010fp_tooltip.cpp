#include "kd7010fp_tooltip.h"

#include <QVariant>
#include <QWidget>

namespace {

const char *const tipKey = "kd7010fp_tip";
const char *const noteKey = "kd7010fp_lockNote";

void compose(QWidget *widget)
{
    const QString tip = widget->property(tipKey).toString();
    const QString note = widget->property(noteKey).toString();
    widget->setToolTip(note.isEmpty() ? tip : tip.isEmpty() ? note : tip + QLatin1Char('\n') + note);
}

} // namespace

void kd7010fp_setToolTip(QWidget *widget, const QString &tip)
{
    widget->setProperty(tipKey, tip);
    compose(widget);
}

void kd7010fp_setLockNote(QWidget *widget, const QString &note)
{
    // A tip set the plain way before any note is the tip proper.
    if (!widget->property(tipKey).isValid())
        widget->setProperty(tipKey, widget->toolTip());
    if (widget->property(noteKey).toString() == note)
        return;
    widget->setProperty(noteKey, note);
    compose(widget);
}
