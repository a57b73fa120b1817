// Shapes from files as the operator loads them: the file dialog, which
// starts in the folder used last (kept beside the address history), the
// reading, and the report of a file that cannot be used.
#ifndef KD7240FP_SHAPELOADER_H
#define KD7240FP_SHAPELOADER_H

#include <QCoreApplication>
#include <QString>
#include <optional>
#include <vector>

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

    // Asks for a file and reads it; nothing when the operator cancels or
    // the file cannot be used (then it is reported).
    static std::optional<Shape> ask(QWidget *parent);
    // Reads one period from `path`; a file that cannot be used is reported.
    static std::optional<Shape> load(const QString &path);
};

#endif
