// DefaultInstrDescr.ini: any file is loaded into the Enter Address dialog
// without harm, and what the dialog then stores loads and stores again to the
// same values. The first input byte chooses a one-card (7240) or a multi-card
// (6208) model; the rest is the file.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "kd7010fp_fcenteraddress.h"
#include "kd7010fp_genfc.h"

namespace {

class Card : public kd7010fp_genFC
{
public:
    explicit Card(qint32 model) { modelCode = model; }
    bool checkModel(quint16 code) override { return code == modelCode; }
    QString getDescription() override { return QString(); }
    QString getCopyright() override { return QString(); }
    QString getSfpRevision() override { return QString(); }
    QString getDriverRevision() override { return QString(); }
    QString getErrorMessage(ViStatus) override { return QString(); }
    ViStatus initCard(const char *, quint16 *, quint16, quint16, ViSession *) override { return -1; }
    ViStatus initAndStore(const char *, quint16 *, qint16, quint16, quint16, ViSession *) override { return -1; }
    ViStatus reinitCard(ViSession *) override { return -1; }
    ViStatus closeCard(ViSession) override { return 0; }
};

QTemporaryDir *folder;
kd7010fp_fcEnterAddress *dialogs[2];

// Every value the dialog keeps for its model, as text. Other keys of the
// group are kept as far as the INI format lets them be written again (a key
// of odd characters may come back escaped), so only the dialog's own count.
QStringList stored(const QString &file, const QString &group)
{
    static const QRegularExpression own(QStringLiteral("^(\\d+\\.\\d+\\.Descriptor|\\d+\\.FC_Number|FC_Count)$"));
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(group);
    QStringList values;
    for (const QString &key : settings.allKeys())
        if (own.match(key).hasMatch())
            values << key + QLatin1Char('=') + settings.value(key).toString();
    return values;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    folder = new QTemporaryDir;
    // A file that cannot be used is reported in a box; nobody is there to
    // answer it, so each box closes as soon as it waits.
    auto *answer = new QTimer;
    QObject::connect(answer, &QTimer::timeout, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    answer->start(0);
    static Card single(0x7240), multi(0x6208);
    dialogs[0] = new kd7010fp_fcEnterAddress(&single);
    dialogs[1] = new kd7010fp_fcEnterAddress(&multi);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static int run = 0;
    ++run;
    kd7010fp_fcEnterAddress *dialog = dialogs[data[0] & 1];
    const QString first = folder->filePath(QStringLiteral("%1-a.ini").arg(run));
    const QString second = folder->filePath(QStringLiteral("%1-b.ini").arg(run));
    {
        QFile file(first);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
    }

    QStringList descriptors;
    QList<int> numbers;
    dialog->iniFileName = first;
    dialog->loadDefaults();
    dialog->saveDefaults(descriptors, numbers);
    if (descriptors.size() != numbers.size() || descriptors.isEmpty()
        || descriptors.size() > kd7010fp_fcEnterAddress::maxRows)
        std::abort();
    for (const int n : numbers)
        if (n < 0 || n > 8)
            std::abort();

    QFile::copy(first, second);
    dialog->iniFileName = second;
    dialog->loadDefaults();
    QStringList again;
    QList<int> numbersAgain;
    dialog->saveDefaults(again, numbersAgain);
    if (again != descriptors || numbersAgain != numbers || stored(first, dialog->modelName) != stored(second, dialog->modelName))
        std::abort();

    QFile::remove(first);
    QFile::remove(second);
    return 0;
}
