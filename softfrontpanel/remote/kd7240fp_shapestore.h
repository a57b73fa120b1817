// The shapes a client sent with DATA:ARBitrary, by name, for FUNCtion:ARBitrary
// to choose: read from numbers or binary blocks in the byte order
// FORMat:BORDer names, and kept within a count and a total size, so that no
// client fills the panel's memory with them.
#ifndef KD7240FP_SHAPESTORE_H
#define KD7240FP_SHAPESTORE_H

#include <QByteArray>
#include <map>
#include <vector>

#include "kd7010fp_scpi.h"

class kd7240fp_shapeStore
{
public:
    // DATA:ARBitrary name, values: -1 to 1, or in DAC units (DATA:ARBitrary:DAC).
    bool store(kd7010fp_scpi::Call &call, bool dacUnits);
    // DATA:VOLatile:CLEar and DATA:VOLatile:CATalog?.
    void clear(kd7010fp_scpi::Call &call);
    void catalogue(kd7010fp_scpi::Call &call) const;
    // FORMat:BORDer NORMal|SWAPped and its query.
    void setByteOrder(kd7010fp_scpi::Call &call);
    void queryByteOrder(kd7010fp_scpi::Call &call) const;
    // *RST: blocks big-endian again; the shapes stay.
    void reset() { swapped = false; }

    // A shape's name as a client types it, made the name it is kept under.
    static QByteArray nameOf(const QByteArray &typed) { return typed.trimmed().toUpper(); }
    // The shape kept under `name`, or nothing.
    const std::vector<double> *find(const QByteArray &name) const;

private:
    // At most maxShapes of maxStoredSamples samples in all (sixteen of the
    // longest, 32 MiB).
    static constexpr size_t maxShapes = 32;
    static constexpr size_t maxStoredSamples = size_t(1) << 22;
    std::map<QByteArray, std::vector<double>> shapes;
    size_t storedSamples = 0;
    std::vector<double> room; // what the last shape replaced, for the next one
    bool swapped = false; // SWAPped: blocks little-endian
};

#endif
