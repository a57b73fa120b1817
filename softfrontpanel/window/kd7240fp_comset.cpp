#include "kd7240fp_comset.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "kd7010fp_livelabel.h"
#include "kd7010fp_spinbox.h"
#include "kd7010fp_tooltip.h"

static QSpinBox *countBox(int minimum, int maximum, int value, const char *whatsThis, QWidget *parent)
{
    auto *box = new kd7010fp_clampSpinBox(parent);
    box->setRange(minimum, maximum);
    box->setSingleStep(1);
    box->setValue(value);
    box->setWhatsThis(QString::fromLatin1(whatsThis));
    return box;
}

static QComboBox *choiceBox(const QStringList &entries, const char *whatsThis, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->addItems(entries);
    // Reached by Tab like every other control.
    box->setFocusPolicy(Qt::StrongFocus);
    box->setCurrentIndex(0);
    box->setWhatsThis(QString::fromLatin1(whatsThis));
    return box;
}

kd7240fp_comSet::kd7240fp_comSet(QString title, QWidget *parent)
    : QGroupBox(title, parent)
{
    frequencyBox = countBox(kd7240fp::minFrequency, kd7240fp::maxFrequency, 1000, "Select frequency of generated waveform", this);
    frequencyBox->setSuffix(QStringLiteral(" Hz"));
    static_cast<kd7010fp_clampSpinBox *>(frequencyBox)->setQuantity(kd7010fp_typedNumber::Frequency);
    startBox = choiceBox({ QStringLiteral("Immediate"), QStringLiteral("By Trigger") },
        "Select whether waveform will start immediately\n or by trigger event.", this);
    stopBox = choiceBox({ QStringLiteral("Unlimited"), QStringLiteral("Limited by") },
        "Select whether waveform will be generated continuously\nor specified amount of cycles.\n"
        "If \"Start by Trigger\" mode was selected, the specified amount\n"
        "of cycles will be generated after each trigger event.",
        this);
    cyclesBox = countBox(kd7240fp::minCycles, kd7240fp::maxCycles, 10,
        "If Limited mode was selected, it will specify\nthe number of cycles to be generated,\n"
        "otherwise ignored.",
        this);
    frequencyLabel = new QLabel(QStringLiteral("Frequency"), this);
    startLabel = new QLabel(QStringLiteral("Start"), this);
    stopLabel = new QLabel(QStringLiteral("Stop"), this);
    cyclesLabel = new QLabel(QStringLiteral("Cycles"), this);
    for (QLabel *label : { frequencyLabel, startLabel, stopLabel, cyclesLabel })
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cyclesBox->setEnabled(false);
    cyclesLabel->setEnabled(false);
    frequencyBox->setAccessibleName(QStringLiteral("Frequency"));
    startBox->setAccessibleName(QStringLiteral("Start"));
    stopBox->setAccessibleName(QStringLiteral("Stop"));
    cyclesBox->setAccessibleName(QStringLiteral("Cycles"));

    auto *row = new QHBoxLayout(this);
    row->addStretch();
    row->addWidget(frequencyLabel);
    row->addWidget(frequencyBox);
    row->addSpacing(20);
    row->addWidget(startLabel);
    row->addWidget(startBox);
    row->addSpacing(20);
    row->addWidget(stopLabel);
    row->addWidget(stopBox);
    row->addSpacing(20);
    row->addWidget(cyclesLabel);
    row->addWidget(cyclesBox);
    exactBox = new QCheckBox(tr("Exact frequency"), this);
    exactBox->setToolTip(tr("Packs whole periods into one buffer, so the card plays the frequency set to within a "
                            "few ppm instead of the nearest rate / n"));
    exactBox->setWhatsThis(exactBox->toolTip());
    row->addSpacing(20);
    row->addWidget(exactBox);
    playedLabel = new QLabel(this);
    playedLabel->setObjectName(QStringLiteral("playedLabel"));
    playedLabel->setAccessibleName(QStringLiteral("Played frequency"));
    // Room for the longest reading, so the window keeps its width while typing.
    playedLabel->setMinimumWidth(
        playedLabel->fontMetrics().horizontalAdvance(QStringLiteral("plays 100000.00 Hz, 262143 samples")) + 12);
    playedLabel->setAlignment(Qt::AlignCenter);
    row->addSpacing(20);
    row->addWidget(playedLabel);
    row->addStretch();

    connect(stopBox, &QComboBox::activated, this, &kd7240fp_comSet::setwLenVis);
    connect(frequencyBox, &QSpinBox::valueChanged, this, &kd7240fp_comSet::settingsChanged);
    connect(startBox, &QComboBox::currentIndexChanged, this, &kd7240fp_comSet::settingsChanged);
    connect(stopBox, &QComboBox::currentIndexChanged, this, &kd7240fp_comSet::settingsChanged);
    connect(cyclesBox, &QSpinBox::valueChanged, this, &kd7240fp_comSet::settingsChanged);
    connect(exactBox, &QCheckBox::toggled, this, &kd7240fp_comSet::settingsChanged);
}

void kd7240fp_comSet::getSettings(int *frequency, int *startIndex, int *stopIndex, int *cycles)
{
    const kd7240fp::CommonSettings s = settings();
    *frequency = s.frequency;
    *startIndex = s.startIndex;
    *stopIndex = s.stopIndex;
    *cycles = s.cycles;
}

kd7240fp::CommonSettings kd7240fp_comSet::settings() const
{
    kd7240fp::CommonSettings s;
    s.frequency = frequencyBox->value();
    s.startIndex = startBox->currentIndex();
    s.stopIndex = stopBox->currentIndex();
    s.cycles = cyclesBox->value();
    s.exactFrequency = exactBox->isChecked();
    return s;
}

void kd7240fp_comSet::setSettings(const kd7240fp::CommonSettings &s)
{
    frequencyBox->setValue(s.frequency);
    startBox->setCurrentIndex(s.startIndex);
    stopBox->setCurrentIndex(s.stopIndex);
    cyclesBox->setValue(s.cycles);
    exactBox->setChecked(s.exactFrequency);
    setwLenVis(s.stopIndex);
}

void kd7240fp_comSet::showReadout(const QString &text, const QString &explanation, bool off)
{
    kd7010fp_showLiveText(playedLabel, text, explanation);
    playedLabel->setToolTip(explanation);
    // A style sheet set polishes the label again: only when it changes.
    if (playedLabel->property("offFrequency").toBool() != off || !playedLabel->property("offFrequency").isValid()) {
        playedLabel->setStyleSheet(off ? offStyle() : QString());
        playedLabel->setProperty("offFrequency", off);
    }
}

// A warm frame that reads in light and dark palettes alike.
QString kd7240fp_comSet::offStyle()
{
    return QStringLiteral("QLabel { background-color: #fff1c2; color: #4d3900; border: 1px solid #c99a06; "
                          "border-radius: 3px; padding: 1px 4px; }");
}

void kd7240fp_comSet::resetToDefaults() { setSettings(kd7240fp::CommonSettings()); }

void kd7240fp_comSet::lockWhileGenerating(bool running, bool live, const QString &whyLocked)
{
    setEnabled(!running || live);
    const bool open = !running;
    const QList<QWidget *> modes = { startBox, stopBox, exactBox, startLabel, stopLabel };
    for (QWidget *w : modes)
        w->setEnabled(open);
    // The cycles box follows its stop mode as it always does: live changes
    // come only with Unlimited, where it is locked anyway.
    const QString locked = !running ? QString()
        : live                      ? tr("A live change cannot alter this while the card generates; press Stop first.")
                                    : whyLocked;
    for (QWidget *w : { static_cast<QWidget *>(frequencyBox), static_cast<QWidget *>(cyclesBox) })
        kd7010fp_setLockNote(w, running && !live ? whyLocked : QString());
    for (QWidget *w : { static_cast<QWidget *>(startBox), static_cast<QWidget *>(stopBox),
             static_cast<QWidget *>(exactBox) })
        kd7010fp_setLockNote(w, locked);
}

void kd7240fp_comSet::setwLenVis(int index)
{
    cyclesBox->setEnabled(index != 0);
    cyclesLabel->setEnabled(index != 0);
}
