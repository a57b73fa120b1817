#include "kd7240fp_remembered.h"

#include <QSettings>

#include "kd7010fp_fcenteraddress.h"

namespace kd7240fp {

QVariant remembered(const QString &key)
{
    const QString path = kd7010fp_fcEnterAddress::settingsFilePath();
    if (!kd7010fp_fcEnterAddress::settingsFileOpenable(path))
        return QVariant();
    return QSettings(path, QSettings::IniFormat).value(key);
}

void remember(const QString &key, const QVariant &value)
{
    const QString path = kd7010fp_fcEnterAddress::settingsFilePath();
    if (kd7010fp_fcEnterAddress::settingsFileOpenable(path))
        QSettings(path, QSettings::IniFormat).setValue(key, value);
}

} // namespace kd7240fp
