// Arbitrary waveforms from files: one period of samples in a CSV or text file
// (a number per line, or the first column) or a WAV file (PCM 8, 16, 24 or 32
// bits, or 32-bit float; the first channel), normalised to -1..1. Pure
// functions, so the tests and the fuzzer call them without a window.
#ifndef KD7240FP_SHAPEFILE_H
#define KD7240FP_SHAPEFILE_H

#include <QByteArray>
#include <QString>
#include <vector>

namespace kd7240fp {

// A period holds 2 to 262143 samples; longer files are refused, not cut.
constexpr int minShapeSamples = 2;
constexpr int maxShapeSamples = 262143;

struct ShapeFile
{
    bool ok = false;
    std::vector<double> samples; // normalised: the largest magnitude is 1 (all zeros stay zeros)
    QString error; // what is wrong, naming the file and the line or the reason
};

// Reads one period from the bytes of a file named `name` (for messages). A
// file starting with "RIFF....WAVE" is read as WAV, anything else as text.
ShapeFile parseShape(const QByteArray &bytes, const QString &name);
// The same from a file on disk.
ShapeFile readShapeFile(const QString &path);

// Divides by the largest magnitude, so the samples span at most -1..1.
void normalise(std::vector<double> &samples);

} // namespace kd7240fp

#endif
