// The colours each channel is drawn in, the same in every plot of it (the
// time view, the spectrum), so the eye finds a channel by its colour.
#ifndef KD7240FP_PLOTCOLOURS_H
#define KD7240FP_PLOTCOLOURS_H

#include <QColor>

namespace kd7240fp {

// Channel 0 or 1: blue and orange, which stay apart for the colour-blind too.
inline QColor channelColour(int channel)
{
    return channel == 0 ? QColor(0x15, 0x65, 0xc0) : QColor(0xe0, 0x6c, 0x00);
}

} // namespace kd7240fp

#endif
