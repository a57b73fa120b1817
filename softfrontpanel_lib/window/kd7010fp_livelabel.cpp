#include "kd7010fp_livelabel.h"

#include <QLabel>

void kd7010fp_showLiveText(QLabel *label, const QString &text, const QString &explanation)
{
    label->setText(text);
    QString described = text;
    if (!explanation.isEmpty())
        described += (described.isEmpty() ? QString() : QStringLiteral("\n")) + explanation;
    // Setting it tells the accessibility bridge that it changed.
    label->setAccessibleDescription(described);
}
