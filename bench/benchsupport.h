// Small helpers the benchmarks share.
#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <QApplication>
#include <QLabel>
#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <unistd.h>
#include <vector>

// The middle of a set of measurements: one slow run on a shared machine does
// not move it.
inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The fastest of `rounds` runs of `fn`, in milliseconds: the run the
// machine's other work disturbed least.
inline double bestMs(const std::function<void()> &fn, int rounds = 30)
{
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        fn();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

// The GUI started as the panel starts it, once the QApplication exists: a
// window shown and drawn. Code that ran before it may leave the processor's
// vector state dirty, which is what the benchmarks timed before and after
// it look for.
inline void drawAWindow()
{
    QLabel window(QStringLiteral("the GUI has started"));
    window.show();
    for (int k = 0; k < 5; ++k)
        QApplication::processEvents();
    window.grab();
}

// This process's resident memory in MB.
inline double residentMB()
{
    long pages = 0, resident = 0;
    if (std::FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

#endif
