#include "kd7240fp_chset.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>

#include "kd7010fp_icons.h"
#include "kd7010fp_led.h"
#include "kd7010fp_livelabel.h"
#include "kd7010fp_spinbox.h"
#include "kd7010fp_tooltip.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_synthesis.h"

static const char *const sine_xpm[] = {
    "20 6 2 1",
    "# c #000000",
    ". c None",
    "....###.............",
    "..##...##...........",
    ".#.......#.........#",
    "#.........#.......#.",
    "...........##...##..",
    ".............###....",
};

static const char *const square_xpm[] = {
    "21 9 2 1",
    "# c #000000",
    ". c None",
    "###########..........",
    "#.........#.........#",
    "#.........#.........#",
    "#.........#.........#",
    "#.........#.........#",
    "#.........#.........#",
    "#.........#.........#",
    "#.........#.........#",
    "..........###########",
};

static const char *const saw_xpm[] = {
    "21 9 2 1",
    "# c #000000",
    ". c None",
    ".##...............##.",
    "#.#.............##.#.",
    "..#...........##...#.",
    "..#.........##.....#.",
    "..#.......##.......#.",
    "..#.....##.........#.",
    "..#...##...........#.",
    "..#.##.............#.",
    "..##...............##",
};

static const char *const triangle_xpm[] = {
    "21 9 2 1",
    "# c #000000",
    ". c None",
    "......#..............",
    ".....#.#.............",
    "....#...#...........#",
    "...#.....#.........#.",
    "..#.......#.......#..",
    ".#.........#.....#...",
    "#...........#...#....",
    ".............#.#.....",
    "..............#......",
};

// A checkable waveform button showing the picture (and its twice-as-large
// drawing on screens of twice the pixel density). Named for tool tips and
// screen readers, since it has no text.
static QPushButton *waveButton(
    const QPixmap &picture, const QString &name, const QString &channel, const char *whatsThis, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setCheckable(true);
    button->setIcon(pixelArtIcon(picture, QStringLiteral(":/wave-%1@2x.png").arg(name.toLower())));
    // Drawn at its own size: the pictures are too small to survive scaling.
    button->setIconSize(picture.size());
    button->setWhatsThis(QString::fromLatin1(whatsThis));
    button->setToolTip(name);
    button->setAccessibleName(channel + QLatin1Char(' ') + name.toLower());
    // The chosen waveform must stand out plainly, not by a faint shade.
    button->setStyleSheet(QStringLiteral("QPushButton:checked { background-color: palette(highlight); "
                                         "border: 2px solid palette(dark); border-radius: 3px; }"));
    return button;
}

// What the shape's name may take before it is shortened at its end.
static constexpr int shapeLabelWidth = 260;

static QDoubleSpinBox *voltBox(const char *whatsThis, QWidget *parent)
{
    auto *box = new kd7010fp_clampDoubleSpinBox(parent);
    box->setDecimals(kd7240fp::voltDecimals);
    box->setQuantity(kd7010fp_typedNumber::Voltage);
    box->setRange(0, 10);
    box->setSingleStep(1);
    box->setValue(0);
    box->setWhatsThis(QString::fromLatin1(whatsThis));
    return box;
}

kd7240fp_chSet::kd7240fp_chSet(QString title, QWidget *parent)
    : QGroupBox(title, parent)
{
    led = new kd7010fp_led(QString(), Qt::green, Qt::magenta, this);
    led->setWhatsThis(QStringLiteral("Shows whether the waveform is being generated on this channel"));

    sineButton = waveButton(QPixmap(sine_xpm), QStringLiteral("Sine"), title,
        "Selects the Sine waveform to be generated on this channel", this);
    squareButton = waveButton(QPixmap(square_xpm), QStringLiteral("Square"), title,
        "Selects the Square waveform to be generated on this channel", this);
    sawButton = waveButton(QPixmap(saw_xpm), QStringLiteral("Saw"), title,
        "Selects the Saw waveform to be generated on this channel", this);
    triangleButton = waveButton(QPixmap(triangle_xpm), QStringLiteral("Triangle"), title,
        "Selects the Triangle waveform to be generated on this channel", this);

    arbitraryButton = waveButton(resourcePixmap(QStringLiteral(":/wave-arbitrary.png")), QStringLiteral("Arbitrary"), title,
        "Selects the waveform loaded from a file to be generated on this channel", this);
    loadButton = new QPushButton(tr("Load…"), this);
    loadButton->setToolTip(tr("Loads one period of an arbitrary waveform from a CSV, text or WAV file"));
    loadButton->setWhatsThis(tr("Loads one period of an arbitrary waveform from a file: one number per line (or the\n"
                                "first column of a CSV file), or a WAV file. The shape is scaled to -1..1 and played\n"
                                "with this channel's amplitude and offset."));
    loadButton->setAccessibleName(title + tr(" load arbitrary waveform"));
    shapeLabel = new QLabel(tr("no file"), this);
    shapeLabel->setEnabled(false);
    shapeLabel->setAccessibleName(title + tr(" arbitrary waveform file"));

    amplitudeBox = voltBox("Specifies amplitude (in Volts) of the waveform\nto be generated on this channel", this);
    amplitudeLabel = new QLabel(QStringLiteral("Amplitude"), this);
    offsetBox = voltBox("Specifies offset (in Volts) of the waveform\nto be generated on this channel", this);
    offsetLabel = new QLabel(QStringLiteral("Offset"), this);

    filterBox = new QComboBox(this);
    filterBox->addItems({ QStringLiteral("Ground"), QStringLiteral("Bypass"), QStringLiteral("1KHz"),
        QStringLiteral("10KHz"), QStringLiteral("100KHz") });
    // Reached by Tab like every other control: a filter is chosen without a mouse too.
    filterBox->setFocusPolicy(Qt::StrongFocus);
    filterBox->setCurrentIndex(1);
    filterBox->setWhatsThis(QStringLiteral("Selects the output filter for the specified channel.\n"
                                           "If filter is \"Ground\", the channel output will be\n"
                                           "disabled and grounded"));
    filterLabel = new QLabel(QStringLiteral("Filter"), this);
    for (QLabel *label : { amplitudeLabel, offsetLabel, filterLabel })
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    formulaButton = new QPushButton(tr("Formula…"), this);
    formulaButton->setToolTip(tr("Computes one period of an arbitrary waveform from a formula"));
    formulaButton->setAccessibleName(title + tr(" arbitrary waveform from a formula"));
    sweepButton = new QPushButton(tr("Sweep…"), this);
    sweepButton->setToolTip(tr("Makes one period of an arbitrary waveform a frequency sweep"));
    sweepButton->setAccessibleName(title + tr(" arbitrary waveform from a sweep"));
    modulationButton = new QPushButton(tr("Modulation…"), this);
    modulationButton->setToolTip(tr("Modulates the channel's standard waveform: AM, FM, PM, FSK or PWM"));
    modulationButton->setAccessibleName(title + tr(" modulation"));
    phaseBox = new kd7010fp_clampDoubleSpinBox(this);
    phaseBox->setRange(0, kd7240fp::maxPhase);
    phaseBox->setDecimals(kd7240fp::phaseDecimals);
    phaseBox->setSingleStep(15);
    phaseBox->setSuffix(QStringLiteral("°"));
    phaseBox->setWrapping(true);
    static_cast<kd7010fp_clampDoubleSpinBox *>(phaseBox)->setQuantity(kd7010fp_typedNumber::Angle);
    phaseBox->setWhatsThis(tr("Where in its period the waveform starts: 90° starts a sine at its peak.\n"
                              "A sine plays it exactly; the other waveforms and shapes round it to whole\n"
                              "samples. The tool tip shows what is played."));
    phaseBox->setAccessibleName(title + tr(" phase"));
    phaseLabel = new QLabel(tr("Phase"), this);
    dutyBox = new kd7010fp_clampDoubleSpinBox(this);
    dutyBox->setRange(kd7240fp::minDuty, kd7240fp::maxDuty);
    dutyBox->setDecimals(kd7240fp::dutyDecimals);
    dutyBox->setSingleStep(5);
    dutyBox->setValue(50);
    dutyBox->setSuffix(QStringLiteral(" %"));
    static_cast<kd7010fp_clampDoubleSpinBox *>(dutyBox)->setQuantity(kd7010fp_typedNumber::Percent);
    dutyBox->setWhatsThis(tr("The share of the period the square stays high (square only)"));
    dutyBox->setAccessibleName(title + tr(" duty cycle"));
    dutyBox->setEnabled(false);
    dutyLabel = new QLabel(tr("Duty"), this);
    dutyLabel->setEnabled(false);
    for (QLabel *label : { phaseLabel, dutyLabel })
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto *gap = new QWidget(this);
    gap->setMinimumWidth(20);

    auto *grid = new QGridLayout;
    grid->addWidget(sineButton, 0, 0);
    grid->addWidget(squareButton, 1, 0);
    grid->addWidget(sawButton, 2, 0);
    grid->addWidget(triangleButton, 3, 0);
    grid->addWidget(gap, 0, 1);
    grid->addWidget(led, 0, 3);
    grid->addWidget(amplitudeLabel, 1, 2);
    grid->addWidget(amplitudeBox, 1, 3);
    grid->addWidget(offsetLabel, 2, 2);
    grid->addWidget(offsetBox, 2, 3);
    grid->addWidget(filterLabel, 3, 2);
    grid->addWidget(filterBox, 3, 3);
    grid->addWidget(arbitraryButton, 4, 0);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(loadButton);
    fileRow->addWidget(formulaButton);
    fileRow->addWidget(sweepButton);
    fileRow->addWidget(modulationButton);
    grid->addLayout(fileRow, 4, 2, 1, 2);
    // The shape's name under its buttons, where a sweep's or a formula's
    // reads whole without widening the group.
    grid->addWidget(shapeLabel, 5, 2, 1, 2);
    grid->addWidget(phaseLabel, 6, 2);
    grid->addWidget(phaseBox, 6, 3);
    grid->addWidget(dutyLabel, 7, 2);
    grid->addWidget(dutyBox, 7, 3);

    auto *centred = new QHBoxLayout(this);
    centred->addStretch();
    centred->addLayout(grid);
    centred->addStretch();

    led->setAccessibleName(title + QStringLiteral(" generating"));
    led->setAccessibleDescription(QStringLiteral("Lit while the waveform is being generated on this channel"));
    amplitudeBox->setAccessibleName(title + QStringLiteral(" amplitude"));
    offsetBox->setAccessibleName(title + QStringLiteral(" offset"));
    filterBox->setAccessibleName(title + QStringLiteral(" filter"));

    // Tab follows what the eye follows: the waveforms top down, then the
    // values, then the shape's buttons, then phase and duty.
    const QList<QWidget *> order = { sineButton, squareButton, sawButton, triangleButton, arbitraryButton, amplitudeBox,
        offsetBox, filterBox, loadButton, formulaButton, sweepButton, modulationButton, phaseBox, dutyBox };
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    for (QPushButton *button : { sineButton, squareButton, sawButton, triangleButton })
        connect(button, &QPushButton::clicked, this, &kd7240fp_chSet::setWave);
    connect(arbitraryButton, &QPushButton::clicked, this, &kd7240fp_chSet::chooseArbitrary);
    connect(loadButton, &QPushButton::clicked, this, &kd7240fp_chSet::loadRequested);
    connect(formulaButton, &QPushButton::clicked, this, &kd7240fp_chSet::formulaRequested);
    connect(sweepButton, &QPushButton::clicked, this, &kd7240fp_chSet::sweepRequested);
    connect(modulationButton, &QPushButton::clicked, this, &kd7240fp_chSet::modulationRequested);
    connect(phaseBox, &QDoubleSpinBox::valueChanged, this, &kd7240fp_chSet::settingsChanged);
    connect(dutyBox, &QDoubleSpinBox::valueChanged, this, &kd7240fp_chSet::settingsChanged);
    connect(filterBox, &QComboBox::activated, this, &kd7240fp_chSet::activated);
    connect(amplitudeBox, &QDoubleSpinBox::valueChanged, this, &kd7240fp_chSet::settingsChanged);
    connect(offsetBox, &QDoubleSpinBox::valueChanged, this, &kd7240fp_chSet::settingsChanged);
    connect(filterBox, &QComboBox::currentIndexChanged, this, &kd7240fp_chSet::settingsChanged);
}

void kd7240fp_chSet::setLimits(double low, double high) { setRange(kd7240fp::cardRange(low, high)); }

void kd7240fp_chSet::setRange(const kd7240fp::CardRange &range)
{
    offsetBox->setRange(range.offsets.low, range.offsets.high);
    offsetBox->setSingleStep(0.1);
    offsetBox->setValue(range.defaultOffset);
    amplitudeBox->setRange(0, range.maxAmplitude);
    amplitudeBox->setSingleStep(0.1);
}

std::array<QPushButton *, 5> kd7240fp_chSet::waveButtons() const
{
    // In the order of their wave types 1 to 5.
    return { sineButton, squareButton, sawButton, triangleButton, arbitraryButton };
}

int kd7240fp_chSet::getFilt()
{
    lastFilter = kd7240fp::filterCode(filterBox->currentIndex(), lastFilter);
    return lastFilter;
}

int kd7240fp_chSet::getTerm() { return filterBox->currentIndex() == 0 ? 2 : 0; }

void kd7240fp_chSet::getWaveParams(int *type, double *offset, double *amplitude)
{
    *type = waveType;
    *offset = offsetBox->value();
    *amplitude = amplitudeBox->value();
}

void kd7240fp_chSet::setWave()
{
    // The button clicked last is checked and differs from the recorded choice,
    // so it wins over the previously chosen one that is still checked.
    const auto buttons = waveButtons();
    int chosen = 0;
    for (int type = 1; type <= 5; ++type) {
        if (buttons[type - 1]->isChecked() && waveType != type) {
            chosen = type;
            break;
        }
    }
    for (int type = 1; type <= 5; ++type)
        if (type != chosen)
            buttons[type - 1]->setChecked(false);
    // A waveform turned off is the one the channel comes back with.
    if (chosen == 0 && waveType != 0)
        unshown.parked = waveType;
    waveType = chosen;
    // A shape and a modulation exclude each other.
    if (waveType == kd7240fp::waveArbitrary && modulation.active()) {
        modulation = kd7240fp::Modulation();
        showShapeSource();
    }
    dutyBox->setEnabled(waveType == kd7240fp::waveSquare);
    dutyLabel->setEnabled(waveType == kd7240fp::waveSquare);
    emit settingsChanged();
}

void kd7240fp_chSet::chooseArbitrary()
{
    if (shape.empty()) {
        // Nothing to play yet: the click asks for a file, and only a shape
        // that loads changes the channel's waveform.
        arbitraryButton->setChecked(false);
        emit loadRequested();
        return;
    }
    setWave();
}

void kd7240fp_chSet::setFormulaShape(std::vector<double> samples, const QString &text)
{
    setShape(std::move(samples), QString(), text, kd7240fp::Sweep());
}

void kd7240fp_chSet::setSweepShape(std::vector<double> samples, const kd7240fp::Sweep &made)
{
    setShape(std::move(samples), QString(), QString(), made);
}

void kd7240fp_chSet::setShape(std::vector<double> samples, const QString &source)
{
    setShape(std::move(samples), source, QString(), kd7240fp::Sweep());
}

void kd7240fp_chSet::setShape(
    std::vector<double> samples, const QString &source, const QString &fromFormula, const kd7240fp::Sweep &made)
{
    shape = std::move(samples);
    shapePath = source;
    formula = fromFormula;
    sweep = made;
    // A shape and a modulation exclude each other.
    modulation = kd7240fp::Modulation();
    showShapeSource();
    if (waveType != kd7240fp::waveArbitrary) {
        arbitraryButton->setChecked(true);
        setWave();
    } else {
        emit settingsChanged();
    }
}

void kd7240fp_chSet::setModulation(int carrier, const kd7240fp::Modulation &chosen)
{
    {
        // One change, told once: the carrier's button and the modulation.
        const QSignalBlocker quiet(this);
        modulation = chosen;
        if (chosen.active() && waveType != carrier) {
            waveButtons()[size_t(carrier - 1)]->setChecked(true);
            setWave();
        }
        showShapeSource();
    }
    emit settingsChanged();
}

void kd7240fp_chSet::showShapeSource()
{
    if (modulation.active()) {
        // Where a sweep's label stands: what the waveform is modulated with.
        const QString name = kd7240fp::modulationLabel(modulation);
        shapeLabel->setEnabled(true);
        shapeLabel->setToolTip(tr("%1, on this channel's waveform at the common frequency").arg(name));
        kd7010fp_showLiveText(shapeLabel, shapeLabel->fontMetrics().elidedText(name, Qt::ElideRight, shapeLabelWidth),
            shapeLabel->toolTip());
        return;
    }
    if (shape.empty()) {
        shapeLabel->setEnabled(false);
        kd7010fp_showLiveText(shapeLabel, tr("no file"));
        shapeLabel->setToolTip(QString());
        return;
    }
    // A file by its name (the path in the tool tip), a formula by its text,
    // a sweep by its frequencies.
    const QString name = sweep.isSweep() ? kd7240fp::sweepLabel(sweep, commonFrequency)
        : formula.isEmpty()              ? QFileInfo(shapePath).fileName()
                                         : formula;
    const QString whole = sweep.isSweep()
        ? tr("%1, over one period of the common frequency").arg(name)
        : formula.isEmpty() ? QDir::toNativeSeparators(shapePath)
                            : formula;
    shapeLabel->setEnabled(true);
    shapeLabel->setToolTip(tr("%1\n%2 samples").arg(whole).arg(shape.size()));
    kd7010fp_showLiveText(
        shapeLabel, shapeLabel->fontMetrics().elidedText(name, Qt::ElideRight, shapeLabelWidth), shapeLabel->toolTip());
}

kd7240fp::ChannelSettings kd7240fp_chSet::settings() const
{
    kd7240fp::ChannelSettings s = unshown;
    s.waveType = waveType;
    s.amplitude = amplitudeBox->value();
    s.offset = offsetBox->value();
    s.filterIndex = filterBox->currentIndex();
    // What the filter box shows now is what the card gets.
    s.lastFilter = kd7240fp::filterCode(s.filterIndex, lastFilter);
    s.shape = shape;
    s.shapeName = shapePath;
    s.formula = formula;
    s.sweep = sweep;
    s.modulation = modulation;
    s.phase = phaseBox->value();
    s.duty = dutyBox->value();
    return s;
}

void kd7240fp_chSet::showCommonFrequency(int frequency)
{
    if (frequency == commonFrequency)
        return;
    commonFrequency = frequency;
    // A sweep's frequencies follow the common one.
    if (sweep.isSweep())
        showShapeSource();
}

void kd7240fp_chSet::showPhasePlayed(double degrees, bool exact)
{
    const QString played = kd7240fp::decimalText(degrees, 'f', 2);
    kd7010fp_setToolTip(phaseBox,
        exact ? tr("Plays %1° (exactly, for the sine)").arg(played) : tr("Plays %1° (whole samples)").arg(played));
}

void kd7240fp_chSet::showSize(bool known, double peakToPeak, double rms)
{
    kd7010fp_setToolTip(amplitudeBox,
        waveType == 0 ? tr("The peak value; no waveform chosen")
            : !known  ? tr("The peak value")
                      : tr("The peak value: %1 Vpp, %2 Vrms as played")
                           .arg(kd7240fp::decimalText(peakToPeak, 'f', 2), kd7240fp::decimalText(rms, 'f', 2)));
}

void kd7240fp_chSet::showDutyPlayed(int high, int samples)
{
    kd7010fp_setToolTip(dutyBox,
        waveType != kd7240fp::waveSquare || samples <= 0
            ? tr("The share of the period the square stays high")
            : tr("Plays %1 % (%2 of %3 samples high)")
                  .arg(kd7240fp::decimalText(100.0 * high / samples, 'f', 1))
                  .arg(high)
                  .arg(samples));
}

void kd7240fp_chSet::setLockNote(const QString &note)
{
    // The boxes, where the operator tries a value first.
    for (QWidget *box : { static_cast<QWidget *>(amplitudeBox), static_cast<QWidget *>(offsetBox),
             static_cast<QWidget *>(filterBox), static_cast<QWidget *>(phaseBox), static_cast<QWidget *>(dutyBox) })
        kd7010fp_setLockNote(box, note);
}

void kd7240fp_chSet::setSettings(const kd7240fp::ChannelSettings &s)
{
    {
        // One change, told once.
        const QSignalBlocker quiet(this);
        const auto buttons = waveButtons();
        for (int type = 1; type <= 5; ++type)
            buttons[type - 1]->setChecked(type == s.waveType);
        waveType = s.waveType;
        unshown = s;
        unshown.shape = kd7240fp::ShapeSamples(); // held in `shape`
        amplitudeBox->setValue(s.amplitude);
        offsetBox->setValue(s.offset);
        filterBox->setCurrentIndex(s.filterIndex);
        lastFilter = s.lastFilter;
        shape = s.shape;
        shapePath = s.shapeName;
        formula = s.formula;
        sweep = s.sweep;
        modulation = s.modulation;
        showShapeSource();
        phaseBox->setValue(s.phase);
        dutyBox->setValue(s.duty);
        dutyBox->setEnabled(waveType == kd7240fp::waveSquare);
        dutyLabel->setEnabled(waveType == kd7240fp::waveSquare);
    }
    emit settingsChanged();
}

void kd7240fp_chSet::resetToDefaults()
{
    for (QPushButton *button : waveButtons())
        button->setChecked(false);
    waveType = 0;
    unshown = kd7240fp::ChannelSettings();
    modulation = kd7240fp::Modulation();
    showShapeSource();
    amplitudeBox->setValue(0);
    filterBox->setCurrentIndex(1);
    lastFilter = 0;
    phaseBox->setValue(0);
    dutyBox->setValue(50);
    dutyBox->setEnabled(false);
    dutyLabel->setEnabled(false);
    emit settingsChanged();
}
