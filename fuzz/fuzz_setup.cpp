// Setup files: any bytes are either refused with a message naming the file,
// or give settings every box can show; what is read writes and reads back to
// the same settings.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kd7240fp_setup.h"
#include "kd7240fp_shapefile.h"

namespace {

bool sound(const kd7240fp::ChannelSettings &c)
{
    if (c.waveType < 0 || c.waveType > 5 || c.filterIndex < 0 || c.filterIndex > 4 || c.lastFilter < 0
        || c.lastFilter > 3 || !(c.amplitude >= 0) || !std::isfinite(c.offset) || !(c.phase >= 0 && c.phase < 360)
        || !(c.duty >= 1 && c.duty <= 99))
        return false;
    if (c.waveType == kd7240fp::waveArbitrary && c.shape.empty())
        return false;
    if (!c.shape.empty()
        && (c.shape.size() < std::size_t(kd7240fp::minShapeSamples)
            || c.shape.size() > std::size_t(kd7240fp::maxShapeSamples)))
        return false;
    for (const double v : c.shape)
        if (!std::isfinite(v) || std::fabs(v) > 1)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const kd7240fp::SetupRead read = kd7240fp::readSetup(bytes, QStringLiteral("fuzz.kd7240"));
    if (!read.ok) {
        if (!read.error.contains(QLatin1String("fuzz.kd7240")) || !(read.settings == kd7240fp::Settings()))
            std::abort();
        return 0;
    }
    const kd7240fp::CommonSettings &c = read.settings.common;
    if (c.frequency < 1 || c.frequency > 100000 || c.cycles < 1 || c.cycles > 1024 || c.startIndex < 0
        || c.startIndex > 1 || c.stopIndex < 0 || c.stopIndex > 1 || !sound(read.settings.channel[0])
        || !sound(read.settings.channel[1]))
        std::abort();
    const kd7240fp::SetupRead again
        = kd7240fp::readSetup(kd7240fp::writeSetup(read.settings), QStringLiteral("fuzz.kd7240"));
    if (!again.ok || !(again.settings == read.settings))
        std::abort();
    return 0;
}
