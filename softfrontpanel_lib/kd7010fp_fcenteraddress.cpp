#include "kd7010fp_fcenteraddress.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "kd7010fp_fcenteraddressfc.h"
#include "kd7010fp_genfc.h"
#include "kd7010fp_icons.h"

namespace {

const char defaultDescriptor[] = "TCPIP::192.168.2.100::INSTR";

QString descriptorKey(int row, int position) { return QStringLiteral("%1.%2.Descriptor").arg(row).arg(position); }

QString fcNumberKey(int row) { return QStringLiteral("%1.FC_Number").arg(row); }

const QString fcCountKey = QStringLiteral("FC_Count");

} // namespace

kd7010fp_fcEnterAddress::kd7010fp_fcEnterAddress(kd7010fp_genFC *card)
    : QDialog(nullptr)
{
    modelName = QStringLiteral("%1").arg(card->modelCode, 4, 16, QLatin1Char(' '));
    const bool multiRow = modelName == QLatin1String("6208") || modelName == QLatin1String("6216");

    iniFileName = settingsFilePath();

    setWindowTitle(multiRow
            ? QStringLiteral("Vantix ") + modelName + QStringLiteral(" SFP: Enter Addresses of Function Cards")
            : QStringLiteral("Vantix ") + modelName + QStringLiteral(" SFP: Enter Function Card Address"));
    setWindowIcon(QIcon(connectIconPixmap()));

    countBox = new QComboBox(this);
    for (int i = 1; i <= maxRows; ++i)
        countBox->addItem(QString::number(i));
    countBox->setCurrentIndex(0);

    auto *buttons = new QHBoxLayout;
    if (multiRow) {
        buttons->addWidget(new QLabel(tr("Count: "), this));
        buttons->addWidget(countBox);
    } else {
        countBox->hide();
    }
    buttons->addStretch();
    auto *okButton = new QPushButton(tr("OK"), this);
    auto *cancelButton = new QPushButton(tr("Cancel"), this);
    okButton->setAutoDefault(false);
    cancelButton->setAutoDefault(false);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    const int rowCount = multiRow ? maxRows : 1;
    for (int r = 0; r < rowCount; ++r) {
        rows[r] = new kd7010fp_fcEnterAddressFc(card, this);
        layout->addWidget(rows[r]);
        layout->addSpacing(10);
    }
    layout->addLayout(buttons);

    connect(countBox, &QComboBox::currentIndexChanged, this, &kd7010fp_fcEnterAddress::countChanged);
    countChanged();
}

QString kd7010fp_fcEnterAddress::settingsFilePath()
{
    const QString profile = qEnvironmentVariable("ALLUSERSPROFILE");
#ifdef Q_OS_WIN
    const QString base = profile.isEmpty() ? QStringLiteral("c:\\vxipnp") : profile;
    return base + QStringLiteral("\\Keldor\\DefaultInstrDescr.ini");
#else
    // Never a file named with backslashes in the current folder.
    const QString base
        = profile.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) : profile;
    return QDir(base).filePath(QStringLiteral("Keldor/DefaultInstrDescr.ini"));
#endif
}

void kd7010fp_fcEnterAddress::countChanged()
{
    const int count = countBox->currentIndex() + 1;
    for (int r = 0; r < maxRows && rows[r]; ++r)
        rows[r]->setEnabled(r + 1 <= count);
    adjustSize();
}

void kd7010fp_fcEnterAddress::loadDefaults()
{
    QSettings settings(iniFileName, QSettings::IniFormat);
    // A file Qt cannot parse counts as no file: the dialog opens with the defaults.
    const bool usable = settings.status() == QSettings::NoError;
    const auto value = [&](const QString &key) { return usable ? settings.value(key) : QVariant(); };
    settings.beginGroup(modelName);

    for (int r = 1; r <= maxRows && rows[r - 1]; ++r) {
        kd7010fp_fcEnterAddressFc *row = rows[r - 1];
        row->descriptorBox->clear();
        row->descriptorBox->clearEditText();
        for (int k = 1; k <= historyLength; ++k) {
            const QString descriptor = value(descriptorKey(r, k)).toString();
            if (!descriptor.isEmpty())
                row->descriptorBox->addItem(descriptor);
            else if (r == 1 && k == 1)
                row->descriptorBox->addItem(QString::fromLatin1(defaultDescriptor));
        }
        if (row->descriptorBox->count() > 0)
            row->descriptorBox->setCurrentIndex(0);

        // A number the box does not offer (or no number at all) reads as
        // "Select", so nothing out of range can reach the driver.
        bool ok = false;
        int number = value(fcNumberKey(r)).toString().toInt(&ok);
        if (!ok || number < 0 || number > kd7010fp_fcEnterAddressFc::maxFcNumber)
            number = 0;
        row->fcNumberBox->setCurrentIndex(number);
    }

    // Checked before the step to an index, so no stored number can overflow it.
    const qlonglong storedCount = value(fcCountKey).toString().toLongLong();
    countBox->setCurrentIndex(storedCount >= 1 && storedCount <= countBox->count() ? int(storedCount - 1) : 0);

    settings.endGroup();
}

void kd7010fp_fcEnterAddress::saveDefaults(QStringList &descriptors, QList<int> &fcNumbers)
{
    QSettings settings(iniFileName, QSettings::IniFormat);
    settings.beginGroup(modelName);
    descriptors.clear();
    fcNumbers.clear();

    const int count = countBox->currentIndex() + 1;
    for (int r = 1; r <= maxRows && rows[r - 1]; ++r) {
        kd7010fp_fcEnterAddressFc *row = rows[r - 1];
        // Blanks typed around a descriptor are no part of it: VISA would
        // not find " VXI0::8::INSTR ".
        const QString current = row->descriptorBox->currentText().trimmed();
        settings.setValue(descriptorKey(r, 1), current);

        QStringList history(current);
        for (int i = 0; i < row->descriptorBox->count(); ++i)
            history.append(row->descriptorBox->itemText(i).trimmed());
        history.removeDuplicates();

        const int n = qMin(int(history.size()), historyLength);
        for (int k = 1; k <= historyLength; ++k)
            settings.setValue(descriptorKey(r, k), k <= n ? history.at(k - 1) : QString());

        settings.setValue(fcNumberKey(r), row->fcNumberBox->currentIndex());
        if (r <= count) {
            descriptors.append(current);
            fcNumbers.append(row->fcNumberBox->currentIndex());
        }
    }
    settings.setValue(fcCountKey, count);
    settings.endGroup();
}
