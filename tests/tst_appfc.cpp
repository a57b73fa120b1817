// The function-card panel base as the operator meets it: connected by Auto
// Find, by address or in demo mode, and what the window then shows.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "kd7010.h"
#include "kd7010fp_about.h"
#include "kd7010fp_appfc.h"
#include "kd7010fp_fcenteraddress.h"
#include "kd7010fp_fcenteraddressfc.h"
#include "kd7240_fc.h"
#include "modalscript.h"
#include "panelfixture.h"

namespace {

class AppFCPeek : public kd7010fp_AppFC
{
public:
    using kd7010fp_app::activeLed;
    using kd7010fp_app::fcLabel;
    using kd7010fp_app::systemLabel;
    using kd7010fp_AppFC::kd7010fp_AppFC;
};

// Fills the first row of the Enter Address dialog and presses OK.
void enterAddress(ModalScript &script, const QString &descriptor, int fcNumber)
{
    script.act([descriptor, fcNumber](QWidget *dialog) {
        auto *address = qobject_cast<kd7010fp_fcEnterAddress *>(dialog);
        if (!address) {
            static_cast<QDialog *>(dialog)->reject();
            return;
        }
        address->rows[0]->descriptorBox->setEditText(descriptor);
        address->rows[0]->fcNumberBox->setCurrentIndex(fcNumber);
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            if (b->text().remove(QLatin1Char('&')) == QLatin1String("OK")) {
                b->click();
                return;
            }
    });
}

} // namespace

class tst_appfc : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void connects_data();
    void connects();
    void aboutShowsCardAndLibraries();
    void startDemoAsksNothing();

private:
    kd7240_fc card;
};

void tst_appfc::init() { kdsim::reset(); }

void tst_appfc::connects_data()
{
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("fc");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("systemLine");
    QTest::addColumn<QString>("fcLine");
    QTest::addColumn<bool>("real");
    QTest::addColumn<bool>("lxi");

    const QString plain = QStringLiteral("Vantix 7240 Soft Front Panel");
    QTest::newRow("VXI by Auto Find") << "panel_vxi.json"
                                      << "Auto Find" << QString() << 0 << plain << "Slot 5"
                                      << "FC 2" << true << false;
    QTest::newRow("VXI by address") << "panel_vxi.json"
                                    << "Enter Address"
                                    << "VXI0::8::INSTR" << 2 << plain << "Slot 5"
                                    << "FC 2" << true << false;
    QTest::newRow("LXI by Auto Find") << "panel_lxi.json"
                                      << "Auto Find" << QString() << 0 << plain + ": sfp-lxi-7"
                                      << "inst0"
                                      << "FC 1" << true << true;
    QTest::newRow("LXI without host name") << "panel_lxi_nohost.json"
                                           << "Auto Find" << QString() << 0 << plain << "inst3"
                                           << "FC 1" << true << true;
    QTest::newRow("demo") << "panel_vxi.json"
                          << "Run In Demo Mode" << QString() << 0 << plain << QString() << QString() << false << false;
}

void tst_appfc::connects()
{
    QFETCH(QString, system);
    QFETCH(QString, how);
    QFETCH(QString, address);
    QFETCH(int, fc);
    QVERIFY(loadTestSystem(system.toLatin1().constData()));

    ModalScript script;
    script.answer(how);
    if (how == QLatin1String("Enter Address"))
        enterAddress(script, address, fc);
    std::unique_ptr<PanelPeek> panel(new PanelPeek(&card));
    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QCOMPARE(script.pending(), 0);

    QTEST(panel->windowTitle(), "title");
    QTEST(panel->systemLabel->text(), "systemLine");
    QTEST(panel->fcLabel->text(), "fcLine");
    QFETCH(bool, real);
    QFETCH(bool, lxi);
    QCOMPARE(panel->demoMode, real ? 0 : 1);
    QCOMPARE(panel->session != 0, real);
    QCOMPARE(panel->lxiMode, lxi);
    QCOMPARE(ledLit(panel->activeLed), real);
    QVERIFY(samePicture(panel->logoLabel, lxi ? QStringLiteral(":/lxi-logo.bmp") : QStringLiteral(":/vxi-logo.bmp")));
    QCOMPARE(panel->systemLabel->whatsThis(),
        lxi ? QStringLiteral("Shows which LXI module is connected to the Soft Front Panel")
            : QStringLiteral("Shows which VXI module is connected to the Soft Front Panel"));
    QCOMPARE(panel->titleLabel->text(),
        QStringLiteral("<html>Vantix 7240<br><font size='2'>2-Channel, 1MHz Fast-DAC/AWG Function Card"
                       "</font></html>"));

    // Destroying the window closes a real session, and nothing in demo mode.
    const ViSession session = panel->session;
    kdsim::clearCalls();
    panel.reset();
    QCOMPARE(driverCalls(), real ? QStringList { QStringLiteral("kd7240_close") } : QStringList());
    if (real) {
        QCOMPARE(callArgs(kdsim::calls("kd7240_close").front()).value(QLatin1String("session")).toInteger(),
            qint64(session));
        QVERIFY(!kdsim::cardState(session).open);
    }
}

void tst_appfc::aboutShowsCardAndLibraries()
{
    QVERIFY(loadTestSystem("panel_vxi.json"));
    ModalScript script;
    script.answer(QStringLiteral("Auto Find"));
    std::unique_ptr<PanelPeek> panel(new PanelPeek(&card));
    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));

    char common[KD7010_REVISION_LEN] = {};
    getCommonRevision(common);
    kd7010fp_About *about = panel->aboutDialog;
    QVERIFY(about);
    QCOMPARE(about->parentWidget(), panel.get());
    QCOMPARE(about->windowTitle(), QStringLiteral("About Vantix 7240 Soft Front Panel"));
    const QStringList expected = { QString::fromLatin1(common), card.getDriverRevision(), QStringLiteral("4.3.2.10269"),
        QStringLiteral("7240-AB"), QStringLiteral("2.1.0.3"), QStringLiteral("00001a2b") };
    QVERIFY(!expected.at(0).isEmpty());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(about->valueLabels[i].text(), expected.at(i));
    QCOMPARE(about->hardwarePages.size(), size_t(1));

    QVERIFY(!about->isVisible());
    panel->aboutButton->click();
    QVERIFY(about->isVisible());
    about->hide();
}

void tst_appfc::startDemoAsksNothing()
{
    ModalScript script;
    script.answer(QStringLiteral("Cancel"));
    {
        AppFCPeek panel(&card, 0, true);
        QTest::qWait(20);
        QCOMPARE(script.seen.size(), 0);
        QCOMPARE(panel.demoMode, 1);
        QCOMPARE(panel.session, ViSession(0));
        QCOMPARE(panel.fcCount, 0);
        QVERIFY(std::all_of(std::begin(panel.fcNumbers), std::end(panel.fcNumbers), [](int n) { return n == 0; }));
        QCOMPARE(panel.windowTitle(), QStringLiteral("Vantix 7240 Soft Front Panel"));
        QCOMPARE(panel.systemLabel->text(), QString());
        QCOMPARE(panel.fcLabel->text(), QString());
        QVERIFY(!ledLit(panel.activeLed));
        kdsim::clearCalls();
    }
    QCOMPARE(driverCalls(), QStringList());
}

QTEST_MAIN(tst_appfc)
#include "tst_appfc.moc"
