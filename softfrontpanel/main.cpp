// Start-up of the 7240 panel: the splash stays up while the connection flow
// runs inside the window's construction; the window is shown, centred, once
// a card is open or demo mode was chosen.
#include <QApplication>
#include <QPixmap>
#include <QSplashScreen>

#include "kd7010fp_app.h"
#include "kd7010fp_splashlabel.h"
#include "kd7240_fc.h"
#include "kd7240fp_app.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kd7240_fc card;

    QString description = card.getDescription();
    description.replace(QStringLiteral(" FC"), QStringLiteral(" Function Card"));
    const QString copyright = card.getCopyright();
    const kd7010fp_splashLabel splashImage(1.0f, 20, card.modelCode, true, copyright, description);
    // finish() closes it once the window is up; closing also frees it.
    auto *splash = new QSplashScreen(QPixmap(splashImage), Qt::WindowFlags());
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();

    {
        // Cancel in the connection flow ends the process inside this constructor.
        kd7240fp_App window(&card);
        window.adjustSize();
        centerOnScreen(&window);
        window.show();
        splash->finish(&window);
        app.exec();
        // The window goes first: it releases its samples and closes the session.
    }
    return 0;
}
