// The Waveform Generation tab: the two channel groups side by side, the
// common settings below them and the group that runs the card (Start,
// Pause, Trigger, Live changes). It shows the model's settings, plan and
// state, tells when the operator changed a group, and asks for the shapes
// and modulations the groups' buttons ask for; the window carries what
// changed to the model and presses the card's buttons.
#ifndef KD7240FP_GENERATIONVIEW_H
#define KD7240FP_GENERATIONVIEW_H

#include <QString>
#include <QWidget>

#include "kd7240fp_generator.h"
#include "kd7240fp_plan.h"
#include "kd7240fp_settings.h"

class QCheckBox;
class QGroupBox;
class QPushButton;
class kd7240fp_chSet;
class kd7240fp_comSet;
class kd7240fp_model;

class kd7240fp_generationView : public QWidget
{
    Q_OBJECT

public:
    explicit kd7240fp_generationView(QWidget *parent = nullptr);

    kd7240fp_chSet *chan1;
    kd7240fp_chSet *chan2;
    kd7240fp_comSet *commonSettings;
    QGroupBox *controlGroup;
    QPushButton *startButton;
    QPushButton *pauseButton;
    QPushButton *triggerButton;
    // Changes sent at once while the card generates.
    QCheckBox *liveBox;

    // The model the groups' dialogs start from and the state shows, once there is one.
    void setModel(const kd7240fp_model *model) { this->model = model; }
    // What the groups hold.
    kd7240fp::Settings settings() const;
    // The groups show `settings`; what they echo back is no change.
    void showSettings(const kd7240fp::Settings &settings);
    // The readout and the groups' tool tips take what the plan plays.
    void showPlan(const kd7240fp::Plan &plan);
    // Start and Pause follow the generator's state; the groups are locked
    // while it runs unless changes go live, and say why in their tool tips.
    void showState(kd7240fp_generator::State state);
    // Without a card nothing can be started or triggered; the LEDs show
    // which channels generate.
    void showCard(bool card);
    // The groups as in a new window (a loaded shape stays loaded).
    void resetToDefaults();
    // Loads one period from a file into a channel group and chooses it; a
    // file that cannot be used is reported, and the group keeps its waveform.
    bool loadShapeFile(kd7240fp_chSet *group, const QString &path);

signals:
    // The operator changed a group.
    void settingsChanged();

private:
    // Asks for a formula (Formula…), a sweep (Sweep…) or a modulation
    // (Modulation…) and gives the group what was asked for.
    void askFormula(kd7240fp_chSet *group);
    void askSweep(kd7240fp_chSet *group);
    void askModulation(kd7240fp_chSet *group);

    const kd7240fp_model *model = nullptr;
    // The groups are being told the model's settings.
    bool showing = false;
};

#endif
