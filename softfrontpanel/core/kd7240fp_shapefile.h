// Arbitrary waveforms from files: one period of samples in a CSV or text file
// (a number per line, or the first column) or a WAV file (PCM 8, 16, 24 or 32
// bits, or 32-bit float; the first channel), normalised to -1..1. Pure
// functions, so the tests and the fuzzer call them without a window.
#ifndef KD7240FP_SHAPEFILE_H
#define KD7240FP_SHAPEFILE_H

#include <QByteArray>
#include <QString>
#include <vector>

#include "kd7240fp_synthesis.h"

namespace kd7240fp {

// A period holds 2 to 262143 samples; longer files are refused, not cut.
constexpr int minShapeSamples = 2;
constexpr int maxShapeSamples = maxSamples;

struct ShapeFile
{
    bool ok = false;
    std::vector<double> samples; // normalised: the largest magnitude is 1
    QString error; // what is wrong, naming the file and the line or the reason
    // Every data line of a text file read by columns holds exactly an integer,
    // a comma and a digit string ("0,5", "-2,25"): most likely one column
    // written with decimal commas rather than two columns (unless a heading
    // names two columns, "v,t"). The samples are still the first column; ask,
    // and read again with DecimalCommas if so.
    bool decimalCommaSuspect = false;
};

// How a text file's commas are taken (WAV files ignore this).
enum class ShapeReading {
    // Columns separated by commas, semicolons or tabs, the first one played.
    // Only a file whose data lines (comments, the heading and surrounding
    // white space aside) hold a semicolon or a tab may write decimal commas:
    // "0,5;1" is 0.5, "0,5" is 0.
    Auto,
    // Commas are decimal points and only semicolons and tabs separate
    // columns: "0,5" is 0.5, "-2,25" is -2.25. The answer No to "load only
    // the first column?" for a decimal-comma suspect.
    DecimalCommas,
};

// Reads one period from the bytes of a file named `name` (for messages). A
// file starting with "RIFF....WAVE" is read as WAV, anything else as text:
// one number per line, or the first column; blank lines, "#" comments and
// one heading line (the first line, when its first field is not number-like)
// are skipped. A file of zeros only is refused. A number-like field that is not finite ("NaN", "inf", "1e400")
// is an error naming the line; one too small to hold ("1e-400") is 0. Files
// that look like UTF-16 or binary data are reported as such.
ShapeFile parseShape(const QByteArray &bytes, const QString &name, ShapeReading reading = ShapeReading::Auto);
// The same from a file on disk.
ShapeFile readShapeFile(const QString &path, ShapeReading reading = ShapeReading::Auto);

// A shape that is 0 throughout: nothing to play, and refused wherever a shape
// comes from (a file, a formula, a setup), so every one of them can be saved
// and opened again.
bool playsNothing(const std::vector<double> &samples);
// A computed shape (a formula, a sweep) whose largest magnitude stays below
// this is 0 but for the rounding of its arithmetic (sin(2 pi k) is 1e-16,
// not 0): scaled to -1..1 it would play that noise at full range.
constexpr double roundingFloor = 1e-9;
bool zeroButRounding(const std::vector<double> &samples);
// The largest magnitude of the samples.
double peakOf(const std::vector<double> &samples);

// Divides by the largest magnitude, so the samples span at most -1..1.
void normalise(std::vector<double> &samples);

} // namespace kd7240fp

#endif
