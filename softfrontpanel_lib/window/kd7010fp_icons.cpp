#include "kd7010fp_icons.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>

const char *const connectIcon_xpm[] = {
    "16 16 5 1",
    "# c #808080",
    "a c #ff0000",
    "b c #0000ff",
    "c c #ffffff",
    ". c None",
    "########....aaa.",
    "#########..aaaaa",
    "##########.aaaaa",
    "#########..aaaaa",
    "########....aaa.",
    "................",
    ".bbb....########",
    "bbbbb..#########",
    "bbbbb.##########",
    "bbbbb..#########",
    ".bbb....########",
    "................",
    "c..cc.cc.c.cc.cc",
    "cc.cc.c..c.cc.c.",
    "cc.cc..c.c.c..c.",
    "cc.cc.cc.c.cc.cc",
};

QPixmap connectIconPixmap()
{
    return QPixmap(connectIcon_xpm);
}

QPixmap resourcePixmap(const QString &resource)
{
    if (!QFileInfo::exists(resource))
        return QPixmap();
    QImageReader reader(resource, QFileInfo(resource).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

QPixmap densityPixmap(const QString &resource)
{
    if (qGuiApp && qGuiApp->devicePixelRatio() >= 2) {
        const qsizetype dot = resource.lastIndexOf(QLatin1Char('.'));
        QPixmap twice = resourcePixmap(resource.left(dot) + QStringLiteral("@2x") + resource.mid(dot));
        if (!twice.isNull()) {
            twice.setDevicePixelRatio(2);
            return twice;
        }
    }
    return resourcePixmap(resource);
}

QIcon pixelArtIcon(const QPixmap &picture, const QString &twice)
{
    QIcon icon(picture);
    QPixmap large = twice.isEmpty() ? QPixmap() : resourcePixmap(twice);
    if (large.isNull())
        large = picture.scaled(picture.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    large.setDevicePixelRatio(2);
    icon.addPixmap(large);
    return icon;
}
