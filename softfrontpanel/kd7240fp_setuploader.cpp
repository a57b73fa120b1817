#include "kd7240fp_setuploader.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <cstdio>

#include "kd7010fp_app.h"
#include "kd7010fp_fcenteraddress.h"
#include "kd7240fp_remembered.h"
#include "kd7240fp_setup.h"

namespace {
const QString folderKey = QStringLiteral("7240/SetupFolder");
}

void kd7240fp_setupLoader::askSave(QWidget *parent, const kd7240fp::Settings &settings)
{
    QString path = QFileDialog::getSaveFileName(
        parent, tr("Save Setup"), kd7240fp::remembered(folderKey).toString(), tr("Setups (*.kd7240)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".kd7240");
    kd7240fp::remember(folderKey, QFileInfo(path).absolutePath());
    QString error;
    if (!kd7240fp::writeSetupFile(path, settings, &error))
        kd7010fp_app::warningMessage(error);
}

QString kd7240fp_setupLoader::askOpen(QWidget *parent)
{
    const QString path = QFileDialog::getOpenFileName(
        parent, tr("Open Setup"), kd7240fp::remembered(folderKey).toString(), tr("Setups (*.kd7240);;All files (*)"));
    if (!path.isEmpty())
        kd7240fp::remember(folderKey, QFileInfo(path).absolutePath());
    return path;
}

std::optional<kd7240fp::Settings> kd7240fp_setupLoader::open(const QString &path, const Range &range)
{
    kd7240fp::SetupRead read = kd7240fp::readSetupFile(path);
    if (!read.ok) {
        kd7010fp_app::warningMessage(read.error);
        return std::nullopt;
    }
    const QStringList changed = kd7240fp::fitSetup(read.settings, range.offsets, range.maxAmplitude);
    if (!changed.isEmpty())
        kd7010fp_app::infoMessage(tr("\"%1\" holds values beyond this card's output range; they were changed:\n%2")
                                      .arg(QFileInfo(path).fileName(), changed.join(QLatin1Char('\n'))));
    return read.settings;
}

QString kd7240fp_setupLoader::lastPath()
{
    return QFileInfo(kd7010fp_fcEnterAddress::settingsFilePath()).dir().filePath(QStringLiteral("Last.kd7240"));
}

std::optional<kd7240fp::Settings> kd7240fp_setupLoader::openLast(const Range &range)
{
    const QString path = lastPath();
    if (!QFileInfo::exists(path))
        return std::nullopt;
    kd7240fp::SetupRead read = kd7240fp::readSetupFile(path);
    if (!read.ok) {
        std::fprintf(stderr, "kd7240fp: the last setup is not used: %s\n", qPrintable(read.error));
        return std::nullopt;
    }
    kd7240fp::fitSetup(read.settings, range.offsets, range.maxAmplitude);
    return read.settings;
}

void kd7240fp_setupLoader::saveLast(const kd7240fp::Settings &settings)
{
    const QString path = lastPath();
    QString error;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !kd7240fp::writeSetupFile(path, settings, &error))
        std::fprintf(stderr, "kd7240fp: the settings could not be kept for the next start: %s\n", qPrintable(error));
}
