// What the benchmarks of computations need of a GUI: one drawn window, so
// they are timed in the state the panel's own process is in.
#ifndef BENCHGUI_H
#define BENCHGUI_H

#include <QApplication>
#include <QLabel>

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

#endif
