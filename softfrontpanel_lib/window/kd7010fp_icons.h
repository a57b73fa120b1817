#ifndef KD7010FP_ICONS_H
#define KD7010FP_ICONS_H

#include <QIcon>
#include <QPixmap>
#include <QString>

// The 16 x 16 window icon of the panel and of the connection dialogs.
extern const char *const connectIcon_xpm[];

QPixmap connectIconPixmap();

// A compiled-in picture, read by the decoder its name's extension names: no
// image plugin is loaded to be asked whether it reads it.
QPixmap resourcePixmap(const QString &resource);

// A compiled-in picture for the screens in use: on screens of 200 % and more
// its twice-as-large drawing ("name@2x.ext", device pixel ratio 2) when there
// is one, else the picture itself.
QPixmap densityPixmap(const QString &resource);

// An icon of a small pixel-art picture that stays sharp at 200 %: the
// picture, and beside it `twice` (a drawing at double size) or else the
// picture with every pixel doubled.
QIcon pixelArtIcon(const QPixmap &picture, const QString &twice = QString());

#endif
