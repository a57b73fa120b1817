// The order of descriptors in the search's list. The input is descriptors,
// one per line. The order must never put a descriptor before itself nor two
// descriptors each before the other, and sorting by it must end and give back
// the same descriptors, whatever cycles the order has.
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kd7010fp_app.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QStringList descriptors = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size))
                                        .split(QLatin1Char('\n'))
                                        .mid(0, 64);
    for (const QString &a : descriptors) {
        if (kd7010fp_app::descriptorLess(a, a))
            std::abort();
        for (const QString &b : descriptors)
            if (kd7010fp_app::descriptorLess(a, b) && kd7010fp_app::descriptorLess(b, a))
                std::abort();
    }
    QStringList sorted = descriptors;
    kd7010fp_app::sortByDescriptor(sorted.begin(), sorted.end(), [](const QString &d) { return d; });
    QStringList original = descriptors;
    std::sort(original.begin(), original.end());
    std::sort(sorted.begin(), sorted.end());
    if (sorted != original)
        std::abort();
    return 0;
}
