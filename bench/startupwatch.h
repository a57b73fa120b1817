// What a child of bench_startup reports: when its first window and its
// first message box are drawn, and its resident memory once the window that
// counts is up. Shared by the panel and the bare program it is measured
// against.
#ifndef STARTUPWATCH_H
#define STARTUPWATCH_H

#include <QEvent>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "benchsupport.h"

inline double startupNowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Notes the first window and the first message box drawn, and once the
// window that counts is up (`finalClass`, or any for the bare program)
// prints the figures and ends the process.
class StartupWatch : public QObject
{
public:
    explicit StartupWatch(const char *finalClass) : finalClass(finalClass) {}

    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *w = qobject_cast<QWidget *>(object);
        if (!w || !w->isWindow())
            return false;
        if (event->type() == QEvent::Paint && firstMs < 0)
            firstMs = startupNowMs();
        if (event->type() == QEvent::Paint && boxMs < 0 && qobject_cast<QMessageBox *>(w))
            boxMs = startupNowMs();
        if (event->type() == QEvent::Show && (!finalClass || qstrcmp(w->metaObject()->className(), finalClass) == 0))
            QTimer::singleShot(200, [this] {
                std::printf("FIRST %.3f BOX %.3f RSS %.2f\n", firstMs, boxMs, residentMB());
                std::fflush(stdout);
                std::_Exit(0);
            });
        return false;
    }

    double boxMs = -1;

private:
    const char *finalClass;
    double firstMs = -1;
};

#endif
