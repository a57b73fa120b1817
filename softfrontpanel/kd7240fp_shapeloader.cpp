#include "kd7240fp_shapeloader.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "kd7010fp_app.h"
#include "kd7240fp_remembered.h"
#include "kd7240fp_shapefile.h"

std::optional<kd7240fp_shapeLoader::Shape> kd7240fp_shapeLoader::ask(QWidget *parent)
{
    const QString folderKey = QStringLiteral("7240/ShapeFolder");
    const QString path = QFileDialog::getOpenFileName(parent, tr("Load Arbitrary Waveform"),
        kd7240fp::remembered(folderKey).toString(), tr("Waveforms (*.csv *.txt *.wav);;All files (*)"));
    if (path.isEmpty())
        return std::nullopt;
    kd7240fp::remember(folderKey, QFileInfo(path).absolutePath());
    return load(path);
}

std::optional<kd7240fp_shapeLoader::Shape> kd7240fp_shapeLoader::load(const QString &path)
{
    kd7240fp::ShapeFile file = kd7240fp::readShapeFile(path);
    // "0,5" on every line is far more often one column written with decimal
    // commas than two columns of which only the first is wanted.
    if (file.ok && file.decimalCommaSuspect) {
        const int answer = kd7010fp_app::questionBox(QApplication::activeWindow(), QMessageBox::Question,
            QStringLiteral("Vantix ") + panelName + QStringLiteral(" SFP"),
            tr("\"%1\" looks like decimal commas in one column (\"0,5\" for 0.5); load only the first column?")
                .arg(QFileInfo(path).fileName()),
            { tr("&Yes"), tr("&No") }, 1, 1);
        if (answer != 0)
            file = kd7240fp::readShapeFile(path, kd7240fp::ShapeReading::DecimalCommas);
    }
    if (!file.ok) {
        kd7010fp_app::warningMessage(file.error);
        return std::nullopt;
    }
    return Shape { std::move(file.samples), path };
}
