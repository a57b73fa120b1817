// Pictures of the panel itself, connected by Auto Find to the first VXI card
// of the simulated system: the generation tab idle and generating, the
// DAC/calibration tab and the About box with the card's identity. (The
// splash picture comes from shotsFrame.)
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <memory>

#include "kd7010fp_about.h"
#include "kd7010fp_app.h"
#include "kd7010fp_fcselect.h"
#include "kd7240_fc.h"
#include "kd7240fp_app.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_remote.h"
#include "kd7240fp_setup.h"
#include "shots.h"
#include <QChartView>
#include <QCheckBox>
#include <QHostAddress>
#include <QTcpSocket>
#include <QToolButton>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {

void saveWidget(QWidget *widget, const QString &dir, const QString &name)
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QString path = QDir(dir).filePath(name);
    if (!widget->grab().save(path))
        qWarning("could not write %s", qPrintable(path));
}

// Answers the connection flow as an operator would: "Auto Find", then the
// first VXI card in the select dialog (any card when there is none).
void answerConnection(QTimer &timer)
{
    QObject::connect(&timer, &QTimer::timeout, [] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *select = qobject_cast<kd7010fp_fcSelect *>(modal)) {
            QTreeWidgetItem *chosen = nullptr;
            for (QTreeWidgetItemIterator it(select->fcTree); *it; ++it) {
                if (!((*it)->flags() & Qt::ItemIsSelectable))
                    continue;
                const bool vxi = (*it)->data(1, Qt::StatusTipRole).toString().startsWith(QLatin1String("VXI"));
                if (!chosen || vxi)
                    chosen = *it;
                if (vxi)
                    break;
            }
            if (chosen) {
                select->fcTree->setCurrentItem(chosen);
                chosen->setSelected(true);
                select->okButton->click();
            }
        } else if (modal) {
            for (QAbstractButton *b : modal->findChildren<QAbstractButton *>())
                if (b->text().remove(QLatin1Char('&')) == QLatin1String("Auto Find"))
                    b->click();
        }
    });
    timer.start(20);
}

// The panel connected as the operator would, shown in the middle of the screen.
std::unique_ptr<kd7240fp_App> connectedPanel(kd7240_fc &card)
{
    QTimer answer;
    answerConnection(answer);
    auto panel = std::make_unique<kd7240fp_App>(&card);
    answer.stop();
    panel->adjustSize();
    centerOnScreen(panel.get());
    panel->show();
    return panel;
}

} // namespace

void shotsPanel(const QString &dir)
{
    kd7240_fc card;
    const std::unique_ptr<kd7240fp_App> shown = connectedPanel(card);
    kd7240fp_App &panel = *shown;

    // The operator's settings: a sine on channel 1, a triangle on channel 2,
    // five cycles after each trigger.
    panel.chan1->sineButton->click();
    panel.chan1->amplitudeBox->setValue(4);
    panel.chan2->triangleButton->click();
    panel.chan2->amplitudeBox->setValue(2.5);
    panel.chan2->offsetBox->setValue(1);
    panel.commonSettings->frequencyBox->setValue(2500);
    panel.commonSettings->startBox->setCurrentIndex(1);
    panel.commonSettings->stopBox->setCurrentIndex(1);
    emit panel.commonSettings->stopBox->activated(1);
    panel.commonSettings->cyclesBox->setValue(5);
    saveWidget(&panel, dir, QStringLiteral("panel-idle.png"));

    panel.startButton->click();
    saveWidget(&panel, dir, QStringLiteral("panel-generating.png"));
    panel.startButton->click();

    panel.tabs->setCurrentIndex(1);
    panel.dac1Box->setValue(2.5);
    panel.dac2Box->setValue(-1.25);
    saveWidget(&panel, dir, QStringLiteral("panel-dac.png"));

    // The preview: one period of both channels against the card's limits.
    panel.tabs->setCurrentWidget(panel.preview);
    saveWidget(&panel, dir, QStringLiteral("panel-preview.png"));
    panel.tabs->setCurrentIndex(0);

    // A frequency the card's clock cannot divide evenly.
    panel.commonSettings->frequencyBox->setValue(66667);
    saveWidget(panel.commonSettings, dir, QStringLiteral("readout-off.png"));
    panel.commonSettings->frequencyBox->setValue(2500);

    // Samples beyond the output range: marked in the preview, refused by Start.
    panel.chan1->amplitudeBox->setValue(8);
    panel.chan1->offsetBox->setValue(5);
    panel.tabs->setCurrentWidget(panel.preview);
    saveWidget(&panel, dir, QStringLiteral("panel-preview-beyond.png"));
    panel.tabs->setCurrentIndex(0);
    QTimer::singleShot(50, [&dir] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            saveWidget(box, dir, QStringLiteral("limits-warning.png"));
            for (QAbstractButton *b : box->findChildren<QAbstractButton *>())
                if (b->text().remove(QLatin1Char('&')) == QLatin1String("OK"))
                    b->click();
        }
    });
    panel.startButton->click();
    panel.chan1->amplitudeBox->setValue(4);
    panel.chan1->offsetBox->setValue(0);

    // A shape from a file on channel 2: a pulse that rings out, 500 samples.
    QTemporaryDir folder;
    QFile shape(folder.filePath(QStringLiteral("ringing-pulse.csv")));
    if (shape.open(QIODevice::WriteOnly)) {
        shape.write("volts\n");
        for (int i = 0; i < 500; ++i) {
            const double t = i / 500.0;
            shape.write(QByteArray::number(std::exp(-3 * t) * std::sin(2 * M_PI * 5 * t) + (i < 25 ? 0.6 : 0)) + '\n');
        }
        shape.close();
        panel.loadShapeFile(panel.chan2, shape.fileName());
        panel.chan2->amplitudeBox->setValue(3);
        panel.commonSettings->frequencyBox->setValue(1000);
        saveWidget(&panel, dir, QStringLiteral("panel-arbitrary.png"));
        panel.tabs->setCurrentWidget(panel.preview);
        saveWidget(&panel, dir, QStringLiteral("panel-preview-arbitrary.png"));
        panel.tabs->setCurrentIndex(0);
    }

    // A pair in quadrature: the same sine on both channels, channel 2 90° on.
    for (kd7240fp_chSet *group : { panel.chan1, panel.chan2 })
        if (group->waveType != kd7240fp::waveSine)
            group->sineButton->click();
    panel.chan1->amplitudeBox->setValue(2);
    panel.chan2->amplitudeBox->setValue(2);
    panel.chan2->offsetBox->setValue(0);
    panel.chan2->phaseBox->setValue(90);
    panel.commonSettings->frequencyBox->setValue(1000);
    panel.tabs->setCurrentWidget(panel.preview);
    saveWidget(&panel, dir, QStringLiteral("panel-preview-phase.png"));
    panel.tabs->setCurrentIndex(0);

    // Exact frequency: whole periods in one buffer play 66667 Hz, not 71428.57 Hz.
    panel.commonSettings->frequencyBox->setValue(66667);
    panel.commonSettings->stopBox->setCurrentIndex(0);
    emit panel.commonSettings->stopBox->activated(0);
    panel.commonSettings->exactBox->setChecked(true);
    saveWidget(panel.commonSettings, dir, QStringLiteral("readout-exact.png"));
    panel.commonSettings->exactBox->setChecked(false);
    panel.commonSettings->frequencyBox->setValue(1000);
    panel.tabs->setCurrentWidget(panel.preview);

    // Zoomed in with the wheel, the cross-hair on a sample.
    if (panel.preview->view) {
        QWidget *viewport = panel.preview->view->viewport();
        const QPointF at(viewport->width() * 0.3, viewport->height() * 0.5);
        for (int i = 0; i < 6; ++i) {
            QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewport, &wheel);
        }
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        saveWidget(&panel, dir, QStringLiteral("panel-preview-zoomed.png"));
        panel.preview->resetZoom();
    }
    panel.tabs->setCurrentIndex(0);

    // Modulation and the spectrum: AM of 50 % at 1 kHz on a 10 kHz sine on
    // channel 1, its sidebands beside the carrier; a triangle on channel 2
    // with its odd harmonics.
    panel.commonSettings->frequencyBox->setValue(10000);
    panel.chan1->setModulation(kd7240fp::waveSine, { kd7240fp::Modulation::AM, kd7240fp::waveSine, 1000, 50 });
    panel.chan2->phaseBox->setValue(0);
    panel.chan2->triangleButton->click();
    saveWidget(&panel, dir, QStringLiteral("panel-modulated.png"));
    panel.tabs->setCurrentWidget(panel.preview);
    if (panel.preview->spectrumButton) {
        panel.preview->spectrumButton->click();
        saveWidget(&panel, dir, QStringLiteral("panel-spectrum.png"));
        panel.preview->timeButton->click();
    }
    panel.tabs->setCurrentIndex(0);
    panel.chan1->setModulation(kd7240fp::waveSine, kd7240fp::Modulation());
    panel.commonSettings->frequencyBox->setValue(1000);

    // Remote control on, a client connected: the box under Reset Device and
    // the status line with the client's address.
    QString problem;
    if (panel.startRemote(0, {}, &problem)) {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, panel.remote->port());
        client.waitForConnected(3000);
        for (int i = 0; i < 20 && panel.remoteLabel->isHidden(); ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        saveWidget(&panel, dir, QStringLiteral("panel-remote.png"));
        client.disconnectFromHost();
        panel.remoteBox->click();
    }

    // A setup saved on a card with a wider range: what was brought within this one's.
    kd7240fp::Settings wide = panel.settings();
    wide.channel[0].amplitude = 12;
    wide.channel[1].offset = -11;
    const QString setupPath = folder.filePath(QStringLiteral("bench-3.kd7240"));
    QString error;
    if (kd7240fp::writeSetupFile(setupPath, wide, &error)) {
        QTimer::singleShot(50, [&dir] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                saveWidget(box, dir, QStringLiteral("setup-fitted.png"));
                for (QAbstractButton *b : box->findChildren<QAbstractButton *>())
                    if (b->text().remove(QLatin1Char('&')) == QLatin1String("OK"))
                        b->click();
            }
        });
        panel.openSetupFile(setupPath);
    }

    if (auto *about = panel.findChild<kd7010fp_About *>()) {
        about->show();
        saveWidget(about, dir, QStringLiteral("about-card.png"));
        about->hide();
    }
    panel.hide();
}

void shotsPanelDoubleDensity(const QString &dir)
{
    kd7240_fc card;
    const std::unique_ptr<kd7240fp_App> shown = connectedPanel(card);
    kd7240fp_App &panel = *shown;
    panel.chan1->sineButton->click();
    panel.chan1->amplitudeBox->setValue(4);
    panel.chan2->squareButton->click();
    panel.chan2->amplitudeBox->setValue(2);
    saveWidget(&panel, dir, QStringLiteral("panel-200percent.png"));
    panel.hide();
}
