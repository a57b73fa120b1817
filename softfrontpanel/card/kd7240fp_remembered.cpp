#include "kd7240fp_remembered.h"

#include <QSettings>

#include "kd7010fp_settingsfile.h"

namespace kd7240fp {

QVariant remembered(const QString &key)
{
    const QString path = kd7010fp_settingsFile::path();
    if (!kd7010fp_settingsFile::openable(path))
        return QVariant();
    return QSettings(path, QSettings::IniFormat).value(key);
}

void remember(const QString &key, const QVariant &value)
{
    const QString path = kd7010fp_settingsFile::path();
    if (kd7010fp_settingsFile::openable(path))
        QSettings(path, QSettings::IniFormat).setValue(key, value);
}

} // namespace kd7240fp
