#include "kd7240fp_shapeloader.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

#include "kd7010fp_app.h"
#include "kd7010fp_fcenteraddress.h"
#include "kd7240fp_shapefile.h"

std::optional<kd7240fp_shapeLoader::Shape> kd7240fp_shapeLoader::ask(QWidget *parent)
{
    QSettings settings(kd7010fp_fcEnterAddress::settingsFilePath(), QSettings::IniFormat);
    const QString folderKey = QStringLiteral("7240/ShapeFolder");
    const QString path = QFileDialog::getOpenFileName(parent, tr("Load Arbitrary Waveform"),
        settings.value(folderKey).toString(), tr("Waveforms (*.csv *.txt *.wav);;All files (*)"));
    if (path.isEmpty())
        return std::nullopt;
    settings.setValue(folderKey, QFileInfo(path).absolutePath());
    return load(path);
}

std::optional<kd7240fp_shapeLoader::Shape> kd7240fp_shapeLoader::load(const QString &path)
{
    kd7240fp::ShapeFile file = kd7240fp::readShapeFile(path);
    if (!file.ok) {
        kd7010fp_app::warningMessage(file.error);
        return std::nullopt;
    }
    return Shape { std::move(file.samples), path };
}
