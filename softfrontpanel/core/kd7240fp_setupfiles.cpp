#include "kd7240fp_setupfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "kd7010fp_settingsfile.h"
#include "kd7240fp_setup.h"

QString kd7240fp_setupFiles::save(const QString &path, const kd7240fp::Settings &settings)
{
    QString error;
    kd7240fp::writeSetupFile(path, settings, &error);
    return error;
}

kd7240fp_setupFiles::Opened kd7240fp_setupFiles::open(const QString &path, const kd7240fp::CardRange &range)
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

void kd7240fp_setupFiles::fitToCard(
    kd7240fp::Settings &settings, const kd7240fp::CardRange &range, const QString &heading, QString *changes)
{
    const QStringList changed = kd7240fp::fitSetup(settings, range.offsets, range.maxAmplitude);
    *changes = changed.isEmpty() ? QString() : heading + QLatin1Char('\n') + changed.join(QLatin1Char('\n'));
}

QString kd7240fp_setupFiles::lastPath()
{
    return kd7010fp_settingsFile::beside(QStringLiteral("Last.kd7240"));
}

kd7240fp_setupFiles::Opened kd7240fp_setupFiles::openLast(const kd7240fp::CardRange &range)
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

QString kd7240fp_setupFiles::saveLast(const kd7240fp::Settings &settings)
{
    const QString path = lastPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return tr("Cannot make the folder \"%1\".").arg(QDir::toNativeSeparators(folder));
    return save(path, settings);
}
