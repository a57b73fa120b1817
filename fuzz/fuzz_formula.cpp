// Formulas the operator types: any text and sample count give either n
// finite samples scaled to -1..1, or a message with a position inside the
// text (or none); nothing else may happen. The first two bytes choose the
// sample count, the rest is the formula in UTF-8.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kd7240fp_formula.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // Up to 4097 samples keep the runs quick; the work grows only linearly with n.
    const int n = 2 + (data[0] | (data[1] << 8)) % 4096;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    const kd7240fp::Formula f = kd7240fp::evaluateFormula(text, n);
    if (!f.ok) {
        if (f.error.isEmpty() || !f.samples.empty())
            std::abort();
        if (f.position != -1 && (f.position < 1 || f.position > text.size() + 1))
            std::abort();
        return 0;
    }
    if (f.samples.size() != std::size_t(n) || !f.error.isEmpty() || f.position != -1)
        std::abort();
    double largest = 0;
    for (const double s : f.samples) {
        if (!std::isfinite(s) || std::fabs(s) > 1)
            std::abort();
        largest = std::max(largest, std::fabs(s));
    }
    if (largest != 1)
        std::abort();
    return 0;
}
