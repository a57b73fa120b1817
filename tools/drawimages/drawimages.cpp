// Draws the panel's compiled-in pictures: the maker logo, the VXI and LXI
// text logos, the splash background, the About picture and the 7240 card
// picture; and the application icon of the desktop entry, in the sizes of
// the hicolor theme. Run once after changing a drawing and commit the outputs:
//
//   drawimages softfrontpanel_lib/resources softfrontpanel/resources packaging/icons
//
// Everything is drawn with plain shapes and DejaVu Sans, so the result is
// the same on every machine that has that font.
//
// Last, the splash screen as the program composes it, which it shows from
// these pictures rather than composing it at each start. The composer takes
// the compiled-in background and card picture: after changing those, rebuild
// and run again.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QtMath>

#include <cstdio>
#include <functional>

// The program's own composition of its splash screen.
#define main kd7240fp_programMain
#include "../../softfrontpanel/main.cpp"
#undef main

namespace {

const QColor navy(0x1a, 0x2c, 0x5e);     // the panel's title bar
const QColor deepNavy(0x0f, 0x1b, 0x3d);
const QColor accent(0x4a, 0x78, 0xc8);   // a lighter blue for lines
const QColor steel(0x8a, 0x94, 0xa6);    // grey of metal parts and captions
const QColor paleGrey(0xee, 0xf1, 0xf5);
const QColor midGrey(0xd3, 0xd9, 0xe2);

QFont font(int pixelSize, int weight = QFont::Bold, qreal letterSpacing = 0)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    if (letterSpacing != 0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

QLinearGradient gradient(QPointF from, QPointF to, const QColor &start, const QColor &end)
{
    QLinearGradient g(from, to);
    g.setColorAt(0, start);
    g.setColorAt(1, end);
    return g;
}

// A picture of `size` drawn `scale` times as large (2 for screens of twice
// the pixel density): the same drawing, scaled, so lines and text stay sharp.
QImage draw(QSize size, QImage::Format format, const std::function<void(QPainter &)> &paint, int scale = 1)
{
    QImage image(size * scale, format);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paint(p);
    p.end();
    return image;
}

// The maker's emblem: a "K" whose upper arm is one period of a sine wave,
// inside a rounded square. `box` is the square.
void drawEmblem(QPainter &p, const QRectF &box, const QColor &color, qreal stroke)
{
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawRoundedRect(box.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2), box.width() * 0.18,
                      box.width() * 0.18);

    const qreal w = box.width();
    const QPointF stemTop(box.left() + 0.32 * w, box.top() + 0.22 * w);
    const QPointF stemBottom(box.left() + 0.32 * w, box.top() + 0.78 * w);
    const QPointF joint(box.left() + 0.34 * w, box.top() + 0.52 * w);
    p.setPen(QPen(color, stroke * 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(stemTop, stemBottom);
    // Lower arm straight, upper arm a small wave: the card makes waveforms.
    p.drawLine(joint, QPointF(box.left() + 0.72 * w, box.top() + 0.78 * w));
    QPainterPath wave;
    const QPointF end(box.left() + 0.74 * w, box.top() + 0.22 * w);
    const int steps = 40;
    for (int i = 0; i <= steps; ++i) {
        const qreal t = qreal(i) / steps;
        const QPointF along = joint + (end - joint) * t;
        const qreal swing = 0.06 * w * qSin(2 * M_PI * t);
        const QPointF point(along.x() + swing * 0.7, along.y() + swing * 0.7);
        if (i == 0)
            wave.moveTo(point);
        else
            wave.lineTo(point);
    }
    p.drawPath(wave);
    p.restore();
}

// One of the four waveforms of the card, or (4) an irregular shape such as
// a file may hold; `box` holding one period.
void drawWaveform(QPainter &p, const QRectF &box, int type)
{
    auto at = [&box](qreal t, qreal v) {
        return QPointF(box.left() + t * box.width(), box.center().y() - v * box.height() / 2);
    };
    QPainterPath path;
    switch (type) {
    case 0: // sine
        path.moveTo(at(0, 0));
        for (int i = 1; i <= 64; ++i)
            path.lineTo(at(i / 64.0, qSin(2 * M_PI * i / 64.0)));
        break;
    case 1: // square
        path.moveTo(at(0, 1));
        path.lineTo(at(0.5, 1));
        path.lineTo(at(0.5, -1));
        path.lineTo(at(1, -1));
        break;
    case 2: // saw
        path.moveTo(at(0, -1));
        path.lineTo(at(1, 1));
        path.lineTo(at(1, -1));
        break;
    case 3: // triangle
        path.moveTo(at(0, 0));
        path.lineTo(at(0.25, 1));
        path.lineTo(at(0.75, -1));
        path.lineTo(at(1, 0));
        break;
    default: { // arbitrary
        const QPointF points[] = { { 0, -0.2 }, { 0.14, 1 }, { 0.26, 0.1 }, { 0.38, 0.55 }, { 0.5, -0.4 },
                                   { 0.62, 0.05 }, { 0.76, -1 }, { 0.9, 0.35 }, { 1, -0.2 } };
        path.moveTo(at(points[0].x(), points[0].y()));
        for (const QPointF &q : points)
            path.lineTo(at(q.x(), q.y()));
        break;
    }
    }
    p.drawPath(path);
}

QImage makerLogo(int scale = 1)
{
    return draw({86, 84}, QImage::Format_RGB888, [](QPainter &p) {
        p.fillRect(0, 0, 86, 84, navy);
        drawEmblem(p, QRectF(23, 8, 40, 40), Qt::white, 2.5);
        p.setPen(Qt::white);
        p.setFont(font(12, QFont::Bold, 1.2));
        p.drawText(QRect(0, 54, 86, 18), Qt::AlignCenter, QStringLiteral("KELDOR"));
    }, scale);
}

// "VXI" / "LXI": large white letters on the title bar's blue, a thin rule
// and a small caption below.
QImage textLogo(int width, const QString &letters, const QString &caption, int scale = 1)
{
    return draw({width, 84}, QImage::Format_RGB888, [&](QPainter &p) {
        p.fillRect(0, 0, width, 84, navy);
        p.setPen(Qt::white);
        p.setFont(font(38, QFont::Black, 2));
        p.drawText(QRect(0, 10, width, 44), Qt::AlignCenter, letters);
        p.setPen(QPen(accent, 2));
        p.drawLine(QPointF(18, 58), QPointF(width - 18, 58));
        p.setPen(steel.lighter(130));
        p.setFont(font(10, QFont::Bold, 1.5));
        p.drawText(QRect(0, 61, width, 16), Qt::AlignCenter, caption);
    }, scale);
}

// 520 x 400: title bar on top, a blue band on the left, light grey where
// the card picture (67..518, 43..236) and the texts (below 236) go.
QImage splashBackground(int scale = 1)
{
    return draw({520, 400}, QImage::Format_RGB32, [](QPainter &p) {
        p.fillRect(0, 0, 520, 400, gradient({0, 38}, {0, 400}, paleGrey, midGrey));
        p.fillRect(0, 0, 67, 400, gradient({0, 0}, {67, 0}, deepNavy, navy));
        p.fillRect(0, 0, 520, 38, navy);
        p.fillRect(67, 36, 453, 2, accent);
        p.fillRect(65, 38, 2, 362, accent);

        drawEmblem(p, QRectF(12, 4, 30, 30), Qt::white, 2);
        p.setPen(Qt::white);
        p.setFont(font(13, QFont::Bold, 1.2));
        p.drawText(QRect(50, 0, 200, 38), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("KELDOR"));
        p.setFont(font(13, QFont::Normal, 0.5));
        p.drawText(QRect(260, 0, 248, 38), Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("Soft Front Panel"));

        // The four waveforms of the card down the left band.
        p.setPen(QPen(accent.lighter(140), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (int type = 0; type < 4; ++type)
            drawWaveform(p, QRectF(14, 90 + type * 64, 38, 22), type);

        // Thin rules that frame the text area without touching the texts.
        p.setPen(QPen(steel, 1));
        p.drawLine(QPointF(87, 242.5), QPointF(499, 242.5));
        p.fillRect(67, 396, 453, 4, navy);
    }, scale);
}

QImage aboutPicture(int scale = 1)
{
    return draw({110, 345}, QImage::Format_RGB32, [](QPainter &p) {
        p.fillRect(0, 0, 110, 345, gradient({0, 0}, {0, 345}, navy, deepNavy));
        drawEmblem(p, QRectF(27, 18, 56, 56), Qt::white, 3);
        p.setPen(Qt::white);
        p.setFont(font(13, QFont::Bold, 1.5));
        p.drawText(QRect(0, 80, 110, 20), Qt::AlignCenter, QStringLiteral("KELDOR"));

        p.setPen(QPen(accent, 1));
        p.drawLine(QPointF(20, 112.5), QPointF(90, 112.5));
        p.setPen(QPen(accent.lighter(150), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (int type = 0; type < 4; ++type)
            drawWaveform(p, QRectF(28, 132 + type * 42, 54, 22), type);
        p.setPen(QPen(accent, 1));
        p.drawLine(QPointF(20, 305.5), QPointF(90, 305.5));

        p.setPen(steel.lighter(140));
        p.setFont(font(11, QFont::Bold, 1));
        p.drawText(QRect(0, 312, 110, 22), Qt::AlignCenter, QStringLiteral("VANTIX"));
    }, scale);
}

void drawConnector(QPainter &p, const QPointF &centre, const QString &label)
{
    p.setPen(QPen(QColor(0x50, 0x56, 0x60), 1));
    p.setBrush(QColor(0xc8, 0xcd, 0xd4));
    p.drawEllipse(centre, 11, 11);
    p.setBrush(QColor(0x9a, 0xa1, 0xac));
    p.drawEllipse(centre, 7, 7);
    p.setBrush(QColor(0x30, 0x33, 0x38));
    p.drawEllipse(centre, 3, 3);
    p.setPen(navy);
    p.setFont(font(9));
    p.drawText(QRectF(centre.x() - 20, centre.y() + 12, 40, 12), Qt::AlignCenter, label);
}

void drawChip(QPainter &p, const QRectF &body, const QString &label)
{
    p.setPen(QPen(QColor(0xb8, 0xbe, 0xc6), 1));
    for (qreal x = body.left() + 4; x < body.right() - 2; x += 5) {
        p.drawLine(QPointF(x, body.top() - 3), QPointF(x, body.top()));
        p.drawLine(QPointF(x, body.bottom()), QPointF(x, body.bottom() + 3));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x22, 0x24, 0x28));
    p.drawRoundedRect(body, 2, 2);
    p.setPen(QColor(0xa0, 0xa6, 0xb0));
    p.setFont(font(8, QFont::Normal));
    p.drawText(body, Qt::AlignCenter, label);
}

// 452 x 194, transparent around the card: front panel on the left with the
// two outputs and the trigger input, board with parts, connector on the right.
QImage cardPicture(int scale = 1)
{
    return draw({452, 194}, QImage::Format_ARGB32, [](QPainter &p) {
        // Board.
        const QRectF board(44, 16, 386, 166);
        p.setPen(QPen(QColor(0x10, 0x1c, 0x38), 1.5));
        p.setBrush(QColor(0x24, 0x3e, 0x70));
        p.drawRoundedRect(board, 4, 4);
        // Traces.
        p.setPen(QPen(QColor(0x3a, 0x5c, 0x9a), 1.2));
        for (int i = 0; i < 7; ++i) {
            const qreal y = 40 + i * 18;
            p.drawLine(QPointF(60, y), QPointF(150, y));
            p.drawLine(QPointF(150, y), QPointF(170, y + 8));
            p.drawLine(QPointF(170, y + 8), QPointF(400, y + 8));
        }
        // Edge connector with gold fingers.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2a, 0x2d, 0x33));
        p.drawRect(QRectF(418, 30, 34, 138));
        p.setBrush(QColor(0xc9, 0xa8, 0x4c));
        for (qreal y = 34; y < 164; y += 6)
            p.drawRect(QRectF(446, y, 6, 3));

        drawChip(p, QRectF(190, 36, 86, 50), QStringLiteral("KD7240"));
        drawChip(p, QRectF(300, 36, 56, 34), QStringLiteral("DAC"));
        drawChip(p, QRectF(300, 96, 56, 34), QStringLiteral("DAC"));
        drawChip(p, QRectF(190, 112, 40, 26), QStringLiteral("RAM"));
        drawChip(p, QRectF(240, 112, 40, 26), QStringLiteral("RAM"));
        // Output filters: small grey cans.
        p.setPen(QPen(QColor(0x50, 0x56, 0x60), 1));
        p.setBrush(QColor(0xb0, 0xb6, 0xbe));
        for (int i = 0; i < 4; ++i)
            p.drawEllipse(QPointF(84 + (i % 2) * 26, 60 + (i / 2) * 58), 9, 9);

        p.setPen(QColor(0xe8, 0xec, 0xf2));
        p.setFont(font(12, QFont::Bold, 1));
        p.drawText(QRectF(150, 150, 250, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("VANTIX 7240  AWG"));

        // Front panel plate.
        p.setPen(QPen(QColor(0x60, 0x66, 0x70), 1));
        p.setBrush(gradient({0, 0}, {44, 0}, QColor(0xd9, 0xdd, 0xe3), QColor(0xa9, 0xb0, 0xba)));
        p.drawRoundedRect(QRectF(0.5, 0.5, 44, 193), 3, 3);
        p.setBrush(navy);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(4, 6, 37, 14));
        p.setPen(Qt::white);
        p.setFont(font(9));
        p.drawText(QRectF(4, 6, 37, 14), Qt::AlignCenter, QStringLiteral("7240"));
        drawConnector(p, QPointF(22.5, 48), QStringLiteral("CH1"));
        drawConnector(p, QPointF(22.5, 96), QStringLiteral("CH2"));
        drawConnector(p, QPointF(22.5, 144), QStringLiteral("TRIG"));
        p.setPen(QPen(QColor(0x20, 0x60, 0x20), 1));
        p.setBrush(QColor(0x30, 0xc0, 0x40));
        p.drawEllipse(QPointF(22.5, 182), 3, 3);
    }, scale);
}

// A waveform button's picture: one period in a 1-pixel black line, like
// the button pictures the panel carries; at scale 1 without smoothing, so
// it stays as sharp as they are.
QImage waveButtonPicture(int type, QSize size, int scale)
{
    return draw(size, QImage::Format_ARGB32, [type, size, scale](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing, scale > 1);
        p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        drawWaveform(p, QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), type);
    }, scale);
}

// The application icon: one period of a sine in the panel's light blue on
// the title bar's navy, with the model number from 48 pixels up. Drawn at
// each size rather than scaled, so the small ones stay sharp.
QImage appIcon(int size)
{
    return draw({size, size}, QImage::Format_ARGB32, [size](QPainter &p) {
        const qreal s = size;
        const qreal margin = s / 16;
        const QRectF tile(margin, margin, s - 2 * margin, s - 2 * margin);
        p.setPen(Qt::NoPen);
        p.setBrush(gradient(tile.topLeft(), tile.bottomLeft(), navy.lighter(120), deepNavy));
        p.drawRoundedRect(tile, s * 0.18, s * 0.18);

        const bool labelled = size >= 48;
        const qreal waveHeight = tile.height() * (labelled ? 0.36 : 0.5);
        const QRectF waveBox(tile.left() + tile.width() * 0.14, tile.top() + tile.height() * (labelled ? 0.14 : 0.25),
                             tile.width() * 0.72, waveHeight);
        p.setPen(QPen(accent.lighter(160), qMax(1.5, s / 18), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        drawWaveform(p, waveBox, 0);
        if (labelled) {
            p.setPen(Qt::white);
            p.setFont(font(qRound(s * 0.22), QFont::Bold));
            p.drawText(QRectF(tile.left(), tile.top() + tile.height() * 0.56, tile.width(), tile.height() * 0.34),
                       Qt::AlignCenter, QStringLiteral("7240"));
        }
    });
}

bool save(const QImage &image, const QDir &dir, const QByteArray &name, const char *format)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!image.save(path, format)) {
        std::fprintf(stderr, "drawimages: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

// The splash screen as the panel composes it, at this process's density;
// saved as the panel loads it: raw little-endian 0xffRRGGBB words, which
// ImageMagick shows with `display -size 520x400 -depth 8 bgra:<file>`.
int writeSplashScreen(const QDir &card)
{
    // The composer takes the application's font: the picture is only the
    // same everywhere when that is DejaVu Sans.
    const QString family = QFontInfo(QApplication::font()).family();
    if (family != QLatin1String("DejaVu Sans")) {
        std::fprintf(stderr, "drawimages: the default font is %s, not DejaVu Sans\n", qPrintable(family));
        return 1;
    }
    kd7240_fc fc;
    const QImage splash = composedSplash(fc).toImage().convertToFormat(QImage::Format_RGB32);
    QByteArray words(splash.sizeInBytes(), Qt::Uninitialized);
    qToLittleEndian<quint32>(splash.constBits(), words.size() / 4, words.data());
    const bool twice = qApp->devicePixelRatio() >= 2;
    QFile file(card.filePath(
        twice ? QStringLiteral("kd7240fp_splashscreen@2x.bgra") : QStringLiteral("kd7240fp_splashscreen.bgra")));
    if (!file.open(QIODevice::WriteOnly) || file.write(words) != words.size()) {
        std::fprintf(stderr, "drawimages: cannot write %s\n", qPrintable(file.fileName()));
        return 1;
    }
    std::printf("%s %dx%d\n", qPrintable(file.fileName()), splash.width(), splash.height());
    return 0;
}

// The compiled-in resource `name` holds the file just written to `dir`.
bool compiledIn(const QDir &dir, const char *name)
{
    QFile compiled(QStringLiteral(":/") + QLatin1String(name));
    QFile written(dir.filePath(QLatin1String(name)));
    return compiled.open(QIODevice::ReadOnly) && written.open(QIODevice::ReadOnly)
        && compiled.readAll() == written.readAll();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && qstrcmp(argv[1], "--splash-screen") == 0) {
        QApplication app(argc, argv);
        return writeSplashScreen(QDir(QString::fromLocal8Bit(argv[2])));
    }
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: drawimages <library resources folder> <card resources folder> <icon folder>\n");
        return 2;
    }
    const QDir lib(QString::fromLocal8Bit(argv[1]));
    const QDir card(QString::fromLocal8Bit(argv[2]));
    const QDir icons(QString::fromLocal8Bit(argv[3]));
    bool ok = true;
    // Each picture once as the panel has always shown it, once twice as
    // large ("@2x"), which Qt takes on screens of 200 %.
    for (const int scale : { 1, 2 }) {
        const QString at = scale == 1 ? QString() : QStringLiteral("@2x");
        auto name = [&at](const char *base, const char *suffix) {
            return (QLatin1String(base) + at + QLatin1String(suffix)).toLatin1();
        };
        ok = ok && save(makerLogo(scale), lib, name("keldor-logo", ".bmp"), "BMP")
             && save(textLogo(146, QStringLiteral("VXI"), QStringLiteral("MODULE"), scale), lib, name("vxi-logo", ".bmp"),
                     "BMP")
             && save(textLogo(121, QStringLiteral("LXI"), QStringLiteral("NETWORK"), scale), lib,
                     name("lxi-logo", ".bmp"), "BMP")
             && save(splashBackground(scale), lib, name("fp_splash", ".png"), "PNG")
             && save(aboutPicture(scale), lib, name("about", ".png"), "PNG")
             && save(cardPicture(scale), card, name("kd7240fp_splash", ".png"), "PNG");
    }
    const struct {
        const char *name;
        QSize size;
    } waves[] = { { "wave-sine@2x.png", { 20, 6 } }, { "wave-square@2x.png", { 21, 9 } },
                  { "wave-saw@2x.png", { 21, 9 } }, { "wave-triangle@2x.png", { 21, 9 } },
                  { "wave-arbitrary@2x.png", { 21, 9 } } };
    for (int type = 0; type < 5; ++type)
        ok = ok && save(waveButtonPicture(type, waves[type].size, 2), card, waves[type].name, "PNG");
    // The four standard pictures are the panel's own; the arbitrary one is drawn here.
    ok = ok && save(waveButtonPicture(4, { 21, 9 }, 1), card, "wave-arbitrary.png", "PNG");
    bool iconsOk = ok;
    for (const int size : { 16, 32, 48, 64, 128, 256 }) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        iconsOk = iconsOk && icons.mkpath(folder)
                  && save(appIcon(size), QDir(icons.filePath(folder)), QByteArrayLiteral("com.keldor.kd7240fp.png"), "PNG");
    }
    if (!iconsOk)
        return 1;

    if (!compiledIn(lib, "fp_splash.png") || !compiledIn(lib, "fp_splash@2x.png")
        || !compiledIn(card, "kd7240fp_splash.png") || !compiledIn(card, "kd7240fp_splash@2x.png")) {
        std::fprintf(stderr, "drawimages: the splash pictures changed; rebuild drawimages and run it again\n");
        return 1;
    }
    // The composer takes the density from the application: a process for each.
    std::fflush(stdout);
    for (const char *scale : { "1", "2" }) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QLatin1String(scale));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--splash-screen"), card.path() });
        if (!child.waitForFinished() || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            return 1;
    }
    return 0;
}
