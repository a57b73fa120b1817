#include "kd7010fp_settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kd7010fp_settingsFile {

QString path()
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

bool openable(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

QString beside(const QString &name)
{
    return QFileInfo(path()).dir().filePath(name);
}

} // namespace kd7010fp_settingsFile
