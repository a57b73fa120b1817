// Whether a widget, as it is drawn, shows a picture: the pictures of icon
// buttons are checked where the operator sees them, not against a copy of
// their art.
#ifndef DRAWNPICTURE_H
#define DRAWNPICTURE_H

#include <QHash>
#include <QImage>
#include <QStringList>
#include <QWidget>

// True when every opaque pixel of `picture` appears, in its colour, at one
// place of `widget`'s drawing (transparent pixels show whatever is behind).
inline bool showsPicture(QWidget *widget, QImage picture)
{
    picture = picture.convertToFormat(QImage::Format_ARGB32);
    const QImage drawn = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    if (picture.isNull() || drawn.width() < picture.width() || drawn.height() < picture.height())
        return false;
    for (int top = 0; top + picture.height() <= drawn.height(); ++top)
        for (int left = 0; left + picture.width() <= drawn.width(); ++left) {
            bool same = true;
            for (int y = 0; same && y < picture.height(); ++y)
                for (int x = 0; same && x < picture.width(); ++x) {
                    const QRgb p = picture.pixel(x, y);
                    same = qAlpha(p) < 255 || (drawn.pixel(left + x, top + y) & 0xffffff) == (p & 0xffffff);
                }
            if (same)
                return true;
        }
    return false;
}

// A picture drawn from its rows, '/' between them: each character is the
// colour `colours` gives it, or transparent when it gives none.
inline QImage pictureFromRows(const QString &rows, const QHash<QChar, QRgb> &colours)
{
    const QStringList lines = rows.split(QLatin1Char('/'));
    QImage picture(int(lines.value(0).size()), int(lines.size()), QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width() && x < lines[y].size(); ++x)
            if (colours.contains(lines[y][x]))
                picture.setPixel(x, y, colours.value(lines[y][x]));
    return picture;
}

#endif
