#ifndef KD7010FP_ICONS_H
#define KD7010FP_ICONS_H

#include <QPixmap>

// The 16 x 16 window icon of the panel and of the connection dialogs.
extern const char *const connectIcon_xpm[];

QPixmap connectIconPixmap();

#endif
