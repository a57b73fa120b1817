#include "kd7240fp_app.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>

#include "kd7010fp_about.h"
#include "kd7240.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_dacview.h"
#include "kd7240fp_generationview.h"
#include "kd7240fp_model.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_previewfeed.h"
#include "kd7240fp_remote.h"
#include "kd7240fp_remembered.h"
#include "kd7240fp_setupfiles.h"
#include "kd7240fp_setuploader.h"

namespace {

constexpr int dacTab = 1;
const QString liveKey = QStringLiteral("7240/LiveChanges");

} // namespace

kd7240fp_App::kd7240fp_App(kd7010fp_genFC *card)
    : kd7240fp_App(card, kd7010fp_connectRequest())
{
}

kd7240fp_App::kd7240fp_App(kd7010fp_genFC *card, const kd7010fp_connectRequest &request)
    : kd7010fp_AppFC(card, 0, false, request)
{
    auto *panelLayout = new QVBoxLayout;
    tabs = new QTabWidget;
    panelLayout->addWidget(tabs);
    setPanelLayout(panelLayout);

    generation = new kd7240fp_generationView;
    generationPage = generation;
    chan1 = generation->chan1;
    chan2 = generation->chan2;
    commonSettings = generation->commonSettings;
    controlGroup = generation->controlGroup;
    startButton = generation->startButton;
    pauseButton = generation->pauseButton;
    triggerButton = generation->triggerButton;
    liveBox = generation->liveBox;
    tabs->addTab(generationPage, QStringLiteral("Waveform Generation"));

    dacs = new kd7240fp_dacView;
    dacPage = dacs;
    dacGroup = dacs->dacGroup;
    dac1Box = dacs->dac1Box;
    dac2Box = dacs->dac2Box;
    dac1Label = dacs->dac1Label;
    dac2Label = dacs->dac2Label;
    calibrationGroup = dacs->calibrationGroup;
    calibrateButton = dacs->calibrateButton;
    tabs->addTab(dacPage, QStringLiteral("Write Channel/Calibrate"));
    preview = new kd7240fp_preview;
    preview->setSpectrumOffered(true);
    tabs->addTab(preview, tr("Preview"));

    saveSetupButton = new QPushButton(tr("Save Setup…"));
    saveSetupButton->setShortcut(QKeySequence::Save);
    saveSetupButton->setToolTip(tr("Saves both channels and the common settings to a setup file (%1)")
                                    .arg(QKeySequence(QKeySequence::Save).toString(QKeySequence::NativeText)));
    openSetupButton = new QPushButton(tr("Open Setup…"));
    openSetupButton->setShortcut(QKeySequence::Open);
    openSetupButton->setToolTip(tr("Sets both channels and the common settings from a setup file (%1)")
                                    .arg(QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText)));
    changeCardButton = new QPushButton(tr("Change Card…"));
    changeCardButton->setToolTip(tr("Connects to another card, or to none (demo mode), keeping the settings"));
    addColumnButton(saveSetupButton);
    addColumnButton(openSetupButton);
    addColumnButton(changeCardButton);
    remoteBox = new QCheckBox(tr("Remote control"));
    remoteBox->setToolTip(tr("Answers SCPI commands on TCP port 5025 of this computer, so scripts drive the card while "
                             "the window shows it. Whoever reaches the port controls the card's outputs."));
    remoteBox->setWhatsThis(remoteBox->toolTip());
    addBelowReset(remoteBox);
    remoteCloseButton = new QPushButton(tr("Close Connections"));
    addBelowReset(remoteCloseButton);
    remoteLabel = new QLabel;
    remoteLabel->setAccessibleName(tr("Remote control"));
    remoteLabel->hide();
    addStatusLine(remoteLabel);

    timer = new QTimer(this);
    // What the operator chose and the card's session, held for every way
    // in; a poll's report waits while the operator answers another box.
    model = new kd7240fp_model(
        timer, [this](int count) { return sampleRoom(count); }, connection, &kd7010fp_app::messageBoxOpen, this);
    generation->setModel(model);
    previewFeed = new kd7240fp_previewFeed(model, preview, tabs, this);
    liveBox->setChecked(kd7240fp::remembered(liveKey).toBool());
    model->setLiveChanges(liveBox->isChecked());

    connect(triggerButton, &QPushButton::clicked, this, &kd7240fp_App::pulseITRI);
    connect(startButton, &QPushButton::clicked, this, &kd7240fp_App::start);
    connect(pauseButton, &QPushButton::toggled, this, &kd7240fp_App::pause);
    connect(chan1, &kd7240fp_chSet::activated, this, &kd7240fp_App::setFilt);
    connect(chan2, &kd7240fp_chSet::activated, this, &kd7240fp_App::setFilt);
    connect(dac1Box, &QDoubleSpinBox::valueChanged, this, &kd7240fp_App::setDac);
    connect(dac2Box, &QDoubleSpinBox::valueChanged, this, &kd7240fp_App::setDac);
    connect(calibrateButton, &QPushButton::clicked, this, &kd7240fp_App::calibrate);
    connect(timer, &QTimer::timeout, this, &kd7240fp_App::timerCallback);
    connect(this, &kd7010fp_app::resetPressed, this, &kd7240fp_App::resetDevice);
    connect(model, &kd7240fp_model::stateChanged, this, &kd7240fp_App::showState);
    // What the operator does and the model reports, the window shows in
    // its boxes; a remote client's troubles go to its error queue instead.
    connect(model, &kd7240fp_model::callReported, this,
        [this](ViStatus status, const QString &callText, const QString &message, kd7240fp_model::Origin origin) {
            if (origin == kd7240fp_model::Window)
                showCallReport(status, callText, message);
        });
    connect(model, &kd7240fp_model::refused, this, [this](const QString &why, kd7240fp_model::Origin origin) {
        notices.echo(why);
        if (origin == kd7240fp_model::Window)
            warningMessage(why);
    });
    connect(model, &kd7240fp_model::cautioned, this, [this](const QString &what, kd7240fp_model::Origin origin) {
        notices.echo(what);
        if (origin == kd7240fp_model::Window)
            warningMessage(what);
    });
    connect(model, &kd7240fp_model::calibrated, this, [](kd7240fp_model::Origin origin) {
        if (origin == kd7240fp_model::Window)
            infoMessage(QStringLiteral("Calibration procedure completed successfully."));
    });
    // While generating, the preview shows what was sent.
    connect(model, &kd7240fp_model::sent, previewFeed, &kd7240fp_previewFeed::showSent);
    connect(model, &kd7240fp_model::liveNotSent, this,
        [this](const QString &readout, const QString &why) { commonSettings->showReadout(readout, why, true); });
    // The groups show the model; what the operator does in them goes to it.
    connect(model, &kd7240fp_model::settingsChanged, this, &kd7240fp_App::showModel);
    // The DAC boxes show what the card holds: a client's values, and the
    // operator's own put back when the card did not take them.
    connect(model, &kd7240fp_model::dacsChanged, this, [this] { dacs->showValues(model->dac(0), model->dac(1)); });
    connect(generation, &kd7240fp_generationView::settingsChanged, this, &kd7240fp_App::takeFromGroups);
    connect(tabs, &QTabWidget::currentChanged, this, &kd7240fp_App::followSettings);
    connect(liveBox, &QCheckBox::toggled, this, [this](bool on) {
        kd7240fp::remember(liveKey, on);
        model->setLiveChanges(on);
        showState(model->state());
    });
    connect(saveSetupButton, &QPushButton::clicked, this, &kd7240fp_App::saveSetup);
    connect(openSetupButton, &QPushButton::clicked, this, &kd7240fp_App::openSetup);
    connect(changeCardButton, &QPushButton::clicked, this, &kd7240fp_App::changeCardAsked);

    readCard();

    buffer = nullptr;
    bufferSize = 0;
    showIdentity();
    showState(model->state());
    remote = new kd7240fp_remote(
        model, [this] { return identityText(); }, remoteBox, remoteLabel, remoteCloseButton, this);
}

kd7240fp_App::~kd7240fp_App() { std::free(buffer); }

kd7240fp::Settings kd7240fp_App::settings() const { return model->settings(); }

void kd7240fp_App::takeFromGroups()
{
    // A change the card cannot take now is not taken: the groups show the
    // model again.
    if (model->change(generation->settings(), kd7240fp_model::Window) == kd7240fp_model::Locked)
        showModel();
}

void kd7240fp_App::showModel()
{
    generation->showSettings(model->settings());
    followSettings();
}

double *kd7240fp_App::allocateSamples(int count)
{
    return static_cast<double *>(std::calloc(static_cast<size_t>(count), sizeof(double)));
}

double *kd7240fp_App::sampleRoom(int count)
{
    // The buffer is kept from start to start and only ever grows.
    if (count > bufferSize) {
        std::free(buffer);
        bufferSize = 0;
        buffer = allocateSamples(count);
        if (buffer)
            bufferSize = count;
    }
    return buffer;
}

void kd7240fp_App::readCard()
{
    double low = -10;
    double high = 10;
    if (model->generator()->readLimits(&low, &high)) {
        lowLimit = low;
        hiLimit = high;
    } else {
        lowLimit = -10;
        hiLimit = 10;
    }
    // The card's front ends get the groups' filters.
    setFilt();
    const kd7240fp::CardRange range = kd7240fp::cardRange(lowLimit, hiLimit);
    model->setRange(range);
    chan1->setRange(range);
    chan2->setRange(range);
    dacs->setRange(range);

    // Each setValue that changes a box writes both channels through setDac.
    dac1Box->setValue(model->generator()->readDac(kd7240_CH1, dac1Box->value()));
    dac2Box->setValue(model->generator()->readDac(kd7240_CH2, dac2Box->value()));
    model->takeDacs(dac1Box->value(), dac2Box->value());
    followSettings();
}

void kd7240fp_App::showIdentity()
{
    if (connection->link() == kd7010fp_connection::Lost)
        return;
    identity = model->generator()->readIdentity();
    aboutDialog->addHardwarePage(identity.serialNumber, identity.revision, identity.model, QString(), QString());
    if (remote)
        remote->identityChanged();
}

int kd7240fp_App::setDac(double)
{
    model->setDacs(dac1Box->value(), dac2Box->value(), kd7240fp_model::Window);
    return 0;
}

int kd7240fp_App::setFilt()
{
    // Read in demo mode too, so a grounded channel keeps the same filter
    // there; the generator calls nothing without a card.
    const int filter1 = chan1->getFilt();
    const int term1 = chan1->getTerm();
    const int filter2 = chan2->getFilt();
    const int term2 = chan2->getTerm();
    model->setFilters(filter1, term1, filter2, term2, kd7240fp_model::Window);
    return 0;
}

int kd7240fp_App::pulseITRI()
{
    model->trigger(kd7240fp_model::Window);
    return 0;
}

int kd7240fp_App::start()
{
    // The button is already checked for a start, unchecked for a stop. The
    // generator tells its state, refused or not: showState follows.
    if (startButton->isChecked()) {
        previewFeed->starting();
        model->start(kd7240fp_model::Window);
        previewFeed->follow();
    } else {
        model->stop(kd7240fp_model::Window);
    }
    return 0;
}

int kd7240fp_App::pause(bool checked)
{
    // The texts "Resume" and "Pause" follow the state the generator tells.
    if (checked)
        model->pause();
    else
        model->resume();
    return 0;
}

void kd7240fp_App::showCallReport(ViStatus status, const QString &callText, const QString &driverMessage)
{
    notices.echo(status < 0 ? QStringLiteral("%1 failed due to [%2]").arg(callText, driverMessage)
                              : QStringLiteral("Warning: [%1]").arg(driverMessage));
    if (status < 0)
        errorMessage(QStringLiteral("%1 failed due to [%2]").arg(callText, driverMessage));
    else
        warningMessage(QStringLiteral("Warning: [%1]").arg(driverMessage));
}

int kd7240fp_App::calibrate()
{
    setCursor(Qt::WaitCursor);
    model->calibrate(kd7240fp_model::Window);
    setCursor(Qt::ArrowCursor);
    return 0;
}

void kd7240fp_App::timerCallback() { model->generator()->poll(); }

void kd7240fp_App::showState(kd7240fp_generator::State state)
{
    const bool running = state == kd7240fp_generator::Generating || state == kd7240fp_generator::Paused;
    generation->showState(state);
    tabs->setTabEnabled(dacTab, !running);
    openSetupButton->setEnabled(!running);
    changeCardButton->setEnabled(!running);
    // Without a card nothing can be started, triggered, written or
    // calibrated; the settings and the preview still can be used.
    const bool card = state != kd7240fp_generator::NoCard;
    generation->showCard(card);
    dacs->showCard(card);
    if (!running)
        followSettings();
}

void kd7240fp_App::followSettings()
{
    // The readout, the tool tips and the preview take the model's plan,
    // samples and all: what Start would send.
    generation->showPlan(model->plan());
    previewFeed->follow();
}

bool kd7240fp_App::loadShapeFile(kd7240fp_chSet *group, const QString &path)
{
    return generation->loadShapeFile(group, path);
}

void kd7240fp_App::applySettings(const kd7240fp::Settings &s)
{
    // Filters the card was not told it hears at the next start.
    model->change(s, kd7240fp_model::Window);
}

QString kd7240fp_App::lastSetupPath() { return kd7240fp_setupFiles::lastPath(); }

void kd7240fp_App::saveSetup()
{
    const QString path = kd7240fp_setupLoader::askSavePath(this);
    if (path.isEmpty())
        return;
    const QString error = kd7240fp_setupFiles::save(path, settings());
    if (!error.isEmpty())
        warningMessage(error);
}

void kd7240fp_App::openSetup()
{
    const QString path = kd7240fp_setupLoader::askOpen(this);
    if (!path.isEmpty())
        openSetupFile(path);
}

bool kd7240fp_App::openSetupFile(const QString &path)
{
    const kd7240fp_setupFiles::Opened opened = kd7240fp_setupFiles::open(path, model->range());
    if (!opened.settings) {
        warningMessage(opened.problem);
        return false;
    }
    if (!opened.changes.isEmpty())
        infoMessage(opened.changes);
    applySettings(*opened.settings);
    return true;
}

bool kd7240fp_App::takeUpSetup(const QString &path)
{
    const kd7240fp_setupFiles::Opened opened = kd7240fp_setupFiles::open(path, model->range());
    if (!opened.settings) {
        // Named by its whole path: the short name says little on a command line.
        const QString full = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
        notices.queue(tr("The setup \"%1\" was not taken up: %2").arg(full, opened.problem), true);
        return false;
    }
    applySettings(*opened.settings);
    notices.queue(opened.changes, false);
    return true;
}

void kd7240fp_App::restoreLastSetup()
{
    const kd7240fp_setupFiles::Opened last = kd7240fp_setupFiles::openLast(model->range());
    if (last.settings)
        applySettings(*last.settings);
    if (!last.problem.isEmpty())
        notices.queue(tr("The settings of the last run were not restored: %1").arg(last.problem), true);
    else
        notices.queue(last.changes, true);
}

void kd7240fp_App::setUnattended(bool on) { notices.setUnattended(on); }

void kd7240fp_App::showNotices() { notices.show(); }

QString kd7240fp_App::saveLastSetup() { return kd7240fp_setupFiles::saveLast(settings()); }

void kd7240fp_App::closeEvent(QCloseEvent *event)
{
    kd7010fp_AppFC::closeEvent(event);
    if (!event->isAccepted())
        return;
    // The settings are kept for the next start; when they cannot be, the
    // operator hears why and may stay to save a setup instead.
    const QString error = saveLastSetup();
    if (error.isEmpty())
        return;
    const int answer = questionBox(this, QMessageBox::Warning, kd7010fp_app::boxTitle(),
        tr("The settings cannot be kept for the next start: %1\nClose anyway?").arg(error),
        { tr("&Close anyway"), tr("&Keep open") }, 1, 1);
    if (answer != 0)
        event->ignore();
}

int kd7240fp_App::resetDevice()
{
    const int answer = questionBox(this, QMessageBox::Question, kd7010fp_app::boxTitle(),
        tr("Reset the card to its power-on state? Generation stops and both outputs go to 0 V."),
        { tr("&Yes"), tr("&No") }, 1, 1);
    if (answer != 0)
        return 0;

    // The window goes back to idle first; the card's reset ends any burst.
    model->generator()->abandon();
    // Open the same card again with a reset: a VXIplug&play init with reset
    // puts the instrument into its power-on state. A card lost before is
    // tried again; demo mode has nothing to open.
    const bool reopened = connection->link() != kd7010fp_connection::Demo;
    if (reopened)
        model->generator()->report(reopenCard(true), "kd7240_init(resourceDescriptor, fcNumber, 1, 1, &d_vi)");

    generation->resetToDefaults();
    // 0 V as at start-up; a card's own values are read again just below.
    dacs->showValues(0, 0);
    readCard();
    if (reopened)
        showIdentity();
    return 0;
}

void kd7240fp_App::changeCardAsked()
{
    if (model->running())
        return;
    // The settings made stay, fitted to the new card's range.
    kd7240fp::Settings kept = settings();
    if (!changeCard())
        return;
    // The boxes are read again from the new card: 0 V until then.
    dacs->showValues(0, 0);
    readCard();
    showIdentity();
    QString changes;
    kd7240fp_setupFiles::fitToCard(kept, model->range(),
        tr("The settings hold values beyond this card's output range; they were changed:"), &changes);
    applySettings(kept);
    if (!changes.isEmpty())
        infoMessage(changes);
}

QByteArray kd7240fp_App::identityText() const
{
    // *IDN?: maker, model, serial number and revision, as About shows them
    // (the maker is the one the card's copyright line names).
    return QStringLiteral("Keldor Instruments,%1,%2,%3")
        .arg(identity.model, identity.serialNumber, identity.revision)
        .toLatin1();
}

bool kd7240fp_App::startRemote(quint16 port, const QList<QHostAddress> &addresses, QString *error)
{
    if (remote->start(port, addresses))
        return true;
    *error = remote->errorString();
    return false;
}
