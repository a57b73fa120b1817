#include "kd7240fp_shapeloader.h"

#include <QFileDialog>
#include <QFileInfo>

#include "kd7240fp_remembered.h"

QString kd7240fp_shapeLoader::askPath(QWidget *parent)
{
    const QString folderKey = QStringLiteral("7240/ShapeFolder");
    const QString path = QFileDialog::getOpenFileName(parent, tr("Load Arbitrary Waveform"),
        kd7240fp::remembered(folderKey).toString(), tr("Waveforms (*.csv *.txt *.wav);;All files (*)"));
    if (!path.isEmpty())
        kd7240fp::remember(folderKey, QFileInfo(path).absolutePath());
    return path;
}

kd7240fp_shapeLoader::Loaded kd7240fp_shapeLoader::load(const QString &path, kd7240fp::ShapeReading reading)
{
    kd7240fp::ShapeFile file = kd7240fp::readShapeFile(path, reading);
    Loaded loaded;
    if (!file.ok) {
        loaded.problem = file.error;
        return loaded;
    }
    // "0,5" on every line is far more often one column written with decimal
    // commas than two columns of which only the first is wanted.
    if (file.decimalCommaSuspect)
        loaded.question = tr("\"%1\" looks like decimal commas in one column (\"0,5\" for 0.5); load only the first "
                             "column?")
                              .arg(QFileInfo(path).fileName());
    loaded.shape = Shape { std::move(file.samples), path };
    return loaded;
}
