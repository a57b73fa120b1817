// The connection flow, scripted through its boxes against simulated systems.

#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

#include "kd7010.h"
#include "kd7010fp_fcenteraddress.h"
#include "kd7010fp_fcenteraddressfc.h"
#include "kd7010fp_fcselect.h"
#include "kd7240_fc.h"
#include "kdsim.h"
#include "modalscript.h"
#include "pickcard.h"

namespace {

const QString title = QStringLiteral("Vantix 7240 SFP: Select Function Card");
const QString askText = QStringLiteral("How to connect to 7240 Function Card?");
const QString nothingText = QStringLiteral("No 7240 Function Card found on your system.");
const QString unavailableText = QStringLiteral("Selected 7240 Function Card is unavailable.\nError: ");
const QString enterTitle = QStringLiteral("Vantix 7240 SFP: Enter Function Card Address");
const QString singularWarning
    = QStringLiteral("Please enter the resource descriptor and select the Function Card number.");
const QString pluralWarning
    = QStringLiteral("Please enter the resource descriptors and select the Function Card numbers.");

// A card object of a multi-card model whose init answers as told.
class ScriptedCard : public kd7010fp_genFC
{
public:
    explicit ScriptedCard(qint32 code) { modelCode = code; }
    bool checkModel(quint16 code) override { return code == modelCode; }
    QString getDescription() override { return QString(); }
    QString getCopyright() override { return QString(); }
    QString getSfpRevision() override { return QString(); }
    QString getDriverRevision() override { return QString(); }
    QString getErrorMessage(ViStatus) override { return errorText; }
    ViStatus initCard(
        const char *descriptor, quint16 *fcNumbers, quint16 idQuery, quint16 reset, ViSession *session) override
    {
        initDescriptors << QString::fromLatin1(descriptor);
        initNumbers = { fcNumbers[0], fcNumbers[1] };
        flags = { idQuery, reset };
        if (initStatus == 0)
            *session = 77;
        return initStatus;
    }
    ViStatus initAndStore(const char *, quint16 *, qint16, quint16, quint16, ViSession *) override
    {
        return VI_ERROR_NSUP_OPER;
    }
    ViStatus reinitCard(ViSession *) override { return VI_ERROR_NSUP_OPER; }
    ViStatus closeCard(ViSession) override { return 0; }

    ViStatus initStatus = 0;
    QString errorText;
    QStringList initDescriptors;
    QList<int> initNumbers;
    QList<int> flags;
};

QString fixture(const char *name) { return QStringLiteral(SFP_TEST_SYSTEMS "/") + QLatin1String(name); }

// Fills the address dialog's rows ("descriptor|number" each; the count is the
// number of rows given) and presses OK.
void enterRows(ModalScript &script, const QStringList &rows)
{
    script.act([rows](QWidget *w) {
        auto *dialog = qobject_cast<kd7010fp_fcEnterAddress *>(w);
        if (!dialog) {
            qWarning("expected the Enter Address dialog, got %s", w->metaObject()->className());
            w->close();
            return;
        }
        if (rows.size() > 1)
            dialog->countBox->setCurrentIndex(int(rows.size()) - 1);
        for (int r = 0; r < rows.size(); ++r) {
            const QStringList parts = rows.at(r).split(QLatin1Char('|'));
            dialog->rows[r]->descriptorBox->setEditText(parts.at(0));
            dialog->rows[r]->fcNumberBox->setCurrentIndex(parts.at(1).toInt());
        }
        dialog->accept();
    });
}

// Turns a step text into a script step: "rows:descriptor|n;descriptor|n",
// "select:k" (the k-th selectable card, then OK), "escape", else a button text.
void addStep(ModalScript &script, const QString &step)
{
    if (step.startsWith(QLatin1String("rows:"))) {
        enterRows(script, step.mid(5).split(QLatin1Char(';')));
    } else if (step.startsWith(QLatin1String("select:"))) {
        script.act(pickCard(step.mid(7).toInt()));
    } else if (step == QLatin1String("escape")) {
        script.escape();
    } else {
        script.answer(step);
    }
}

// What a seen box is known by in the tables: a message box by its text, a
// dialog by its title.
QStringList seenNames(const ModalScript &script)
{
    QStringList names;
    for (const SeenBox &box : script.seen)
        names << (box.text.isEmpty() ? box.title : box.text);
    return names;
}

} // namespace

class tst_Connect : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void askBox();
    void flow_data();
    void flow();
    void multiRowModel();
    void statusTextFallback();

private:
    std::unique_ptr<QTemporaryDir> profile;
    kd7240_fc card;
};

void tst_Connect::init()
{
    profile = std::make_unique<QTemporaryDir>();
    qputenv("ALLUSERSPROFILE", profile->path().toLocal8Bit());
}

void tst_Connect::cleanup() { kdsim::reset(); }

void tst_Connect::askBox()
{
    kd7010fp_fcSelect dialog(&card, 0);
    ModalScript script;
    script.act([](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        QCOMPARE(box->icon(), QMessageBox::Question);
        QVERIFY(box->parentWidget() == nullptr);
        QVERIFY(!box->windowIcon().isNull());
        QCOMPARE(box->defaultButton()->text(), QStringLiteral("Auto Find"));
        QStringList actions;
        for (QAbstractButton *b : box->buttons()) {
            if (box->buttonRole(b) == QMessageBox::ActionRole)
                actions << b->text();
        }
        QCOMPARE(actions, QStringList({ "Auto Find", "Run In Demo Mode", "Enter Address" }));
        QVERIFY(box->button(QMessageBox::Cancel));
        box->button(QMessageBox::Cancel)->click();
    });
    QVERIFY(!dialog.connectCard());
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen.first().title, title);
    QCOMPARE(script.seen.first().text, askText);
}

// Every transition of the flow: the system, the answers given box by box,
// the boxes seen (message text or dialog title; a prefix for the
// unavailable texts), the result and, for true, the outcome.
// clang-format off
void tst_Connect::flow_data()
{
    QTest::addColumn<QString>("system");   // fixture, or "" for the built-in system
    QTest::addColumn<QString>("fault");    // "call=status" or ""
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("descriptor");
    QTest::addColumn<int>("fcNumber");
    QTest::addColumn<int>("demoMode");
    QTest::addColumn<int>("initCalls");

    const QString none = fixture("search_othermodels.json");
    const QString one = fixture("search_one.json");
    const QString dflt;

    QTest::newRow("Ask: Escape") << dflt << "" << QStringList({"escape"}) << QStringList({askText}) << false << ""
                                 << 0 << 0 << 0;
    QTest::newRow("Ask: demo") << dflt << "" << QStringList({"Run In Demo Mode"}) << QStringList({askText}) << true
                               << "VXI0::1::INSTR" << 1 << 1 << 0;
    QTest::newRow("Search: one card connects at once")
        << one << "" << QStringList({"Auto Find"}) << QStringList({askText}) << true << "VXI0::4::INSTR" << 3 << 0
        << 1;
    QTest::newRow("Search: several cards, choose one")
        << dflt << "" << QStringList({"Auto Find", "select:1"}) << QStringList({askText, title}) << true
        << "VXI0::8::INSTR" << 1 << 0 << 1;
    QTest::newRow("Choose: cancelled ends the flow")
        << dflt << "" << QStringList({"Auto Find", "Cancel"}) << QStringList({askText, title}) << false << "" << 0
        << 0 << 0;
    QTest::newRow("NothingFound: Try Again asks again")
        << none << "" << QStringList({"Auto Find", "Try Again", "Cancel"})
        << QStringList({askText, nothingText, askText}) << false << "" << 0 << 0 << 0;
    QTest::newRow("NothingFound: demo") << none << "" << QStringList({"Auto Find", "Run In Demo Mode"})
                                        << QStringList({askText, nothingText}) << true << "VXI0::1::INSTR" << 1
                                        << 1 << 0;
    QTest::newRow("NothingFound: Cancel") << none << "" << QStringList({"Auto Find", "Cancel"})
                                          << QStringList({askText, nothingText}) << false << "" << 0 << 0 << 0;
    QTest::newRow("Address: Cancel asks again")
        << dflt << "" << QStringList({"Enter Address", "Cancel", "Cancel"})
        << QStringList({askText, enterTitle, askText}) << false << "" << 0 << 0 << 0;
    QTest::newRow("Address: one valid row")
        << dflt << "" << QStringList({"Enter Address", "rows:VXI0::8::INSTR|4"}) << QStringList({askText, enterTitle})
        << true << "VXI0::8::INSTR" << 4 << 0 << 1;
    QTest::newRow("Address: blanks around the descriptor")
        << dflt << "" << QStringList({"Enter Address", "rows: VXI0::8::INSTR \t|4"}) << QStringList({askText, enterTitle})
        << true << "VXI0::8::INSTR" << 4 << 0 << 1;
    QTest::newRow("Validate: no number, then fixed")
        << dflt << ""
        << QStringList({"Enter Address", "rows:VXI0::8::INSTR|0", "OK", "rows:VXI0::8::INSTR|1"})
        << QStringList({askText, enterTitle, singularWarning, enterTitle}) << true << "VXI0::8::INSTR" << 1 << 0 << 1;
    QTest::newRow("Validate: empty descriptor")
        << dflt << "" << QStringList({"Enter Address", "rows:|2", "OK", "Cancel", "Cancel"})
        << QStringList({askText, enterTitle, singularWarning, enterTitle, askText}) << false << "" << 0 << 0 << 0;
    QTest::newRow("Unavailable: Try Again asks again")
        << dflt << "" << QStringList({"Enter Address", "rows:VXI0::8::INSTR|2", "Try Again", "Cancel"})
        << QStringList({askText, enterTitle, unavailableText, askText}) << false << "" << 0 << 0 << 1;
    QTest::newRow("Unavailable: Cancel")
        << dflt << "" << QStringList({"Enter Address", "rows:VXI0::9::INSTR|1", "Cancel"})
        << QStringList({askText, enterTitle, unavailableText}) << false << "" << 0 << 0 << 1;
    QTest::newRow("Unavailable: warning status of init")
        << one << "kd7240_init=1073481729" << QStringList({"Auto Find", "Try Again", "Run In Demo Mode"})
        << QStringList({askText, unavailableText, askText}) << true << "VXI0::1::INSTR" << 1 << 1 << 1;
}
// clang-format on

void tst_Connect::flow()
{
    QFETCH(QString, system);
    QFETCH(QString, fault);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, boxes);
    QFETCH(bool, result);
    QFETCH(QString, descriptor);
    QFETCH(int, fcNumber);
    QFETCH(int, demoMode);
    QFETCH(int, initCalls);

    if (!system.isEmpty())
        QVERIFY(kdsim::loadSystemFile(system.toStdString()));
    if (!fault.isEmpty()) {
        const QStringList parts = fault.split(QLatin1Char('='));
        kdsim::addFault(parts.at(0).toStdString(), ViStatus(parts.at(1).toLongLong()), 1);
    }

    kd7010fp_fcSelect dialog(&card, 0);
    ModalScript script;
    for (const QString &step : steps)
        addStep(script, step);
    QCOMPARE(dialog.connectCard(), result);
    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QCOMPARE(script.pending(), 0);

    const QStringList seen = seenNames(script);
    QCOMPARE(seen.size(), boxes.size());
    for (int i = 0; i < boxes.size(); ++i)
        QVERIFY2(seen.at(i).startsWith(boxes.at(i)), qPrintable(seen.at(i)));
    for (const SeenBox &box : script.seen) {
        if (box.className == QLatin1String("QMessageBox") && !box.title.contains(QLatin1String("Warning")))
            QCOMPARE(box.title, title);
    }

    const std::vector<kdsim::Call> inits = kdsim::calls("kd7240_init");
    QCOMPARE(int(inits.size()), initCalls);
    if (!result)
        return;
    QCOMPARE(dialog.resourceDescriptor, descriptor);
    QCOMPARE(int(dialog.fcNumbers[0]), fcNumber);
    QCOMPARE(dialog.fcCount, 1);
    QCOMPARE(dialog.demoMode, demoMode);
    if (demoMode) {
        QCOMPARE(dialog.session, ViSession(0));
    } else {
        // The session the driver opened, on the card it was told.
        QVERIFY(dialog.session != 0);
        QCOMPARE(inits.back().status, 0);
        QVERIFY(QString::fromStdString(inits.back().args).contains(QStringLiteral("\"%1\"").arg(descriptor)));
        QVERIFY(kdsim::cardState(dialog.session).open);
    }
}

void tst_Connect::multiRowModel()
{
    ScriptedCard multi(0x6208);
    multi.initStatus = VI_ERROR_RSRC_NFOUND;
    multi.errorText = QStringLiteral("Resource not found");
    kd7010fp_fcSelect dialog(&multi, 0);
    ModalScript script;
    script.answer("Enter Address");
    enterRows(script, { "VXI0::8::INSTR|1", "VXI0::9::INSTR|0" });
    script.answer("OK");
    enterRows(script, { "VXI0::8::INSTR|1", "TCPIP0::10.0.0.5::INSTR|3" });
    script.answer("Cancel");
    QVERIFY(!dialog.connectCard());
    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));

    QCOMPARE(seenNames(script),
        QStringList({ "How to connect to 6208 Function Card?", "Vantix 6208 SFP: Enter Addresses of Function Cards",
            pluralWarning, "Vantix 6208 SFP: Enter Addresses of Function Cards",
            "At least one selected 6208 Function Card is unavailable.\nError: Resource not found" }));
    QCOMPARE(multi.initDescriptors, QStringList("VXI0::8::INSTR,TCPIP0::10.0.0.5::INSTR"));
    QCOMPARE(multi.initNumbers, QList<int>({ 1, 3 }));
    QCOMPARE(multi.flags, QList<int>({ 1, 1 }));
    QCOMPARE(dialog.fcCount, 2);

    // Once the card answers, the flow ends with both cards chosen.
    multi.initStatus = 0;
    ModalScript again;
    again.answer("Enter Address").answer("OK");
    QVERIFY(dialog.connectCard());
    QCOMPARE(dialog.resourceDescriptor, QStringLiteral("VXI0::8::INSTR,TCPIP0::10.0.0.5::INSTR"));
    QCOMPARE(dialog.fcCount, 2);
    QCOMPARE(int(dialog.fcNumbers[1]), 3);
    QCOMPARE(dialog.session, ViSession(77));
}

// When the driver has no text for a status, the carrier library's is shown.
void tst_Connect::statusTextFallback()
{
    kdsim::addFault("kd7240_error_message", VI_ERROR_NSUP_OPER);
    kd7010fp_fcSelect dialog(&card, 0);
    ModalScript script;
    script.answer("Enter Address");
    enterRows(script, { "VXI0::8::INSTR|2" });
    script.answer("Cancel");
    QVERIFY(!dialog.connectCard());
    QCOMPARE(script.seen.size(), 3);

    const std::vector<kdsim::Call> inits = kdsim::calls("kd7240_init");
    QCOMPARE(int(inits.size()), 1);
    QVERIFY(inits.back().status < 0);
    char buffer[KD7010_STATUS_TEXT_LEN] = {};
    getStatusText(inits.back().status, buffer);
    QVERIFY(buffer[0] != '\0');
    QCOMPARE(script.seen.at(2).text, unavailableText + QString::fromLatin1(buffer));
}

QTEST_MAIN(tst_Connect)
#include "tst_connect.moc"
