#include "kd7010fp_splashlabel.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "kd7010fp_icons.h"

#include <cstdio>

namespace {
// Everything but the title bar of the background belongs to the card
// picture (upper part) and the texts (lower part), right of a 67-pixel band.
constexpr int areaLeft = 67;
constexpr int areaWidth = 453;
constexpr int textTop = 236;
constexpr int splashHeight = 400;

QFont boldFont(const QFont &base, int pointSize)
{
    QFont font(base);
    font.setWeight(QFont::Bold);
    font.setPointSize(qMax(1, pointSize));
    return font;
}
} // namespace

kd7010fp_splashLabel::kd7010fp_splashLabel(float scale, int margin, int model, bool hex, QString copyright,
                                           QString description)
    : QPixmap(densityPixmap(QStringLiteral(":/fp_splash.png")))
{
    if (isNull())
        return; // nothing to draw on
    QPainter p(this);

    const QFont titleFont = boldFont(p.font(), int(scale * 18.0));
    const QFont descriptionFont = boldFont(p.font(), int(scale * 12.0));
    const QFont copyrightFont = boldFont(p.font(), 8);
    const int T = QFontMetrics(titleFont).height();
    const int C = QFontMetrics(copyrightFont).height();

    const QString modelText = QStringLiteral("%1").arg(model, 4, hex ? 16 : 10, QLatin1Char(' '));
    const int left = margin + areaLeft;
    const int width = areaWidth - 2 * margin;

    p.setFont(titleFont);
    p.drawText(QRect(left, textTop + T / 2, width, T), Qt::AlignCenter, QStringLiteral("Vantix %1").arg(modelText));
    p.setFont(descriptionFont);
    p.drawText(QRect(left, textTop + 2 * T, width, splashHeight - textTop - 2 * T - 3 * C),
               Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, description);
    p.setFont(copyrightFont);
    p.drawText(QRect(left, splashHeight - 2 * C, width, C), Qt::AlignCenter, copyright);

    // A full-size BMP of the card wins; only its picture area is used.
    const QRect pictureArea(areaLeft, 38, areaWidth, 199);
    // Sizes are the pictures' own, as drawn: a 200 % drawing counts half.
    const QPixmap bmp = densityPixmap(QStringLiteral(":/kd%1fp_splash.bmp").arg(modelText));
    if (bmp.deviceIndependentSize() == QSizeF(520, 400)) {
        p.drawPixmap(pictureArea, bmp, QRectF(QPointF(pictureArea.topLeft()) * bmp.devicePixelRatio(),
                                              QSizeF(pictureArea.size()) * bmp.devicePixelRatio()));
        return;
    }
    const QPixmap png = densityPixmap(QStringLiteral(":/kd%1fp_splash.png").arg(modelText));
    if (png.deviceIndependentSize() == QSizeF(452, 194)) {
        p.drawPixmap(areaLeft, 43, png);
        return;
    }
    std::fputs("The size of the image of the device, that is to be used in the splash screen, is not as required!!!\n",
               stdout);
    std::fflush(stdout);
}
