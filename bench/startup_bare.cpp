// The bare Qt 6 program bench_startup measures the panel against: Qt
// Widgets alone, asking its first question in a message box.
#include <QApplication>
#include <QMessageBox>

#include "startupwatch.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.installEventFilter(new StartupWatch(nullptr));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vantix 7240"), QStringLiteral("How to connect?"),
        QMessageBox::Ok | QMessageBox::Cancel);
    box.show();
    return app.exec();
}
