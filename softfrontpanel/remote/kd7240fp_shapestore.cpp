#include "kd7240fp_shapestore.h"

#include <QtEndian>
#include <algorithm>
#include <climits>
#include <cmath>

#include "kd7240fp_shapefile.h"

using namespace kd7010fp_scpi;

namespace {

bool validName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > 40)
        return false;
    return std::all_of(
        name.begin(), name.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; });
}

// The values of a block, in its byte order, as they are: whether all lie
// within +-full.
template <typename T> bool decode(const char *bytes, bool littleEndian, std::vector<double> *values, double full)
{
    bool inRange = true;
    double *out = values->data();
    const size_t count = values->size();
    for (size_t i = 0; i < count; ++i, bytes += sizeof(T)) {
        const double v = littleEndian ? qFromLittleEndian<T>(bytes) : qFromBigEndian<T>(bytes);
        out[i] = v;
        inRange &= std::fabs(v) <= full; // false for a NaN too
    }
    return inRange;
}

} // namespace

bool kd7240fp_shapeStore::store(Call &call, bool dacUnits)
{
    QByteArray name;
    if (!call.expect(2, INT_MAX) || !call.text(0, &name))
        return false;
    name = nameOf(name);
    if (!validName(name))
        return call.error(-224, "a shape's name is 1 to 40 letters; digits or _");
    const double full = dacUnits ? 32767 : 1;
    // Read into the room the last shape replaced: a client sending its
    // shape again and again costs no allocation. A shape refused gives the
    // memory it was read into back.
    std::vector<double> &values = room;
    struct Release
    {
        std::vector<double> &values;
        bool kept = false;
        ~Release()
        {
            if (!kept)
                std::vector<double>().swap(values);
        }
    } release { values };
    QByteArrayView block;
    // One value after the name is a block: no shape has a single sample, and
    // a lone number is answered once (-104), not again for its length.
    if (call.count() == 2) {
        if (!call.block(1, &block))
            return false;
        // IEEE 488.2 block: float32 (-1 to 1) or int16 (DAC units), in the
        // byte order FORMat:BORDer names, big-endian (NORMal) by default.
        const int width = dacUnits ? 2 : 4;
        if (block.size() % width != 0)
            return call.error(-161, "the block holds no whole number of values");
        values.resize(size_t(block.size() / width));
        // Read in a loop of its own, which the compiler keeps free of
        // branches; what is beyond the full scale, or no number at all, is
        // looked for only when the loop saw some.
        const bool inRange = dacUnits ? decode<qint16>(block.data(), swapped, &values, full)
                                      : decode<float>(block.data(), swapped, &values, full);
        if (!inRange) {
            bool clipped = false;
            for (size_t i = 0; i < values.size(); ++i) {
                double &v = values[i];
                if (!std::isfinite(v))
                    return call.error(-224, "value " + QByteArray::number(qulonglong(i)) + " is not finite");
                clipped = clipped || std::fabs(v) > full;
                v = std::clamp(v, -full, full);
            }
            if (clipped)
                call.status().error(-222, "values beyond the full scale were clipped");
        }
    } else if (!call.numbers(1, Unit::None, Range { -full, full, 0 }, &values)) {
        return false;
    }
    if (dacUnits)
        for (double &v : values)
            v /= full;
    if (int(values.size()) > kd7240fp::maxShapeSamples)
        return call.error(-223, "a shape holds at most " + QByteArray::number(kd7240fp::maxShapeSamples) + " samples");
    if (int(values.size()) < kd7240fp::minShapeSamples)
        return call.error(-224, "a shape holds at least " + QByteArray::number(kd7240fp::minShapeSamples) + " samples");
    if (kd7240fp::playsNothing(values))
        return call.error(-224, "every value is 0: there is nothing to play");
    const auto replaced = shapes.find(name);
    const size_t samples = storedSamples - (replaced != shapes.end() ? replaced->second.size() : 0) + values.size();
    if ((replaced == shapes.end() && shapes.size() >= maxShapes) || samples > maxStoredSamples)
        return call.error(-225,
            "the shapes sent keep at most " + QByteArray::number(qulonglong(maxShapes)) + " shapes of "
                + QByteArray::number(qulonglong(maxStoredSamples)) + " samples in all: DATA:VOLatile:CLEar makes room");
    storedSamples = samples;
    std::swap(shapes[name], values);
    release.kept = true;
    return true;
}

void kd7240fp_shapeStore::clear(Call &call)
{
    if (!call.expect(0))
        return;
    shapes.clear();
    storedSamples = 0;
    room = {};
}

void kd7240fp_shapeStore::catalogue(Call &call) const
{
    if (!call.expect(0))
        return;
    if (shapes.empty())
        call.replyString("");
    for (const auto &[name, samples] : shapes)
        call.replyString(name);
}

void kd7240fp_shapeStore::setByteOrder(Call &call)
{
    int which;
    if (call.expect(1) && call.choice(0, { "NORMal", "SWAPped" }, &which))
        swapped = which == 1;
}

void kd7240fp_shapeStore::queryByteOrder(Call &call) const
{
    if (call.expect(0))
        call.replyText(swapped ? "SWAP" : "NORM");
}

const std::vector<double> *kd7240fp_shapeStore::find(const QByteArray &name) const
{
    const auto found = shapes.find(name);
    return found != shapes.end() ? &found->second : nullptr;
}
