#include "kd7240fp_setuploader.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "kd7010fp_fcenteraddress.h"
#include "kd7240fp_remembered.h"
#include "kd7240fp_setup.h"

namespace {
const QString folderKey = QStringLiteral("7240/SetupFolder");
const QString suffix = QStringLiteral("kd7240");
}

QString kd7240fp_setupLoader::askSavePath(QWidget *parent, bool *replaceUnasked)
{
    *replaceUnasked = false;
    QFileDialog dialog(parent, tr("Save Setup"), kd7240fp::remembered(folderKey).toString(), tr("Setups (*.kd7240)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog adds the suffix itself, so it asks about the file that is
    // written: "keep" beside an existing keep.kd7240 is that file.
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    QString path = dialog.selectedFiles().constFirst();
    if (path.isEmpty())
        return QString();
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1Char('.') + suffix;
        *replaceUnasked = QFileInfo::exists(path);
    }
    kd7240fp::remember(folderKey, QFileInfo(path).absolutePath());
    return path;
}

QString kd7240fp_setupLoader::save(const QString &path, const kd7240fp::Settings &settings)
{
    QString error;
    kd7240fp::writeSetupFile(path, settings, &error);
    return error;
}

QString kd7240fp_setupLoader::askOpen(QWidget *parent)
{
    const QString path = QFileDialog::getOpenFileName(
        parent, tr("Open Setup"), kd7240fp::remembered(folderKey).toString(), tr("Setups (*.kd7240);;All files (*)"));
    if (!path.isEmpty())
        kd7240fp::remember(folderKey, QFileInfo(path).absolutePath());
    return path;
}

kd7240fp_setupLoader::Opened kd7240fp_setupLoader::open(const QString &path, const kd7240fp::CardRange &range)
{
    Opened opened;
    kd7240fp::SetupRead read = kd7240fp::readSetupFile(path);
    if (!read.ok) {
        opened.problem = read.error;
        return opened;
    }
    fitToCard(read.settings, range,
        tr("\"%1\" holds values beyond this card's output range or with more decimals than its boxes show; they were "
           "changed:")
            .arg(QFileInfo(path).fileName()),
        &opened.changes);
    opened.settings = std::move(read.settings);
    return opened;
}

void kd7240fp_setupLoader::fitToCard(
    kd7240fp::Settings &settings, const kd7240fp::CardRange &range, const QString &heading, QString *changes)
{
    const QStringList changed = kd7240fp::fitSetup(settings, range.offsets, range.maxAmplitude);
    *changes = changed.isEmpty() ? QString() : heading + QLatin1Char('\n') + changed.join(QLatin1Char('\n'));
}

QString kd7240fp_setupLoader::lastPath()
{
    return QFileInfo(kd7010fp_fcEnterAddress::settingsFilePath()).dir().filePath(QStringLiteral("Last.kd7240"));
}

kd7240fp_setupLoader::Opened kd7240fp_setupLoader::openLast(const kd7240fp::CardRange &range)
{
    const QString path = lastPath();
    if (!QFileInfo::exists(path))
        return Opened();
    Opened opened = open(path, range);
    if (!opened.problem.isEmpty() && QFileInfo(path).isFile()) {
        // Kept before the panel writes over it at its close, as the address history is.
        const QString backup = path + QStringLiteral(".bak");
        QFile::remove(backup);
        if (QFile::copy(path, backup))
            opened.problem += QLatin1Char('\n')
                + tr("The file is kept as \"%1\"; a new one is written when the panel closes.")
                      .arg(QDir::toNativeSeparators(backup));
    }
    return opened;
}

QString kd7240fp_setupLoader::saveLast(const kd7240fp::Settings &settings)
{
    const QString path = lastPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return tr("Cannot make the folder \"%1\".").arg(QDir::toNativeSeparators(folder));
    return save(path, settings);
}
