// Pictures of the settings groups, the About box and the licence viewer.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "kd7010fp_about.h"
#include "kd7010fp_led.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "qtlicense.h"
#include "shots.h"

static void save(QWidget &widget, const QString &dir, const QString &name)
{
    widget.show();
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(name);
    if (!widget.grab().save(path))
        qWarning("could not write %s", qPrintable(path));
}

void shotsSettings(const QString &dir)
{
    QFrame frame;
    frame.setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(&frame);
    auto *channels = new QHBoxLayout;
    layout->addLayout(channels);
    auto *chan1 = new kd7240fp_chSet(QStringLiteral("Channel 1"), &frame);
    auto *chan2 = new kd7240fp_chSet(QStringLiteral("Channel 2"), &frame);
    channels->addWidget(chan1);
    channels->addWidget(chan2);
    auto *common = new kd7240fp_comSet(QStringLiteral("Common Settings"), &frame);
    layout->addWidget(common);
    for (kd7240fp_chSet *chan : { chan1, chan2 })
        chan->setLimits(-10, 10);

    // Channel 1 generates a sine; channel 2 is set up for a filtered square.
    chan1->sineButton->click();
    chan1->amplitudeBox->setValue(5);
    chan1->led->setValue(true);
    chan2->squareButton->click();
    chan2->amplitudeBox->setValue(2.5);
    chan2->offsetBox->setValue(-1);
    chan2->filterBox->setCurrentIndex(3);
    // As the operator chooses "Limited by", so the cycles box follows.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(common->stopBox, &down);
    save(frame, dir, QStringLiteral("settings-groups.png"));
}

static kd7010fp_About *makeAbout()
{
    return new kd7010fp_About("4.3.2.10269", "2.0.4.0", "7240",
                              "Copyright (C) 2009-2026 Keldor Instruments. All rights reserved.", nullptr, "1.9.0.2");
}

void shotsAbout(const QString &dir)
{
    QScopedPointer<kd7010fp_About> single(makeAbout());
    single->addHardwarePage(QStringLiteral("62089481 (DEMO)"), QStringLiteral("1.0.1.0 (DEMO)"),
                            QStringLiteral("7240-AA (DEMO)"));
    save(*single, dir, QStringLiteral("about-1page.png"));

    QScopedPointer<kd7010fp_About> three(makeAbout());
    three->addHardwarePage(QStringLiteral("00a1b2c3"), QStringLiteral("1.0.1.0"), QStringLiteral("7240-AA"));
    three->addHardwarePage(QStringLiteral("00a1b2c4"), QStringLiteral("1.0.2.0"), QStringLiteral("7240-AB"));
    three->addHardwarePage(QStringLiteral("00a1b2c5"), QStringLiteral("1.1.0.0"), QStringLiteral("7240-AA"));
    three->next();
    save(*three, dir, QStringLiteral("about-3pages.png"));

    qtLicense licence;
    save(licence, dir, QStringLiteral("licence.png"));
}
