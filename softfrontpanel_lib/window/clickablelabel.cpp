#include "clickablelabel.h"

clickableLabel::clickableLabel(const QString &text, QWidget *parent)
    : QLabel(QStringLiteral("<u><font color='#22e'>") + text + QStringLiteral("</font></u>"), parent)
{
    setCursor(Qt::PointingHandCursor);
}

void clickableLabel::mouseReleaseEvent(QMouseEvent *)
{
    emit clicked();
}
