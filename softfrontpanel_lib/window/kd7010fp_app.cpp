#include "kd7010fp_app.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <cstdio>
#include <cstdlib>

#include "kd7010fp_icons.h"
#include "kd7010fp_led.h"

QString panelName;

static const char *const whatsThis_xpm[] = {
    "20 17 3 1",
    "# c #000000",
    "a c #ffffff",
    ". c None",
    "#...................",
    "##..................",
    "#a#..........#####..",
    "#aa#........##...##.",
    "#aaa#......###...###",
    "#aaaa#.....###...###",
    "#aaaaa#....###...###",
    "#aaaaaa#........###.",
    "#aaaaaaa#......###..",
    "#aaaaaaaa#....###...",
    "#aaaaa#####...###...",
    "#aa#aa#.......###...",
    "#a#.#aa#............",
    "##..#aa#......###...",
    "#....#aa#.....###...",
    ".....#aa#.....###...",
    "......##............",
};

static const char *const startSingle_xpm[] = {
    "12 12 2 1",
    "# c #008000",
    ". c None",
    "..#.........",
    "..##........",
    "..###.......",
    "..####......",
    "..#####.....",
    "..######....",
    "..######....",
    "..#####.....",
    "..####......",
    "..###.......",
    "..##........",
    "..#.........",
};

static const char *const startCont_xpm[] = {
    "12 12 2 1",
    "# c #008000",
    ". c None",
    "#.....#.....",
    "##....##....",
    "###...###...",
    "####..####..",
    "#####.#####.",
    "############",
    "############",
    "#####.#####.",
    "####..####..",
    "###...###...",
    "##....##....",
    "#.....#.....",
};

static const char *const stop_xpm[] = {
    "12 12 2 1",
    "# c #800000",
    ". c None",
    "............",
    "############",
    "############",
    "############",
    "############",
    "############",
    "############",
    "############",
    "############",
    "############",
    "############",
    "............",
};

void centerOnScreen(QWidget *widget)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    const QScreen *screen = screens.isEmpty() ? QGuiApplication::primaryScreen() : screens.first();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QRect geometry = widget->geometry();
    const int x = (available.right() - available.left() - (geometry.right() - geometry.left())) / 2;
    const int y = (available.bottom() - available.top() - (geometry.bottom() - geometry.top())) / 2;
    widget->setGeometry(x, y, geometry.width(), geometry.height());
}

namespace {

// Counts the panel's message boxes waiting for the operator.
int openMessageBoxes = 0;
struct MessageBoxOpen
{
    MessageBoxOpen() { ++openMessageBoxes; }
    ~MessageBoxOpen() { --openMessageBoxes; }
    MessageBoxOpen(const MessageBoxOpen &) = delete;
    MessageBoxOpen &operator=(const MessageBoxOpen &) = delete;
};

} // namespace

bool kd7010fp_app::messageBoxOpen() { return openMessageBoxes > 0; }

QString kd7010fp_app::boxTitle(const char *tail)
{
    return QStringLiteral("Vantix ") + panelName + QLatin1String(" SFP") + QLatin1String(tail);
}

static QString startContHelp()
{
    return kd7010fp_app::tr("<html>Starts the repetitive data acquisition (or continuous data acquisition, "
                            "when file storage option is turned on)</html>");
}

void kd7010fp_app::setHelp(QWidget *widget, const QString &text)
{
    widget->setWhatsThis(text);
    widget->setToolTip(text);
}

// A hidden ON/OFF switch with its caption, followed by a stretch. The
// switch gets its state before it is connected, so construction reports
// nothing.
void kd7010fp_app::addSwitch(QLabel *&label, QPushButton *&button, const QString &name, const QString &caption,
                             bool checked, const QString &help, void (kd7010fp_app::*slot)(bool))
{
    label = new QLabel(caption);
    label->setObjectName(name + QLatin1String("Label"));
    label->setAlignment(Qt::AlignCenter);
    button = new QPushButton(checked ? tr("ON") : tr("OFF"));
    button->setObjectName(name + QLatin1String("Button"));
    button->setCheckable(true);
    button->setChecked(checked);
    setHelp(button, help);
    connect(button, &QPushButton::toggled, this, slot);
    label->hide();
    button->hide();
    buttonColumn->addWidget(label);
    buttonColumn->addWidget(button);
    buttonColumn->addStretch();
}

kd7010fp_app::kd7010fp_app()
    : QWidget(nullptr, Qt::Window)
{
    // Fusion stands in for the classic engineering look of the panels.
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);

    const int h = QFontMetrics(font()).height();
    const int h2 = h / 2;

    auto *mainLayout = new QVBoxLayout;
    mainLayout->setSpacing(h);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    auto *header = new QHBoxLayout;
    header->setSpacing(0);
    auto *body = new QHBoxLayout;
    body->setSpacing(h);
    body->setContentsMargins(h2, 0, 0, h2);
    buttonColumn = new QVBoxLayout;
    buttonColumn->setSpacing(h2);
    buttonColumn->setContentsMargins(0, 0, h2, h2);
    statusLayout = new QVBoxLayout;
    statusLayout->setSpacing(h);

    mainLayout->addLayout(header);
    mainLayout->addLayout(body);
    panelArea = new QWidget;
    panelArea->setObjectName(QStringLiteral("panelArea"));
    body->addWidget(panelArea);
    body->addLayout(buttonColumn);
    setPanelLayout(mainLayout); // still the window's own layout: panelLayoutInstalled is false

    setWindowIcon(connectIconPixmap());

    auto *makerLogo = new QLabel;
    makerLogo->setPixmap(densityPixmap(QStringLiteral(":/keldor-logo.bmp")));
    header->addWidget(makerLogo);
    titleLabel = new QLabel;
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    titleLabel->setStyleSheet(QStringLiteral("QLabel { background-color: #1a2c5e; color: #ffffff; font: bold 20px}"));
    titleLabel->setAlignment(Qt::AlignCenter);
    titleLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    header->addWidget(titleLabel);
    logoLabel = new QLabel;
    logoLabel->setObjectName(QStringLiteral("logoLabel"));
    logoLabel->setPixmap(densityPixmap(QStringLiteral(":/vxi-logo.bmp")));
    header->addWidget(logoLabel);

    auto *statusBox = new QGroupBox;
    statusBox->setLayout(statusLayout);
    buttonColumn->addWidget(statusBox);
    activeLed = new kd7010fp_led(tr("Active"), Qt::green, Qt::magenta, nullptr);
    activeLed->setObjectName(QStringLiteral("activeLed"));
    activeLed->setWhatsThis(tr("Green light means that the Soft Front Panel works\nin Real (not Demo) mode."));
    activeLed->setAccessibleDescription(tr("Lit while the panel works with a card, dark in demo mode"));
    statusLayout->addWidget(activeLed);
    systemLabel = new QLabel;
    systemLabel->setObjectName(QStringLiteral("systemLabel"));
    systemLabel->setAccessibleDescription(tr("The VXI slot or LXI module of the card"));
    statusLayout->addWidget(systemLabel);
    fcLabel = new QLabel;
    fcLabel->setObjectName(QStringLiteral("fcLabel"));
    fcLabel->setAccessibleDescription(tr("The function card the panel is connected to"));
    statusLayout->addWidget(fcLabel);
    buttonColumn->addStretch();

    addSwitch(autoscaleLabel, autoscaleButton, QStringLiteral("autoscale"), tr("Autoscale"), true,
              tr("Enables/disables plot autorescale feature"), &kd7010fp_app::autoscaleToggledSlot);
    addSwitch(identLabel, identButton, QStringLiteral("ident"), tr("Identify"), false,
              tr("Enables/disables visual identification mechanism"), &kd7010fp_app::identToggledSlot);

    startButton = new QPushButton;
    startButton->setObjectName(QStringLiteral("startButton"));
    startButton->setIcon(QPixmap(startSingle_xpm));
    startButton->setCheckable(true);
    setHelp(startButton, tr("Starts the single-shot data acquisition"));
    connect(startButton, &QPushButton::toggled, this, &kd7010fp_app::startToggledSlot);
    buttonColumn->addWidget(startButton);
    startContButton = new QPushButton;
    startContButton->setObjectName(QStringLiteral("startContButton"));
    startContButton->setIcon(QPixmap(startCont_xpm));
    startContButton->setCheckable(true);
    setHelp(startContButton, startContHelp());
    connect(startContButton, &QPushButton::toggled, this, &kd7010fp_app::startContToggledSlot);
    buttonColumn->addWidget(startContButton);
    startButton->hide();
    startContButton->hide();
    buttonColumn->addStretch();

    resetButton = new QPushButton(tr("Reset Device"));
    resetButton->setObjectName(QStringLiteral("resetButton"));
    connect(resetButton, &QPushButton::clicked, this, &kd7010fp_app::resetPressed);
    buttonColumn->addWidget(resetButton);
    buttonColumn->addStretch();

    helpButton = new QPushButton;
    helpButton->setObjectName(QStringLiteral("helpButton"));
    const QPixmap whatsThisIcon(whatsThis_xpm);
    helpButton->setIcon(pixelArtIcon(whatsThisIcon));
    helpButton->setIconSize(whatsThisIcon.size());
    helpButton->setWhatsThis(tr("Show on-line help for Instrument Soft Front Panel components"));
    helpButton->setAccessibleName(tr("What's This help"));
    connect(helpButton, &QPushButton::clicked, this, &kd7010fp_app::enterWIT);
    buttonColumn->addWidget(helpButton);

    aboutButton = new QPushButton(tr("About"));
    aboutButton->setObjectName(QStringLiteral("aboutButton"));
    aboutButton->setWhatsThis(tr("Displays \"About\" panel"));
    buttonColumn->addWidget(aboutButton);

    closeButton = new QPushButton(tr("Close"));
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setWhatsThis(tr("Close main panel and terminates program"));
    buttonColumn->addWidget(closeButton);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    panelLayoutInstalled = true;
    mainLayout->setSizeConstraint(QLayout::SetMinimumSize);
    centerOnScreen(this);
}

void kd7010fp_app::infoMessage(const QString &msg)
{
    const MessageBoxOpen open;
    QMessageBox::information(QApplication::activeWindow(), boxTitle(" Info message"), msg);
}

void kd7010fp_app::warningMessage(const QString &msg)
{
    const MessageBoxOpen open;
    QMessageBox::warning(QApplication::activeWindow(), boxTitle(" Warning message"), msg);
}

void kd7010fp_app::errorMessage(const QString &msg)
{
    // No is the default and the Escape answer: a reflexive Return must not
    // end the program while the card goes on as it was.
    const MessageBoxOpen open;
    QMessageBox box(QMessageBox::Critical, boxTitle(" Error message"), msg + tr("\nDo you want to exit?"),
        QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.exec();
    const QMessageBox::StandardButton answer = box.standardButton(box.clickedButton());
    if (answer != QMessageBox::Yes)
        return;
    // The operator chose to leave from inside whatever the panel was doing:
    // end the process here without closing windows or running destructors
    // (the driver session is deliberately left as it is). Skipping static
    // destructors too keeps a half-way GUI state from being torn down under
    // a running event loop; only the C streams are flushed so nothing
    // already written is lost.
    std::fflush(nullptr);
    std::_Exit(0);
}

int kd7010fp_app::questionBox(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                              const QStringList &buttonTexts, int defaultButton, int escapeButton)
{
    const MessageBoxOpen open;
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    QList<QPushButton *> buttons;
    for (const QString &buttonText : buttonTexts)
        // ActionRole for all keeps the buttons in the order given on every
        // platform's button layout.
        buttons.append(buttonText.isEmpty() ? nullptr : box.addButton(buttonText, QMessageBox::ActionRole));
    if (QPushButton *b = buttons.value(defaultButton))
        box.setDefaultButton(b);
    if (QPushButton *b = buttons.value(escapeButton))
        box.setEscapeButton(b);
    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    return clicked ? int(buttons.indexOf(static_cast<QPushButton *>(clicked))) : -1;
}

void kd7010fp_app::setPanelLayout(QLayout *layout)
{
    if (panelLayoutInstalled)
        panelArea->setLayout(layout);
    else
        setLayout(layout);
}

void kd7010fp_app::addColumnButton(QPushButton *button)
{
    buttonColumn->insertWidget(buttonColumn->indexOf(resetButton), button);
}

void kd7010fp_app::addBelowReset(QWidget *widget)
{
    // After Reset Device and what was added below it before.
    int at = buttonColumn->indexOf(resetButton) + 1;
    while (at < buttonColumn->count() && buttonColumn->itemAt(at)->widget())
        ++at;
    buttonColumn->insertWidget(at, widget);
}

void kd7010fp_app::addStatusLine(QWidget *widget) { statusLayout->addWidget(widget); }

void kd7010fp_app::setHeaderText(QString text)
{
    titleLabel->setText(text);
}

void kd7010fp_app::setSystemLabel(QString text, QString whatsThis)
{
    systemLabel->setText(text);
    if (!whatsThis.isEmpty())
        systemLabel->setWhatsThis(whatsThis);
}

void kd7010fp_app::setFcLabel(QString text, QString whatsThis)
{
    fcLabel->setText(text);
    if (!whatsThis.isEmpty())
        fcLabel->setWhatsThis(whatsThis);
}

void kd7010fp_app::setDemoMode(bool demo)
{
    activeLed->setValue(!demo);
}

void kd7010fp_app::showLxiLogo(bool lxi)
{
    if (lxi)
        logoLabel->setPixmap(densityPixmap(QStringLiteral(":/lxi-logo.bmp")));
}

void kd7010fp_app::showAutoscale(bool show)
{
    autoscaleLabel->setVisible(show);
    autoscaleButton->setVisible(show);
    if (show)
        resize(800, 600);
}

void kd7010fp_app::showIdentify(bool show)
{
    identLabel->setVisible(show);
    identButton->setVisible(show);
}

void kd7010fp_app::enterWIT()
{
    QWhatsThis::enterWhatsThisMode();
}

void kd7010fp_app::userBreak()
{
    if (startContButton->isChecked())
        startContButton->toggle();
    if (startButton->isChecked())
        startButton->toggle();
    startButton->setEnabled(true);
    startContButton->setEnabled(true);
}

void kd7010fp_app::enableStart()
{
    startContButton->setEnabled(true);
    startButton->setEnabled(true);
}

void kd7010fp_app::autoscaleToggledSlot(bool status)
{
    autoscaleButton->setText(status ? tr("ON") : tr("OFF"));
    emit autoscaleToggled(status);
}

void kd7010fp_app::identToggledSlot(bool status)
{
    identButton->setText(status ? tr("ON") : tr("OFF"));
    emit identToggled(status);
}

void kd7010fp_app::startToggledSlot(bool status)
{
    if (status) {
        startButton->setIcon(QPixmap(stop_xpm));
        setHelp(startButton, tr("Breaks the Single-Shot Data Acquisition"));
        startContButton->setEnabled(false);
        emit startSingle();
    } else {
        startButton->setIcon(QPixmap(startSingle_xpm));
        setHelp(startButton, tr("Starts the Single-Shot Data Acquisition"));
        startButton->setEnabled(false);
        startContButton->setEnabled(false);
        emit breakSingle();
    }
}

void kd7010fp_app::startContToggledSlot(bool status)
{
    if (status) {
        startContButton->setIcon(QPixmap(stop_xpm));
        setHelp(startContButton, tr("Stops the Data Acquisition process"));
        startButton->setEnabled(false);
        emit startCont();
    } else {
        startContButton->setIcon(QPixmap(startCont_xpm));
        setHelp(startContButton, startContHelp());
        startButton->setEnabled(false);
        startContButton->setEnabled(false);
        emit stopCont();
    }
}

void kd7010fp_app::closeEvent(QCloseEvent *event)
{
    // The operator asked to close, so Return confirms; Y and N answer as in
    // the error box, and Escape keeps the window.
    const int answer = questionBox(QApplication::activeWindow(), QMessageBox::Question, boxTitle(),
                                   tr("Do you really want to exit?"), {tr("&Yes"), tr("&No")}, 0, 1);
    if (answer == 0)
        event->accept();
    else
        event->ignore();
}
