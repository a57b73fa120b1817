// The parser of arbitrary-waveform files (CSV, text, WAV): any bytes give
// either one period of 2 to 262143 finite samples scaled to -1..1, or a
// message naming the file; nothing else may happen, in either reading of
// commas.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kd7240fp_shapefile.h"

namespace {

void check(const kd7240fp::ShapeFile &file)
{
    if (!file.ok) {
        if (!file.error.contains(QLatin1String("fuzz.csv")) || !file.samples.empty() || file.decimalCommaSuspect)
            std::abort();
        return;
    }
    const std::size_t n = file.samples.size();
    if (n < std::size_t(kd7240fp::minShapeSamples) || n > std::size_t(kd7240fp::maxShapeSamples))
        std::abort();
    double largest = 0;
    for (const double s : file.samples) {
        if (!std::isfinite(s) || std::fabs(s) > 1)
            std::abort();
        largest = std::max(largest, std::fabs(s));
    }
    if (largest != 0 && largest != 1)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const kd7240fp::ShapeFile file = kd7240fp::parseShape(bytes, QStringLiteral("fuzz.csv"));
    check(file);
    const kd7240fp::ShapeFile commas
        = kd7240fp::parseShape(bytes, QStringLiteral("fuzz.csv"), kd7240fp::ShapeReading::DecimalCommas);
    check(commas);
    // A suspected single column with decimal commas reads as one.
    if (file.decimalCommaSuspect && (!commas.ok || commas.samples.size() != file.samples.size()))
        std::abort();
    return 0;
}
