#include "kd7240fp_formuladialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "kd7010fp_livelabel.h"
#include "kd7010fp_spinbox.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_remembered.h"
#include "kd7240fp_shapefile.h"
#include "kd7240fp_shapeplot.h"

namespace {

const QString historyKey = QStringLiteral("7240/Formulas");

} // namespace

std::optional<kd7240fp_formulaDialog::Result> kd7240fp_formulaDialog::ask(
    QWidget *parent, const QString &channelTitle, const QString &formula, int samples, int frequency)
{
    kd7240fp_formulaDialog dialog(parent, channelTitle, formula, samples, frequency);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    Result result = dialog.chosen();
    remember(result.formula);
    return result;
}

QStringList kd7240fp_formulaDialog::history()
{
    return kd7240fp::remembered(historyKey).toStringList().mid(0, historySize);
}

void kd7240fp_formulaDialog::remember(const QString &formula)
{
    QStringList formulas = history();
    formulas.removeAll(formula);
    formulas.prepend(formula);
    kd7240fp::remember(historyKey, formulas.mid(0, historySize));
}

kd7240fp_formulaDialog::kd7240fp_formulaDialog(
    QWidget *parent, const QString &channelTitle, const QString &formula, int samples, int frequency)
    : QDialog(parent)
    , frequency(std::max(frequency, 1))
{
    setWindowTitle(tr("%1: Formula").arg(channelTitle));

    formulaBox = new QComboBox(this);
    formulaBox->setEditable(true);
    formulaBox->setInsertPolicy(QComboBox::NoInsert);
    formulaBox->setMaxVisibleItems(historySize);
    formulaBox->addItems(history());
    formulaBox->setEditText(formula.isEmpty() ? formulaBox->itemText(0) : formula);
    // The history is offered in the drop-down, never completed into the
    // line: "t" must stay t, not become a remembered "tri(t)".
    formulaBox->setCompleter(nullptr);
    formulaBox->lineEdit()->setMaxLength(kd7240fp::maxFormulaLength + 1); // long enough to be told it is too long
    formulaBox->lineEdit()->setPlaceholderText(tr("for example sin(2*pi*t)"));
    formulaBox->setAccessibleName(tr("Formula"));
    formulaBox->setAccessibleDescription(tr("One period of the shape; the drop-down offers the formulas used last"));
    formulaBox->setMinimumContentsLength(40);
    formulaBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    samplesBox = new kd7010fp_clampSpinBox(this);
    samplesBox->setRange(kd7240fp::minShapeSamples, kd7240fp::maxShapeSamples);
    samplesBox->setValue(std::clamp(samples, kd7240fp::minShapeSamples, kd7240fp::maxShapeSamples));
    samplesBox->setAccessibleName(tr("Samples per period"));
    samplesBox->setToolTip(tr("Samples in one period; the card plays them at the frequency times the samples"));

    auto *help = new QLabel(tr("t runs from 0 to 1 over the period (sample i of n has t = i/n); pi; the "
                               "expression library's functions (sin, exp, abs, min, x < y ? a : b...) and "
                               "square(x), saw(x), tri(x) of period 1 and range -1..1. The result is scaled "
                               "to -1..1, then times the amplitude plus the offset."),
        this);
    help->setWordWrap(true);
    help->setAccessibleName(tr("What a formula may use"));

    problemLabel = new QLabel(this);
    problemLabel->setWordWrap(true);
    problemLabel->setStyleSheet(QStringLiteral("color: #c62828"));
    problemLabel->setAccessibleName(tr("Problem with the formula"));
    problemLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    shapePlot = new kd7240fp_shapePlot(tr("Formula"), this);
    plot = shapePlot->plot;
    sentLabel = shapePlot->sentLabel;

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    okButton->setAccessibleName(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &kd7240fp_formulaDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &kd7240fp_formulaDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(tr("&Formula:"), formulaBox);
    form->addRow(tr("&Samples:"), samplesBox);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(help);
    layout->addWidget(problemLabel);
    layout->addWidget(shapePlot, 1);
    layout->addWidget(buttons);

    // The controls are made in their tab order: the line, Samples, OK, Cancel
    // (then the plot's volt-axis buttons, made when it is first shown).
    formulaBox->setFocus();

    // A burst of typing costs one evaluation: each edit restarts the timer,
    // which fires once the events already waiting are handled.
    pending = new QTimer(this);
    pending->setSingleShot(true);
    pending->setInterval(0);
    connect(pending, &QTimer::timeout, this, &kd7240fp_formulaDialog::evaluate);
    connect(formulaBox, &QComboBox::editTextChanged, pending, qOverload<>(&QTimer::start));
    connect(samplesBox, &QSpinBox::valueChanged, pending, qOverload<>(&QTimer::start));
    evaluate();
}

kd7240fp_formulaDialog::Result kd7240fp_formulaDialog::chosen() const
{
    return Result { evaluated, evaluatedSamples, current.samples };
}

void kd7240fp_formulaDialog::accept()
{
    // OK pressed before the last edit was evaluated: evaluate it now.
    if (pending->isActive()) {
        pending->stop();
        evaluate();
    }
    if (okButton->isEnabled())
        QDialog::accept();
}

void kd7240fp_formulaDialog::evaluate()
{
    // Evaluated as typed, so that the positions in a message are the line's.
    const QString text = formulaBox->currentText();
    evaluated = text.trimmed();
    evaluatedSamples = samplesBox->value();
    current = kd7240fp::evaluateFormula(text, evaluatedSamples);
    kd7010fp_showLiveText(problemLabel, current.error);
    const bool playable = shapePlot->show(current.ok ? &current.samples : nullptr, evaluatedSamples, frequency,
        tr("Nothing to plot while the formula has a problem"));
    okButton->setEnabled(current.ok && playable);
}
