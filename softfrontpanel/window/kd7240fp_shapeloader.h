// Shapes from files as the operator loads them: the file dialog, which
// starts in the folder used last (kept beside the address history), and the
// reading. What stands in the way, or must be asked first, comes back in the
// operator's words; the window shows it.
#ifndef KD7240FP_SHAPELOADER_H
#define KD7240FP_SHAPELOADER_H

#include <QCoreApplication>
#include <QString>
#include <optional>
#include <vector>

#include "kd7240fp_shapefile.h"

class QWidget;

class kd7240fp_shapeLoader
{
    Q_DECLARE_TR_FUNCTIONS(kd7240fp_shapeLoader)

public:
    struct Shape
    {
        std::vector<double> samples; // one period, normalised to -1..1
        QString path;
    };
    struct Loaded
    {
        std::optional<Shape> shape; // nothing when the file cannot be used
        QString problem; // why not, naming the file
        // Non-empty when the file reads two ways: ask this (Yes: the first
        // column, as loaded), and on No load it again with DecimalCommas.
        QString question;
    };

    // Asks for a file; empty when the operator cancels.
    static QString askPath(QWidget *parent);
    // Reads one period from `path`.
    static Loaded load(const QString &path, kd7240fp::ShapeReading reading = kd7240fp::ShapeReading::Auto);
};

#endif
