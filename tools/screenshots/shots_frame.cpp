// Pictures of the application frame: the panel window base around a dummy
// content, and the splash image of the 7240.
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "kd7010fp_app.h"
#include "kd7010fp_splashlabel.h"
#include "kd7240_fc.h"
#include "shots.h"

static void saveFramePicture(const QPixmap &picture, const QString &dir, const QString &name)
{
    const QString path = QDir(dir).filePath(name);
    if (!picture.save(path))
        qWarning("could not write %s", qPrintable(path));
}

void shotsFrame(const QString &dir)
{
    kd7240_fc card;

    kd7010fp_app panel;
    panel.setWindowTitle(QStringLiteral("Vantix 7240 Soft Front Panel"));
    panel.setHeaderText(QStringLiteral("<html>Vantix 7240<br><font size='2'>%1</font></html>").arg(card.getDescription()));
    panel.setSystemLabel(QStringLiteral("Slot 5"), QString());
    panel.setFcLabel(QStringLiteral("FC 2"), QString());
    panel.setDemoMode(false);

    // Stand-in content: what a card panel would put into the content area.
    auto *tabs = new QTabWidget;
    auto *page = new QWidget;
    auto *pageLayout = new QVBoxLayout(page);
    auto *group = new QGroupBox(QStringLiteral("Card panel content"));
    auto *groupLayout = new QVBoxLayout(group);
    auto *label = new QLabel(QStringLiteral("The card panel installs its controls here\nwith setPanelLayout()."));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(420, 260);
    groupLayout->addWidget(label);
    pageLayout->addWidget(group);
    tabs->addTab(page, QStringLiteral("Generation"));
    tabs->addTab(new QWidget, QStringLiteral("DAC"));
    auto *content = new QVBoxLayout;
    content->setContentsMargins(0, 0, 0, 0);
    content->addWidget(tabs);
    panel.setPanelLayout(content);

    panel.adjustSize();
    panel.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    saveFramePicture(panel.grab(), dir, QStringLiteral("panel-base.png"));

    QString description = card.getDescription();
    description.replace(QStringLiteral(" FC"), QStringLiteral(" Function Card"));
    saveFramePicture(kd7010fp_splashLabel(1.0f, 20, card.modelCode, true, card.getCopyright(), description), dir,
                     QStringLiteral("splash.png"));
}
