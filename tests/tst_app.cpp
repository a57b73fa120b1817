// The panel window base: icons, start buttons, switches, texts, message
// boxes, the exit question and the placing on screen.
#include <QtTest>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>

#include <cstdio>

#include "drawnpicture.h"
#include "kd7010fp_app.h"
#include "kd7010fp_icons.h"
#include "kd7010fp_led.h"
#include "modalscript.h"

namespace {

const char *const childArgument = "--error-message-child";

// "key X" presses key X (Return, Escape or a letter) on the box; anything
// else clicks the button of that text.
void answerBox(QWidget *box, const QString &answer)
{
    if (!answer.startsWith(QLatin1String("key "))) {
        ModalScript::clickButton(box, answer);
        return;
    }
    const QString name = answer.mid(4);
    ModalScript::pressKey(box, name == QLatin1String("Return") ? Qt::Key_Return
            : name == QLatin1String("Escape")                  ? Qt::Key_Escape
                                                               : QKeySequence::fromString(name)[0].key());
}

const QString startSingleHelp = QStringLiteral("Starts the single-shot data acquisition");
const QString startSingleAgainHelp = QStringLiteral("Starts the Single-Shot Data Acquisition");
const QString breakSingleHelp = QStringLiteral("Breaks the Single-Shot Data Acquisition");
const QString startContHelp = QStringLiteral("<html>Starts the repetitive data acquisition (or continuous data "
                                             "acquisition, when file storage option is turned on)</html>");
const QString stopContHelp = QStringLiteral("Stops the Data Acquisition process");

// Opens the protected widgets to the tests.
class Panel : public kd7010fp_app
{
public:
    using kd7010fp_app::activeLed;
    using kd7010fp_app::autoscaleButton;
    using kd7010fp_app::autoscaleLabel;
    using kd7010fp_app::fcLabel;
    using kd7010fp_app::helpButton;
    using kd7010fp_app::identButton;
    using kd7010fp_app::identLabel;
    using kd7010fp_app::logoLabel;
    using kd7010fp_app::panelArea;
    using kd7010fp_app::startButton;
    using kd7010fp_app::startContButton;
    using kd7010fp_app::systemLabel;
    using kd7010fp_app::titleLabel;
};

QImage iconImage(const QIcon &icon, QSize size)
{
    return icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Which of the three button icons a 12 x 12 icon is, told by two pixels.
QString iconKind(const QIcon &icon)
{
    const QImage image = iconImage(icon, QSize(12, 12));
    if (image.pixel(0, 1) == qRgb(0x80, 0, 0))
        return QStringLiteral("stop");
    if (image.pixel(0, 1) == qRgb(0, 0x80, 0))
        return QStringLiteral("continuous");
    if (qAlpha(image.pixel(0, 1)) == 0 && image.pixel(2, 0) == qRgb(0, 0x80, 0))
        return QStringLiteral("single");
    return QStringLiteral("?");
}

} // namespace

class tst_app : public QObject
{
    Q_OBJECT

private slots:
    void icons_data();
    void icons();
    void startButtons_data();
    void startButtons();
    void switches_data();
    void switches();
    void optionalWidgets();
    void statusBox();
    void panelLayoutGoesToContentArea();
    void messageBoxes_data();
    void messageBoxes();
    void errorBoxKeys_data();
    void errorBoxKeys();
    void exitQuestion_data();
    void exitQuestion();
    void questionBox_data();
    void questionBox();
    void centerOnScreen_data();
    void centerOnScreen();
    void placedOnScreenAtConstruction();
};

// The icon buttons show their pictures, at their own size, where the
// operator sees them: What's This, the start buttons, Stop in place of a
// start that runs. The connection dialogs and the window share one icon.
// The start and stop pictures row by row, '/' between rows: '#' their colour.
void tst_app::icons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("rows"); // empty: checked by its colours alone
    QTest::addColumn<QList<QRgb>>("colours");
    const QList<QRgb> green { qRgb(0, 0x80, 0) };
    // clang-format off
    QTest::newRow("What's This") << "help" << QSize(20, 17) << QString()
                                 << QList<QRgb> { qRgb(0, 0, 0), qRgb(0xff, 0xff, 0xff) };
    QTest::newRow("single-shot start") << "start" << QSize(12, 12)
        << "..#........./..##......../..###......./..####....../..#####...../..######..../"
           "..######..../..#####...../..####....../..###......./..##......../..#........." << green;
    QTest::newRow("continuous start") << "continuous" << QSize(12, 12)
        << "#.....#...../##....##..../###...###.../####..####../#####.#####./############/"
           "############/#####.#####./####..####../###...###.../##....##..../#.....#....." << green;
    QTest::newRow("stop") << "stop" << QSize(12, 12)
        << "............/############/############/############/############/############/"
           "############/############/############/############/############/............"
        << QList<QRgb> { qRgb(0x80, 0, 0) };
    // clang-format on
}

void tst_app::icons()
{
    QFETCH(QString, button);
    QFETCH(QSize, size);
    QFETCH(QString, rows);
    QFETCH(QList<QRgb>, colours);
    Panel panel;
    QPushButton *b = button == QLatin1String("help") ? panel.helpButton
        : button == QLatin1String("continuous")      ? panel.startContButton
                                                     : panel.startButton;
    const QImage before = iconImage(b->icon(), size);
    if (button == QLatin1String("stop"))
        b->toggle();
    QVERIFY(b->icon().availableSizes().contains(size));
    const QImage picture = iconImage(b->icon(), size);
    QCOMPARE(picture.size(), size);
    if (!rows.isEmpty())
        QCOMPARE(picture, pictureFromRows(rows, { { QLatin1Char('#'), colours.value(0) } }));
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            QVERIFY(qAlpha(picture.pixel(x, y)) == 0 || colours.contains(picture.pixel(x, y) | 0xff000000u));
    QVERIFY(showsPicture(b, picture));
    QCOMPARE(picture != before, button == QLatin1String("stop"));
    QCOMPARE(iconImage(panel.windowIcon(), QSize(16, 16)),
        connectIconPixmap().toImage().convertToFormat(QImage::Format_ARGB32));
}

void tst_app::startButtons_data()
{
    QTest::addColumn<QStringList>("steps");
    // Expected afterwards: checked/enabled of both buttons as "C"/"E" flags.
    QTest::addColumn<QString>("single");
    QTest::addColumn<QString>("continuous");
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<QString>("singleHelp");
    QTest::addColumn<QString>("contHelp");
    QTest::addColumn<QString>("singleIcon");
    QTest::addColumn<QString>("contIcon");

    QTest::newRow("ready") << QStringList() << "E" << "E" << QStringList() << startSingleHelp << startContHelp
                           << "single" << "continuous";
    QTest::newRow("single running") << QStringList{"single"} << "CE" << "" << QStringList{"startSingle"}
                                    << breakSingleHelp << startContHelp << "stop" << "continuous";
    QTest::newRow("single released: waiting")
        << QStringList{"single", "single"} << "" << "" << QStringList{"startSingle", "breakSingle"}
        << startSingleAgainHelp << startContHelp << "single" << "continuous";
    QTest::newRow("waiting, enableStart")
        << QStringList{"single", "single", "enableStart"} << "E" << "E" << QStringList{"startSingle", "breakSingle"}
        << startSingleAgainHelp << startContHelp << "single" << "continuous";
    QTest::newRow("continuous running") << QStringList{"cont"} << "" << "CE" << QStringList{"startCont"}
                                        << startSingleHelp << stopContHelp << "single" << "stop";
    QTest::newRow("continuous released: waiting")
        << QStringList{"cont", "cont"} << "" << "" << QStringList{"startCont", "stopCont"} << startSingleHelp
        << startContHelp << "single" << "continuous";
    QTest::newRow("single, userBreak") << QStringList{"single", "userBreak"} << "E" << "E"
                                       << QStringList{"startSingle", "breakSingle"} << startSingleAgainHelp
                                       << startContHelp << "single" << "continuous";
    QTest::newRow("continuous, userBreak") << QStringList{"cont", "userBreak"} << "E" << "E"
                                           << QStringList{"startCont", "stopCont"} << startSingleHelp
                                           << startContHelp << "single" << "continuous";
    QTest::newRow("userBreak when ready emits nothing")
        << QStringList{"userBreak"} << "E" << "E" << QStringList() << startSingleHelp << startContHelp << "single"
        << "continuous";
    QTest::newRow("continuous blocked while single runs")
        << QStringList{"single", "cont"} << "CE" << "" << QStringList{"startSingle"} << breakSingleHelp
        << startContHelp << "stop" << "continuous";
}

void tst_app::startButtons()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, single);
    QFETCH(QString, continuous);
    QFETCH(QStringList, emitted);
    QFETCH(QString, singleHelp);
    QFETCH(QString, contHelp);
    QFETCH(QString, singleIcon);
    QFETCH(QString, contIcon);

    Panel panel;
    QStringList seen;
    connect(&panel, &kd7010fp_app::startSingle, this, [&] { seen << "startSingle"; });
    connect(&panel, &kd7010fp_app::breakSingle, this, [&] { seen << "breakSingle"; });
    connect(&panel, &kd7010fp_app::startCont, this, [&] { seen << "startCont"; });
    connect(&panel, &kd7010fp_app::stopCont, this, [&] { seen << "stopCont"; });

    // The operator's clicks go through click(), which a disabled button ignores.
    for (const QString &step : steps) {
        if (step == "single")
            panel.startButton->click();
        else if (step == "cont")
            panel.startContButton->click();
        else if (step == "userBreak")
            panel.userBreak();
        else if (step == "enableStart")
            panel.enableStart();
    }

    auto flags = [](QPushButton *b) {
        return QString(b->isChecked() ? "C" : "") + (b->isEnabled() ? "E" : "");
    };
    QCOMPARE(flags(panel.startButton), single);
    QCOMPARE(flags(panel.startContButton), continuous);
    QCOMPARE(seen, emitted);
    QCOMPARE(panel.startButton->toolTip(), singleHelp);
    QCOMPARE(panel.startButton->whatsThis(), singleHelp);
    QCOMPARE(panel.startContButton->toolTip(), contHelp);
    QCOMPARE(panel.startContButton->whatsThis(), contHelp);
    QCOMPARE(iconKind(panel.startButton->icon()), singleIcon);
    QCOMPARE(iconKind(panel.startContButton->icon()), contIcon);
}

void tst_app::switches_data()
{
    QTest::addColumn<bool>("autoscale");
    QTest::addColumn<bool>("initiallyChecked");
    QTest::addColumn<QString>("initialText");
    QTest::addColumn<QString>("toggledText");

    QTest::newRow("Autoscale") << true << true << "ON" << "OFF";
    QTest::newRow("Identify") << false << false << "OFF" << "ON";
}

void tst_app::switches()
{
    QFETCH(bool, autoscale);
    QFETCH(bool, initiallyChecked);
    QFETCH(QString, initialText);
    QFETCH(QString, toggledText);

    Panel panel;
    QPushButton *button = autoscale ? panel.autoscaleButton : panel.identButton;
    QSignalSpy spy(&panel, autoscale ? &kd7010fp_app::autoscaleToggled : &kd7010fp_app::identToggled);
    QCOMPARE(button->isChecked(), initiallyChecked);
    QCOMPARE(button->text(), initialText);

    button->click();
    QCOMPARE(button->text(), toggledText);
    button->click();
    QCOMPARE(button->text(), initialText);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toBool(), !initiallyChecked);
    QCOMPARE(spy.at(1).at(0).toBool(), initiallyChecked);
}

void tst_app::optionalWidgets()
{
    Panel panel;
    const QList<QWidget *> optional{panel.autoscaleLabel, panel.autoscaleButton, panel.identLabel,
                                    panel.identButton,    panel.startButton,     panel.startContButton};
    for (QWidget *w : optional)
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    for (const char *name : {"resetButton", "helpButton", "aboutButton", "closeButton"})
        QVERIFY2(!panel.findChild<QWidget *>(name)->isHidden(), name);

    panel.showIdentify(true);
    QVERIFY(!panel.identLabel->isHidden() && !panel.identButton->isHidden());
    QVERIFY(panel.autoscaleButton->isHidden());
    panel.showAutoscale(true);
    QVERIFY(!panel.autoscaleLabel->isHidden() && !panel.autoscaleButton->isHidden());
    QCOMPARE(panel.size(), QSize(800, 600));
    panel.showIdentify(false);
    QVERIFY(panel.identLabel->isHidden() && panel.identButton->isHidden());
}

void tst_app::statusBox()
{
    Panel panel;
    panel.setSystemLabel(QStringLiteral("Slot 5"), QStringLiteral("which module"));
    panel.setFcLabel(QStringLiteral("FC 2"), QStringLiteral("which card"));
    panel.setSystemLabel(QStringLiteral("Slot 6"), QString());
    panel.setFcLabel(QStringLiteral("FC 3"), QString());
    QCOMPARE(panel.systemLabel->text(), QStringLiteral("Slot 6"));
    QCOMPARE(panel.systemLabel->whatsThis(), QStringLiteral("which module"));
    QCOMPARE(panel.fcLabel->text(), QStringLiteral("FC 3"));
    QCOMPARE(panel.fcLabel->whatsThis(), QStringLiteral("which card"));

    panel.setHeaderText(QStringLiteral("<html>Vantix 7240</html>"));
    QCOMPARE(panel.titleLabel->text(), QStringLiteral("<html>Vantix 7240</html>"));

    // The right-hand logo: VXI until switched to LXI, and LXI for good.
    const QImage vxi = QImage(QStringLiteral(":/vxi-logo.bmp"));
    const QImage lxi = QImage(QStringLiteral(":/lxi-logo.bmp"));
    auto logo = [&] { return panel.logoLabel->pixmap().toImage().convertToFormat(vxi.format()); };
    QCOMPARE(logo(), vxi);
    panel.showLxiLogo(false);
    QCOMPARE(logo(), vxi);
    panel.showLxiLogo(true);
    QCOMPARE(logo(), lxi.convertToFormat(vxi.format()));
    panel.showLxiLogo(false);
    QCOMPARE(logo(), lxi.convertToFormat(vxi.format()));

    // The "Active" LED is lit in real mode only.
    auto ledCentre = [&] {
        panel.activeLed->resize(panel.activeLed->minimumSizeHint());
        const int h = QFontMetrics(panel.activeLed->font()).height();
        return QColor(panel.activeLed->grab().toImage().pixel(2 + h / 2, h / 2));
    };
    QVERIFY(ledCentre() != QColor(Qt::green));
    panel.setDemoMode(false);
    QCOMPARE(ledCentre(), QColor(Qt::green));
    panel.setDemoMode(true);
    QCOMPARE(ledCentre(), panel.activeLed->palette().color(QPalette::Window));
}

void tst_app::panelLayoutGoesToContentArea()
{
    Panel panel;
    QLayout *windowLayout = panel.layout();
    QVERIFY(windowLayout);
    auto *content = new QVBoxLayout;
    panel.setPanelLayout(content);
    QCOMPARE(panel.layout(), windowLayout);
    QCOMPARE(panel.panelArea->layout(), content);
}

void tst_app::messageBoxes_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("answer");

    QTest::newRow("info") << "info" << "Vantix  SFP Info message" << "all is well" << QStringList{"OK"} << "OK";
    QTest::newRow("warning") << "warning" << "Vantix  SFP Warning message" << "careful" << QStringList{"OK"}
                             << "OK";
    QTest::newRow("error answered No returns")
        << "error" << "Vantix  SFP Error message" << "it broke\nDo you want to exit?" << QStringList{"No", "Yes"}
        << "No";
}

void tst_app::messageBoxes()
{
    QFETCH(QString, operation);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    QFETCH(QString, answer);

    ModalScript script;
    script.answer(answer);
    if (operation == "info")
        kd7010fp_app::infoMessage(QStringLiteral("all is well"));
    else if (operation == "warning")
        kd7010fp_app::warningMessage(QStringLiteral("careful"));
    else
        kd7010fp_app::errorMessage(QStringLiteral("it broke"));

    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen.first().title, title);
    QCOMPARE(script.seen.first().text, text);
    QStringList seenButtons = script.seen.first().buttons;
    seenButtons.sort();
    QCOMPARE(seenButtons, buttons);
}

void tst_app::errorBoxKeys_data()
{
    QTest::addColumn<QString>("answer"); // a button text, or a key
    QTest::addColumn<bool>("exits");

    QTest::newRow("Yes") << "Yes" << true;
    QTest::newRow("Y") << "key Y" << true;
    // A reflexive Return must not end the program while the card runs on.
    QTest::newRow("Return") << "key Return" << false;
    QTest::newRow("Escape") << "key Escape" << false;
    QTest::newRow("N") << "key N" << false;
}

void tst_app::errorBoxKeys()
{
    // An exit ends the process on the spot: run the box in a child.
    QFETCH(QString, answer);
    QFETCH(bool, exits);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(childArgument), answer});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), exits ? 0 : 3);
    QCOMPARE(QString::fromLatin1(child.readAllStandardOutput()).trimmed(), QStringLiteral("Vantix  SFP Error message"));
}

void tst_app::exitQuestion_data()
{
    QTest::addColumn<QString>("answer"); // a button text, or "Escape"
    QTest::addColumn<bool>("closes");

    QTest::newRow("Yes") << "Yes" << true;
    QTest::newRow("No") << "No" << false;
    // The operator asked to close: Return confirms, Y and N answer directly.
    QTest::newRow("Return") << "key Return" << true;
    QTest::newRow("Y") << "key Y" << true;
    QTest::newRow("N") << "key N" << false;
    QTest::newRow("Escape") << "key Escape" << false;
}

void tst_app::exitQuestion()
{
    QFETCH(QString, answer);
    QFETCH(bool, closes);

    Panel panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    ModalScript script;
    script.act([answer](QWidget *box) { answerBox(box, answer); });

    auto *closeButton = panel.findChild<QPushButton *>("closeButton");
    closeButton->click();

    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen.first().title, QStringLiteral("Vantix  SFP"));
    QCOMPARE(script.seen.first().text, QStringLiteral("Do you really want to exit?"));
    QCOMPARE(script.seen.first().buttons, (QStringList{"Yes", "No"}));
    QCOMPARE(panel.isVisible(), !closes);
}

void tst_app::questionBox_data()
{
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("escapeButton");
    QTest::addColumn<QString>("action"); // a button text, "Escape" or "reject"
    QTest::addColumn<QString>("expectedDefault");
    QTest::addColumn<int>("result");

    const QStringList three{"Search", "Enter Address", "Cancel"};
    QTest::newRow("first") << three << 0 << 2 << "Search" << "Search" << 0;
    QTest::newRow("last") << three << 1 << -1 << "Cancel" << "Enter Address" << 2;
    QTest::newRow("Escape gives the escape button") << three << 0 << 2 << "Escape" << "Search" << 2;
    QTest::newRow("closed without a click") << three << -1 << -1 << "reject" << "" << -1;
    QTest::newRow("empty text keeps the numbering") << QStringList{"A", "", "C"} << 2 << 0 << "C" << "C" << 2;
}

void tst_app::questionBox()
{
    QFETCH(QStringList, buttons);
    QFETCH(int, defaultButton);
    QFETCH(int, escapeButton);
    QFETCH(QString, action);
    QFETCH(QString, expectedDefault);
    QFETCH(int, result);

    QString seenDefault = QStringLiteral("(not seen)");
    ModalScript script;
    script.act([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        seenDefault = box->defaultButton() ? box->defaultButton()->text() : QString();
        if (action == "reject") {
            box->reject();
        } else if (action == "Escape") {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(box, &press);
        } else {
            for (QAbstractButton *b : box->buttons())
                if (b->text() == action)
                    b->click();
        }
    });
    const int answer = kd7010fp_app::questionBox(nullptr, QMessageBox::Question, QStringLiteral("title"),
                                                 QStringLiteral("text"), buttons, defaultButton, escapeButton);
    QCOMPARE(answer, result);
    QCOMPARE(seenDefault, expectedDefault);
    QStringList nonEmpty = buttons;
    nonEmpty.removeAll(QString());
    QCOMPARE(script.seen.first().buttons, nonEmpty);
}

void tst_app::centerOnScreen_data()
{
    // The window's size as a difference from the available area's size.
    QTest::addColumn<QSize>("difference");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("smaller than the screen") << QSize(-500, -400) << QPoint(250, 200);
    QTest::newRow("odd difference truncates") << QSize(-501, -401) << QPoint(250, 200);
    QTest::newRow("larger: negative, truncated toward zero") << QSize(201, 101) << QPoint(-100, -50);
}

void tst_app::centerOnScreen()
{
    QFETCH(QSize, difference);
    QFETCH(QPoint, expected);

    const QRect available = QGuiApplication::screens().value(0)->availableGeometry();
    const QSize size = available.size() + difference;
    QWidget window;
    window.setGeometry(QRect(QPoint(5, 7), size));
    ::centerOnScreen(&window);
    QCOMPARE(window.geometry(), QRect(expected, size));
}

void tst_app::placedOnScreenAtConstruction()
{
    Panel panel;
    const QRect available = QGuiApplication::screens().value(0)->availableGeometry();
    const QRect g = panel.geometry();
    QCOMPARE(g.topLeft(), QPoint((available.width() - g.width()) / 2, (available.height() - g.height()) / 2));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc > 2 && qstrcmp(argv[1], childArgument) == 0) {
        // Print the box's title (left in the C stream's buffer on purpose:
        // the exit must not lose it) and answer as told. Reaching the return
        // below means the process went on.
        ModalScript script;
        const QString answer = QString::fromLatin1(argv[2]);
        script.act([answer](QWidget *box) {
            std::printf("%s\n", qPrintable(box->windowTitle()));
            answerBox(box, answer);
        });
        kd7010fp_app::errorMessage(QStringLiteral("fatal"));
        return 3;
    }
    tst_app test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app.moc"
