// The splash image: which card picture is drawn where, the one message for
// a missing or misfitting picture, and the text rectangles.
#include <QtTest>

#include <QLibraryInfo>
#include <QPainter>
#include <QResource>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdio>
#include <functional>
#include <unistd.h>

#include "kd7010fp_splashlabel.h"

namespace {

const char sizeMessage[] =
    "The size of the image of the device, that is to be used in the splash screen, is not as required!!!\n";

const QColor pngColour(Qt::magenta);
const QColor bmpPictureColour(Qt::yellow);
const QColor bmpOutsideColour(Qt::cyan);

// Runs `action` with standard output going to a file; returns what it wrote.
QByteArray captureStdout(const std::function<void()> &action)
{
    QTemporaryFile file;
    if (!file.open())
        return "(cannot capture)";
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(file.handle(), STDOUT_FILENO);
    action();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    file.seek(0);
    return file.readAll();
}

QImage splash(int model, bool hex, const QString &description = QStringLiteral("2-Channel Function Card"),
              const QString &copyright = QStringLiteral("(c) Keldor"), float scale = 1.0f)
{
    return kd7010fp_splashLabel(scale, 20, model, hex, copyright, description).toImage();
}

QFont copyrightFont()
{
    QFont font;
    font.setWeight(QFont::Bold);
    font.setPointSize(8);
    return font;
}

// Rows of the text area (below the picture) with anything drawn on them.
QPair<int, int> inkRows(const QImage &image, const QImage &background)
{
    int first = -1, last = -1;
    for (int y = 237; y < image.height(); ++y)
        for (int x = 87; x < 500; ++x)
            if (image.pixel(x, y) != background.pixel(x, y)) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return {first, last};
}

} // namespace

class tst_splash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cardPicture();
    void pictureChoice_data();
    void pictureChoice();
    void longDescriptionIsCut();
    void scaleEnlargesTitle();

private:
    bool writeFixtures();

    QTemporaryDir dir;
    QString rccFile;
    QImage background;
};

// Card pictures for made-up models, compiled with Qt's rcc into a binary
// bundle and registered at run time.
bool tst_splash::writeFixtures()
{
    auto solid = [](QSize size, const QColor &colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    };
    QImage bmp = solid(QSize(520, 400), bmpOutsideColour);
    QPainter(&bmp).fillRect(QRect(67, 38, 453, 199), bmpPictureColour);

    const QList<QPair<QString, QImage>> files{
        {"kd1111fp_splash.png", solid(QSize(452, 194), pngColour)},
        {"kd2222fp_splash.png", solid(QSize(453, 194), pngColour)},
        {"kd3333fp_splash.png", solid(QSize(452, 194), pngColour)},
        {"kd3333fp_splash.bmp", bmp},
        {"kd4444fp_splash.png", solid(QSize(452, 194), pngColour)},
        {"kd4444fp_splash.bmp", bmp.copy(0, 0, 519, 400)},
        {"kd 240fp_splash.png", solid(QSize(452, 194), pngColour)},
    };
    QString qrc = QStringLiteral("<RCC><qresource prefix=\"/\">\n");
    for (const auto &file : files) {
        if (!file.second.save(dir.filePath(file.first)))
            return false;
        qrc += QStringLiteral("<file>%1</file>\n").arg(file.first);
    }
    qrc += QStringLiteral("</qresource></RCC>\n");
    QFile qrcFile(dir.filePath(QStringLiteral("fixtures.qrc")));
    if (!qrcFile.open(QIODevice::WriteOnly) || qrcFile.write(qrc.toUtf8()) < 0)
        return false;
    qrcFile.close();

    const QString rcc = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/rcc");
    rccFile = dir.filePath(QStringLiteral("fixtures.rcc"));
    return QProcess::execute(rcc, {"--binary", "-o", rccFile, qrcFile.fileName()}) == 0
           && QResource::registerResource(rccFile);
}

void tst_splash::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY2(writeFixtures(), "could not build the card picture fixtures with rcc");
    background = QImage(QStringLiteral(":/fp_splash.png")).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(background.size(), QSize(520, 400));
}

void tst_splash::cleanupTestCase()
{
    QResource::unregisterResource(rccFile);
}

void tst_splash::cardPicture()
{
    QImage image;
    const QByteArray out = captureStdout([&] { image = splash(0x7240, true); });
    QCOMPARE(out, QByteArray());
    QCOMPARE(image.size(), QSize(520, 400));

    const QImage card = QImage(QStringLiteral(":/kd7240fp_splash.png")).convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < card.height(); ++y)
        for (int x = 0; x < card.width(); ++x)
            if (qAlpha(card.pixel(x, y)) == 255) {
                ++opaque;
                QCOMPARE(QColor(image.pixel(67 + x, 43 + y)), QColor(card.pixel(x, y)));
            }
    QVERIFY(opaque > card.width() * card.height() / 2);
}

void tst_splash::pictureChoice_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("picture"); // png, bmp or none
    QTest::addColumn<bool>("message");

    QTest::newRow("PNG of the right size") << 0x1111 << true << "png" << false;
    QTest::newRow("PNG one pixel too wide") << 0x2222 << true << "none" << true;
    QTest::newRow("full-size BMP wins over PNG") << 0x3333 << true << "bmp" << false;
    QTest::newRow("BMP of another size: PNG") << 0x4444 << true << "png" << false;
    QTest::newRow("short model code padded with a blank") << 0x240 << true << "png" << false;
    QTest::newRow("no picture for the model") << 0x5555 << true << "none" << true;
    QTest::newRow("decimal model text finds nothing") << 0x7240 << false << "none" << true;
}

void tst_splash::pictureChoice()
{
    QFETCH(int, model);
    QFETCH(bool, hex);
    QFETCH(QString, picture);
    QFETCH(bool, message);

    QImage image;
    const QByteArray out = captureStdout([&] { image = splash(model, hex); });
    QCOMPARE(out, message ? QByteArray(sizeMessage) : QByteArray());

    auto at = [&](int x, int y) { return QColor(image.pixel(x, y)); };
    auto ground = [&](int x, int y) { return QColor(background.pixel(x, y)); };
    const QColor inside = picture == "bmp" ? bmpPictureColour : picture == "png" ? pngColour : QColor();

    // The BMP covers x 67..519, y 38..236; the PNG x 67..518, y 43..236.
    QCOMPARE(at(67, 38), picture == "bmp" ? inside : ground(67, 38));
    QCOMPARE(at(67, 43), inside.isValid() ? inside : ground(67, 43));
    QCOMPARE(at(518, 236), inside.isValid() ? inside : ground(518, 236));
    QCOMPARE(at(519, 236), picture == "bmp" ? inside : ground(519, 236));
    QCOMPARE(at(66, 43), ground(66, 43));
    QCOMPARE(at(67, 237), ground(67, 237));
    QCOMPARE(at(67, 37), ground(67, 37));
}

void tst_splash::longDescriptionIsCut()
{
    const QImage brief = splash(0x1111, true, QStringLiteral("Card"));
    const QImage longer = splash(0x1111, true, QStringLiteral("Arbitrary waveform generator ").repeated(40));
    const int copyrightHeight = QFontMetrics(copyrightFont()).height();
    const int descriptionBottom = 400 - 3 * copyrightHeight;

    for (int y = descriptionBottom; y < 400; ++y)
        QVERIFY2(brief.copy(0, y, 520, 1) == longer.copy(0, y, 520, 1), qPrintable(QString::number(y)));
    QVERIFY(brief.copy(0, descriptionBottom - 10, 520, 10) != longer.copy(0, descriptionBottom - 10, 520, 10));
    // The copyright line is there.
    QVERIFY(inkRows(brief, background).second >= 400 - 2 * copyrightHeight);
}

void tst_splash::scaleEnlargesTitle()
{
    const QImage normal = splash(0x1111, true, QString(), QString(), 1.0f);
    const QImage large = splash(0x1111, true, QString(), QString(), 1.5f);
    const auto normalRows = inkRows(normal, background);
    const auto largeRows = inkRows(large, background);
    QVERIFY(normalRows.first > 236 && largeRows.first > 236);
    const double ratio = double(largeRows.second - largeRows.first + 1) / (normalRows.second - normalRows.first + 1);
    QVERIFY2(ratio > 1.3 && ratio < 1.7, qPrintable(QString::number(ratio)));

    // The copyright font stays at 8 points whatever the scale.
    const QImage normalCopyright = splash(0x1111, true, QString(), QStringLiteral("(c) Keldor"), 1.0f);
    const QImage largeCopyright = splash(0x1111, true, QString(), QStringLiteral("(c) Keldor"), 1.5f);
    const int c = QFontMetrics(copyrightFont()).height();
    QCOMPARE(normalCopyright.copy(0, 400 - 2 * c, 520, c), largeCopyright.copy(0, 400 - 2 * c, 520, c));
}

QTEST_MAIN(tst_splash)
#include "tst_splash.moc"
