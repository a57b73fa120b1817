#include "kd7010fp_fcenteraddress.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <QVBoxLayout>

#include <optional>

#include "kd7010fp_app.h"
#include "kd7010fp_settingsfile.h"
#include "kd7010fp_fcenteraddressfc.h"
#include "kd7010fp_genfc.h"
#include "kd7010fp_icons.h"

namespace {

const char defaultDescriptor[] = "TCPIP::192.168.2.100::INSTR";

QString descriptorKey(int row, int position) { return QStringLiteral("%1.%2.Descriptor").arg(row).arg(position); }

QString fcNumberKey(int row) { return QStringLiteral("%1.FC_Number").arg(row); }

const QString fcCountKey = QStringLiteral("FC_Count");

QString translated(const char *text) { return QCoreApplication::translate("kd7010fp_fcEnterAddress", text); }

// What the dialog could make of the settings file.
struct SettingsFile
{
    enum State { Missing, Clean, Damaged, NotRegular, Unreadable };
    State state = Missing;
    QByteArray text; // the file's text as UTF-8
    bool recoded = false; // it was UTF-16; text is its UTF-8 rendering
    QString error; // why it could not be opened
    QMap<QString, QVariant> group; // the keys of the group asked for
};

// A UTF-16 file (a copy saved as "Unicode" by another editor) as UTF-8
// text, or nothing when the file is no UTF-16.
std::optional<QByteArray> utf16AsUtf8(const QByteArray &bytes)
{
    std::optional<QStringConverter::Encoding> encoding;
    if (bytes.startsWith("\xff\xfe")) {
        encoding = QStringConverter::Utf16LE;
    } else if (bytes.startsWith("\xfe\xff")) {
        encoding = QStringConverter::Utf16BE;
    } else if (bytes.contains('\0')) {
        // No byte-order mark: the zero bytes of ASCII text lie on one side.
        qsizetype odd = 0;
        for (qsizetype i = 1; i < bytes.size(); i += 2)
            odd += bytes.at(i) == '\0';
        encoding = 2 * odd >= bytes.count('\0') ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
    }
    if (!encoding)
        return std::nullopt;
    QStringDecoder decode(*encoding);
    const QString text = decode(bytes);
    return text.toUtf8();
}

// Reads the settings file and the keys of `group`. Only a regular file is
// ever opened: a FIFO in its place would block the open for good.
SettingsFile readSettingsFile(const QString &path, const QString &group)
{
    SettingsFile file;
    const QFileInfo info(path);
    if (!info.exists())
        return file;
    if (!info.isFile()) {
        file.state = SettingsFile::NotRegular;
        return file;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        file.state = SettingsFile::Unreadable;
        file.error = in.errorString();
        return file;
    }
    const QByteArray bytes = in.readAll();
    const std::optional<QByteArray> recoded = utf16AsUtf8(bytes);
    file.recoded = recoded.has_value();
    file.text = recoded.value_or(bytes);

    // QSettings keeps one parsed copy of a file per process and reports a
    // parse error only the first time it reads the file, so the text is
    // parsed from a copy of its own. What it reads of a damaged file is kept.
    QTemporaryFile copy(QDir(QDir::tempPath()).filePath(QStringLiteral("DefaultInstrDescr-XXXXXX.ini")));
    const bool copied = copy.open() && copy.write(file.text) == file.text.size() && copy.flush();
    QSettings settings(copied ? copy.fileName() : path, QSettings::IniFormat);
    file.state = file.recoded || settings.status() != QSettings::NoError ? SettingsFile::Damaged : SettingsFile::Clean;
    if (!group.isEmpty()) {
        settings.beginGroup(group);
        for (const QString &key : settings.childKeys())
            file.group.insert(key, settings.value(key));
    }
    return file;
}

// Copies a damaged file before it is written over. An identical copy made
// earlier is kept as it is; *made tells whether a new one was made.
bool keepCopy(const QString &path, const QString &backup, bool *made, QString *error)
{
    *made = false;
    QFile earlier(backup);
    QFile current(path);
    if (earlier.open(QIODevice::ReadOnly) && current.open(QIODevice::ReadOnly)
        && earlier.readAll() == current.readAll())
        return true;
    earlier.close();
    QFile::remove(backup);
    QFile source(path);
    if (!source.copy(backup)) {
        *error = source.errorString();
        return false;
    }
    *made = true;
    return true;
}

// Why the settings file cannot be written, as far as can be told.
QString writeProblem(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return translated("its folder %1 cannot be created").arg(QDir::toNativeSeparators(folder));
    if (info.exists()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite))
            return file.errorString();
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("XXXXXX.tmp")));
    if (!probe.open())
        return translated("its folder %1 takes no new files: %2")
            .arg(QDir::toNativeSeparators(folder), probe.errorString());
    return translated("the system refused to write it");
}

// True the first time `what` is asked about in this process.
bool firstTime(const QString &what)
{
    static QSet<QString> told;
    if (told.contains(what))
        return false;
    told.insert(what);
    return true;
}

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

    // Return anywhere in the dialog presses OK; Tab follows the layout: the
    // rows top to bottom, then the count and the buttons.
    okButton->setDefault(true);
    QWidget *previous = nullptr;
    for (int r = 0; r < rowCount; ++r) {
        if (previous)
            setTabOrder(previous, rows[r]->descriptorBox);
        setTabOrder(rows[r]->descriptorBox, rows[r]->fcNumberBox);
        previous = rows[r]->fcNumberBox;
    }
    setTabOrder(previous, countBox);
    setTabOrder(countBox, okButton);
    setTabOrder(okButton, cancelButton);

    connect(countBox, &QComboBox::currentIndexChanged, this, &kd7010fp_fcEnterAddress::countChanged);
    countChanged();
}

QString kd7010fp_fcEnterAddress::settingsFilePath()
{
    return kd7010fp_settingsFile::path();
}

bool kd7010fp_fcEnterAddress::settingsFileOpenable(const QString &path)
{
    return kd7010fp_settingsFile::openable(path);
}

void kd7010fp_fcEnterAddress::showEvent(QShowEvent *event)
{
    // The operator starts by typing the address: every showing opens with the
    // first descriptor selected, so typing replaces it.
    QComboBox *first = rows[0]->descriptorBox;
    first->setFocus(Qt::OtherFocusReason);
    if (first->lineEdit())
        first->lineEdit()->selectAll();
    QDialog::showEvent(event);
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
    // Whatever Qt could read of the model's group counts, even from a file
    // with a damaged line elsewhere.
    const SettingsFile file = readSettingsFile(iniFileName, modelName);
    const auto value = [&](const QString &key) { return file.group.value(key); };

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
}

void kd7010fp_fcEnterAddress::saveDefaults(QStringList &descriptors, QList<int> &fcNumbers)
{
    QList<QPair<QString, QVariant>> entries;
    const auto setValue = [&](const QString &key, const QVariant &value) {
        entries.append({ modelName + QLatin1Char('/') + key, value });
    };
    descriptors.clear();
    fcNumbers.clear();

    const int count = countBox->currentIndex() + 1;
    for (int r = 1; r <= maxRows && rows[r - 1]; ++r) {
        kd7010fp_fcEnterAddressFc *row = rows[r - 1];
        // Blanks typed around a descriptor are no part of it: VISA would
        // not find " VXI0::8::INSTR ".
        const QString current = row->descriptorBox->currentText().trimmed();
        setValue(descriptorKey(r, 1), current);

        QStringList history(current);
        for (int i = 0; i < row->descriptorBox->count(); ++i)
            history.append(row->descriptorBox->itemText(i).trimmed());
        history.removeDuplicates();

        const int n = qMin(int(history.size()), historyLength);
        for (int k = 1; k <= historyLength; ++k)
            setValue(descriptorKey(r, k), k <= n ? history.at(k - 1) : QString());

        setValue(fcNumberKey(r), row->fcNumberBox->currentIndex());
        if (r <= count) {
            descriptors.append(current);
            fcNumbers.append(row->fcNumberBox->currentIndex());
        }
    }
    setValue(fcCountKey, count);

    const QString problem = store(entries);
    if (!problem.isEmpty())
        kd7010fp_app::warningMessage(problem);
}

QString kd7010fp_fcEnterAddress::store(const QList<QPair<QString, QVariant>> &entries) const
{
    const QString shown = QDir::toNativeSeparators(iniFileName);
    // Each trouble with the file is told once per process, not at every OK.
    const auto once = [&](const char *kind, const QString &text) {
        return firstTime(iniFileName + QLatin1Char('\n') + QLatin1String(kind)) ? text : QString();
    };

    const SettingsFile file = readSettingsFile(iniFileName, QString());
    if (file.state == SettingsFile::NotRegular)
        return once("type",
            tr("%1 is not a regular file, so it is left alone: the addresses entered are not remembered.").arg(shown));
    if (file.state == SettingsFile::Unreadable)
        return once("read",
            tr("%1 cannot be read (%2), so it is not written over: the addresses entered are not remembered.")
                .arg(shown, file.error));

    QString note;
    bool written = true;
    if (file.state == SettingsFile::Damaged) {
        // Writing keeps only what Qt could read, so the operator's file is
        // copied first.
        const QString backup = iniFileName + QStringLiteral(".bak");
        bool made = false;
        QString error;
        if (!keepCopy(iniFileName, backup, &made, &error))
            return once("backup",
                tr("%1 could not be read completely and no copy of it could be kept (%2), so it is left as it is: "
                   "the addresses entered are not remembered.")
                    .arg(shown, error));
        if (made && file.recoded)
            note = tr("%1 was saved as UTF-16 text; it is written as UTF-8 from now on, and a copy of it as it was "
                      "is kept as %2.")
                       .arg(shown, QDir::toNativeSeparators(backup));
        else if (made)
            note = tr("%1 could not be read completely, so a copy of it was kept as %2 before writing to it.")
                       .arg(shown, QDir::toNativeSeparators(backup));
        if (file.recoded) {
            // Stored as UTF-8 from now on, every group of it.
            QSaveFile out(iniFileName);
            out.setDirectWriteFallback(true);
            written = out.open(QIODevice::WriteOnly) && out.write(file.text) == file.text.size() && out.commit();
        }
    }

    if (written) {
        QSettings settings(iniFileName, QSettings::IniFormat);
        for (const auto &entry : entries)
            settings.setValue(entry.first, entry.second);
        settings.sync();
        // A parse error met on the way in stays the status and hides a
        // failed write, so a file that was damaged is read once more.
        written = settings.status() == QSettings::NoError
            || (settings.status() == QSettings::FormatError
                && readSettingsFile(iniFileName, QString()).state == SettingsFile::Clean);
    }
    if (!written) {
        const QString failure = once("write",
            tr("The addresses entered are not remembered: %1 cannot be written (%2).")
                .arg(shown, writeProblem(iniFileName)));
        if (!failure.isEmpty())
            note = note.isEmpty() ? failure : note + QStringLiteral("\n\n") + failure;
    }
    return note;
}
