// What the panel has to tell at start-up (a setup not taken up, values it
// changed) is told once the window is up, never in a box that would come
// before it or hold an unattended start; and a panel started unattended
// (--start) says everything it tells on standard error too, where a test
// rack reads it.
#ifndef KD7240FP_NOTICES_H
#define KD7240FP_NOTICES_H

#include <QList>
#include <QString>

class kd7240fp_notices
{
public:
    void setUnattended(bool on) { unattended = on; }
    // Standard error, when unattended; the window's boxes say it anyway.
    void echo(const QString &text) const;
    // Kept for show(), and echoed.
    void queue(const QString &text, bool warning);
    // The boxes of what was kept, in order.
    void show();

private:
    struct Notice
    {
        QString text;
        bool warning = false;
    };
    QList<Notice> kept;
    bool unattended = false;
};

#endif
