// The main window of the 7240 panel: waveform generation on the first tab,
// immediate DAC values and calibration on the second, the preview on the
// third, each a view of its own; the named widgets below point into them.
// Wiring only: what the groups hold becomes settings, the plan turns them
// into what the card gets (readout, preview and Start alike), and the
// generator makes every driver call on the base's session.
#ifndef KD7240FP_APP_H
#define KD7240FP_APP_H

#include <QList>

#include "kd7010fp_appfc.h"
#include "kd7240fp_generator.h"
#include "kd7240fp_model.h"
#include "kd7240fp_notices.h"

class QCheckBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QHostAddress;
class QTabWidget;
class QTimer;
class kd7240fp_chSet;
class kd7240fp_comSet;
class kd7240fp_dacView;
class kd7240fp_generationView;
class kd7240fp_preview;
class kd7240fp_previewFeed;
class kd7240fp_remote;

class kd7240fp_App : public kd7010fp_AppFC
{
    Q_OBJECT

public:
    explicit kd7240fp_App(kd7010fp_genFC *card);
    // Reaching the card as `request` says first (the command line's
    // --connect or --demo).
    kd7240fp_App(kd7010fp_genFC *card, const kd7010fp_connectRequest &request);
    ~kd7240fp_App() override;

    QTabWidget *tabs;
    QWidget *generationPage;
    QWidget *dacPage;
    kd7240fp_chSet *chan1;
    kd7240fp_chSet *chan2;
    kd7240fp_comSet *commonSettings;
    QGroupBox *dacGroup;
    QDoubleSpinBox *dac1Box;
    QDoubleSpinBox *dac2Box;
    QLabel *dac1Label;
    QLabel *dac2Label;
    QGroupBox *calibrationGroup;
    QPushButton *calibrateButton;
    QGroupBox *controlGroup;
    QPushButton *startButton;
    QPushButton *pauseButton;
    QPushButton *triggerButton;
    QTimer *timer;
    // Changes sent at once while the card generates (off by default,
    // remembered beside the address history).
    QCheckBox *liveBox;
    // Third tab: one period of each channel as Start sends it.
    kd7240fp_preview *preview;
    // What the operator chose and the card's session, generation and every
    // driver call of the panel: the one owner, which the window shows and a
    // remote client changes alike.
    kd7240fp_model *model;
    // The card's output limits as read (the demo range without a card, or
    // when the read failed).
    double lowLimit = -10;
    double hiLimit = 10;
    double *buffer = nullptr; // samples of both channels, malloc family
    int bufferSize = 0; // doubles that buffer holds

    // What the operator chose: the model's settings, which the groups show.
    kd7240fp::Settings settings() const;
    // Loads one period from a file into a channel group and chooses it; a
    // file that cannot be used is reported, and the group keeps its waveform.
    bool loadShapeFile(kd7240fp_chSet *group, const QString &path);
    // Takes `settings` (the groups show them); nothing reaches the card
    // until the operator starts or changes a filter.
    void applySettings(const kd7240fp::Settings &settings);

    // Setups: "Save Setup…" and "Open Setup…" above Reset Device, then
    // "Change Card…", which connects to another card without a restart.
    QPushButton *saveSetupButton;
    QPushButton *openSetupButton;
    QPushButton *changeCardButton;
    // Opens a setup file: all of it or, with a message naming the file and
    // the first problem, nothing. Values beyond this card's range are
    // brought within it and listed in one message. Never starts generation.
    bool openSetupFile(const QString &path);
    // At start-up, before the window shows: the setup the command line
    // names (false when it cannot be used), or the settings as they were
    // when the panel last closed (Last.kd7240 beside the address history).
    // What could not be taken up, or what was changed, is told by
    // showNotices once the window is up.
    bool takeUpSetup(const QString &path);
    void restoreLastSetup();
    void showNotices();
    // Started unattended (--start): what the start-up tells, and every
    // problem of the start, goes to standard error too.
    void setUnattended(bool on);
    // Writes Last.kd7240; what went wrong, or empty. Closing the window
    // does it, and asks whether to close anyway when it fails.
    QString saveLastSetup();
    static QString lastSetupPath();

    // Remote control (off by default): the box under Reset Device, which is
    // remembered, turns on a SCPI server on this computer's port 5025; the
    // status line says "Remote" with the client's address while one is
    // connected.
    QCheckBox *remoteBox;
    QLabel *remoteLabel;
    QPushButton *remoteCloseButton; // shown while clients are connected
    kd7240fp_remote *remote = nullptr;
    // Turns remote control on for this run (--remote): `port`, and
    // `addresses` to listen at (none: this computer only). False, with the
    // reason in `error`, when the port cannot be opened.
    bool startRemote(quint16 port, const QList<QHostAddress> &addresses, QString *error);

public slots:
    int setFilt();
    void timerCallback();

private slots:
    int calibrate();
    int start();
    int pause(bool checked);
    int setDac(double);
    int pulseITRI();
    // Reset Device: asks, then opens the card again with reset (or tries to,
    // when it was lost) and returns the panel to its start-up state.
    int resetDevice();
    // The played-frequency readout and the preview follow the settings.
    void followSettings();
    void saveSetup();
    void openSetup();
    // The one place the window shows the generator's state: the buttons,
    // LEDs, and which groups and tabs can be used.
    void showState(kd7240fp_generator::State state);
    // A driver call's failure in the error box (which offers to exit), a
    // warning in the warning box.
    void showCallReport(ViStatus status, const QString &callText, const QString &driverMessage);
    // What the operator did in a group goes to the model.
    void takeFromGroups();
    // The groups show the model's settings, and the readout, the tool tips
    // and the preview its plan.
    void showModel();
    // Change Card…: the connection flow again; on a new choice the new card
    // is read and every view shows it, the settings kept (fitted and listed).
    void changeCardAsked();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Zero-filled room for `count` doubles, or null; released with std::free.
    virtual double *allocateSamples(int count);

private:
    // The sample buffer, grown (never shrunk) to hold `count` doubles; null
    // when it cannot be.
    double *sampleRoom(int count);
    // Limits, filters and DAC values read from the card, as at start-up.
    void readCard();
    // The card's identity on About's hardware page.
    void showIdentity();
    // *IDN?: the card as About shows it.
    QByteArray identityText() const;
    kd7240fp_generator::Identity identity;
    kd7240fp_notices notices;
    // The tabs' views (the pages above), and what keeps the preview in step.
    kd7240fp_generationView *generation;
    kd7240fp_dacView *dacs;
    kd7240fp_previewFeed *previewFeed;
};

#endif
