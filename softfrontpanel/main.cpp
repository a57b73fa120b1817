#include <QApplication>
#include <QLabel>

#include "kd7240_fc.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kd7240_fc card;

    QLabel window(QStringLiteral("<h2>Vantix %1</h2><p>%2</p><p>Driver %3</p>")
                      .arg(card.modelCode, 4, 16, QChar(' '))
                      .arg(card.getDescription(), card.getDriverRevision()));
    window.setWindowTitle(QStringLiteral("Vantix %1 Soft Front Panel").arg(card.modelCode, 4, 16, QChar(' ')));
    window.setMargin(20);
    window.show();
    app.exec();
    return 0;
}
