// Start-up of the 7240 panel: the splash stays up while the connection flow
// runs inside the window's construction; the window is shown, centred, once
// a card is open or demo mode was chosen.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QResource>
#include <QSplashScreen>
#include <QTimer>
#include <QtEndian>
#include <cstdio>
#include <memory>

#include "kd7010fp_app.h"
#include "kd7010fp_fcenteraddressfc.h"
#include "kd7010fp_quitsignal.h"
#include "kd7010fp_splashlabel.h"
#include "kd7240_fc.h"
#include "kd7240fp_app.h"

namespace {

struct Options
{
    int exitStatus = -1; // >= 0: end with it at once
    QString setup; // a setup to apply after connecting
    bool restore = true; // apply the settings of the last run
    kd7010fp_connectRequest connect; // how to reach the card before anyone is asked
    bool start = false; // press Start once connected
    // Remote control for this run: its port (0: off) and where it listens.
    quint16 remotePort = 0;
    QList<QHostAddress> remoteAddresses;
};

} // namespace

// --help and --version are answered before any window or display exists.
static Options answerCommandLine(int argc, char *argv[])
{
    Options options;
    if (argc < 2)
        return options;
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kd7240fp"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SFP_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Soft front panel of the Vantix 7240 waveform generator card.\n"
                       "Without options it starts, asks how to connect to the card and takes up the settings\n"
                       "it had when it was last closed."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption setup(QStringLiteral("setup"),
        QStringLiteral("Applies the setup FILE (saved with Save Setup) once the card is connected."),
        QStringLiteral("FILE"));
    const QCommandLineOption noRestore(QStringLiteral("no-restore"),
        QStringLiteral("Starts with the default settings instead of those the panel had when it last closed."));
    const QCommandLineOption connect(QStringLiteral("connect"),
        QStringLiteral("Connects to the card at the VISA resource DESCRIPTOR (with --card) instead of asking how to "
                       "connect; when it does not open, says why and asks."),
        QStringLiteral("DESCRIPTOR"));
    const QCommandLineOption cardNumber(QStringLiteral("card"),
        QStringLiteral("The function-card number N on that resource's carrier (default 1)."), QStringLiteral("N"));
    const QCommandLineOption demo(
        QStringLiteral("demo"), QStringLiteral("Runs in demo mode, without a card, instead of asking how to connect."));
    const QCommandLineOption start(QStringLiteral("start"),
        QStringLiteral("Presses Start once the card is connected and the settings are applied."));
    const QCommandLineOption remote(QStringLiteral("remote"),
        QStringLiteral("Answers SCPI commands (remote control) for this run: on TCP port 5025 of this computer (VISA "
                       "resource TCPIP0::host::5025::SOCKET) and over VXI-11 (TCPIP0::host::inst0::INSTR, found "
                       "through rpcbind, which must be running). Whoever reaches the ports controls the card's "
                       "outputs."));
    const QCommandLineOption remotePort(QStringLiteral("remote-port"),
        QStringLiteral("Remote control on TCP port PORT instead of 5025."), QStringLiteral("PORT"));
    const QCommandLineOption remoteAddress(QStringLiteral("remote-address"),
        QStringLiteral("Remote control listens at ADDRESS (for example 0.0.0.0: every network of this computer) "
                       "instead of 127.0.0.1 and ::1 alone, and is announced there with DNS-SD (_scpi-raw._tcp, "
                       "_vxi-11._tcp) when avahi-daemon runs. Anyone on that network can then drive the outputs: "
                       "use it on a lab network you trust."),
        QStringLiteral("ADDRESS"));
    parser.addOption(setup);
    parser.addOption(noRestore);
    parser.addOption(connect);
    parser.addOption(cardNumber);
    parser.addOption(demo);
    parser.addOption(start);
    parser.addOption(remote);
    parser.addOption(remotePort);
    parser.addOption(remoteAddress);
    // Qt's own options ("-platform xcb", "-style Fusion", the session manager's
    // "-session id", X11's "-name", "-title" and "-icon") are accepted here and
    // left to the application.
    for (const char *name :
        { "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle",
            "session", "style", "stylesheet", "display", "geometry", "name", "title", "icon" }) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : { "reverse", "widgetcount", "sync", "nograb", "dograb" }) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    QString error;
    const bool parsed = parser.parse(QCoreApplication::arguments());
    bool numberOk = true;
    const int number = parsed && parser.isSet(cardNumber) ? parser.value(cardNumber).toInt(&numberOk) : 1;
    bool portOk = true;
    const uint port = parsed && parser.isSet(remotePort) ? parser.value(remotePort).toUInt(&portOk) : 5025;
    const QHostAddress address(parsed ? parser.value(remoteAddress) : QString());
    if (!parsed)
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
    else if (parser.isSet(connect) && parser.isSet(demo))
        error = QStringLiteral("--connect and --demo exclude each other.");
    else if (parser.isSet(cardNumber) && !parser.isSet(connect))
        error = QStringLiteral("--card needs --connect.");
    else if (parser.isSet(connect) && parser.value(connect).trimmed().isEmpty())
        error = QStringLiteral("--connect needs a resource descriptor, such as TCPIP::192.168.2.100::INSTR.");
    else if (!numberOk || number < 1 || number > kd7010fp_fcEnterAddressFc::maxFcNumber)
        error = QStringLiteral("--card takes a function-card number from 1 to %1, not '%2'.")
                    .arg(kd7010fp_fcEnterAddressFc::maxFcNumber)
                    .arg(parser.value(cardNumber));
    else if (!portOk || port < 1 || port > 65535)
        error = QStringLiteral("--remote-port takes a TCP port from 1 to 65535, not '%1'.").arg(parser.value(remotePort));
    else if (parser.isSet(remoteAddress) && address.isNull())
        error = QStringLiteral("--remote-address takes an IP address, such as 0.0.0.0 or 192.168.2.10, not '%1'.")
                    .arg(parser.value(remoteAddress));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kd7240fp: %s\nTry 'kd7240fp --help' for the options.\n", qPrintable(error));
        options.exitStatus = 1;
    } else if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        options.exitStatus = 0;
    } else if (parser.isSet(version)) {
        std::printf("kd7240fp %s\n"
                    "Copyright (C) 2009-2026 Keldor Instruments.\n"
                    "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                    "This is free software: you are free to change and redistribute it.\n"
                    "There is NO WARRANTY, to the extent permitted by law.\n",
            SFP_VERSION);
        options.exitStatus = 0;
    }
    options.setup = parser.value(setup);
    options.restore = !parser.isSet(noRestore);
    if (parser.isSet(demo))
        options.connect.kind = kd7010fp_connectRequest::Demo;
    if (parser.isSet(connect)) {
        options.connect.kind = kd7010fp_connectRequest::Address;
        options.connect.descriptor = parser.value(connect).trimmed();
        options.connect.fcNumber = number;
    }
    options.start = parser.isSet(start);
    if (parser.isSet(remote) || parser.isSet(remotePort) || parser.isSet(remoteAddress))
        options.remotePort = quint16(port);
    if (parser.isSet(remoteAddress))
        options.remoteAddresses = { address };
    return options;
}

// The splash picture composed from the card's texts and pictures.
static QPixmap composedSplash(kd7240_fc &card)
{
    QString description = card.getDescription();
    description.replace(QStringLiteral(" FC"), QStringLiteral(" Function Card"));
    return kd7010fp_splashLabel(1.0f, 20, card.modelCode, true, card.getCopyright(), description);
}

// The same picture as tools/drawimages composed it beforehand, for 100 % and
// 200 % screens, as raw little-endian 0xffRRGGBB words: the splash shows
// without fonts to load or PNGs to decode. Null when it is missing.
static QPixmap drawnSplash()
{
    const int scale = qApp->devicePixelRatio() >= 2 ? 2 : 1;
    const QByteArray words = QResource(
        scale == 2 ? QStringLiteral(":/kd7240fp_splashscreen@2x.bgra") : QStringLiteral(":/kd7240fp_splashscreen.bgra"))
                                 .uncompressedData();
    QImage image(QSize(520, 400) * scale, QImage::Format_RGB32);
    if (words.size() != image.sizeInBytes())
        return QPixmap();
    qFromLittleEndian<quint32>(words.constData(), words.size() / 4, image.bits());
    image.setDevicePixelRatio(scale);
    return QPixmap::fromImage(std::move(image));
}

static QPixmap splashPicture(kd7240_fc &card)
{
    const QPixmap drawn = drawnSplash();
    return drawn.isNull() ? composedSplash(card) : drawn;
}

int main(int argc, char *argv[])
{
    const Options options = answerCommandLine(argc, argv);
    if (options.exitStatus >= 0)
        return options.exitStatus;

    QApplication app(argc, argv);
    // kill and Ctrl+C leave as closing does: rpcbind and Avahi are told.
    kd7010fp_quitSignal quitSignal;
    kd7240_fc card;

    // Held by the splash alone, the picture goes with it.
    auto splash = std::make_unique<QSplashScreen>(splashPicture(card), Qt::WindowFlags());
    splash->show();

    {
        // Cancel in the connection flow ends the process inside this constructor.
        kd7240fp_App window(&card, options.connect);
        // Connected (or in demo mode): the settings the operator asked for,
        // else those of the last run. A setup that cannot be used is told,
        // the last settings are taken instead, and nothing is started.
        window.setUnattended(options.start);
        if (options.remotePort != 0) {
            QString problem;
            if (!window.startRemote(options.remotePort, options.remoteAddresses, &problem))
                std::fprintf(stderr, "kd7240fp: remote control is off: %s\n", qPrintable(problem));
        }
        bool setupTaken = true;
        if (!options.setup.isEmpty())
            setupTaken = window.takeUpSetup(options.setup);
        if ((options.setup.isEmpty() || !setupTaken) && options.restore)
            window.restoreLastSetup();
        // Pressed as the operator would, once the window is up (the event
        // loop runs); what there is to tell waits until after it, so no box
        // holds the start.
        QTimer::singleShot(0, &window, [&window, start = options.start && setupTaken] {
            if (start)
                window.startButton->click();
            window.showNotices();
        });
        window.adjustSize();
        centerOnScreen(&window);
        window.show();
        // Closed once the window is up, and gone: a widget deleted later
        // from here would wait for the end of the run.
        splash->finish(&window);
        splash.reset();
        // Closing the window keeps its settings in Last.kd7240. finish()
        // runs events while it waits for the window to be drawn; a window
        // closed meanwhile, the splash still up, was the last window closed
        // for nobody, and no event loop would end.
        if (window.isVisible())
            app.exec();
        // The window goes first: it releases its samples and closes the session.
    }
    return 0;
}
