// The compiled-in pictures and licence text reach every program that links
// the panel libraries, with the formats and sizes the panel relies on.
#include <QtTest>

#include <QFile>
#include <QImageReader>
#include <QResource>

class tst_resources : public QObject
{
    Q_OBJECT

private slots:
    void images_data();
    void images();
    void licence();
};

void tst_resources::images_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");

    QTest::newRow("maker logo") << ":/keldor-logo.bmp" << QByteArray("bmp") << QSize(86, 84);
    QTest::newRow("VXI logo") << ":/vxi-logo.bmp" << QByteArray("bmp") << QSize(146, 84);
    QTest::newRow("LXI logo") << ":/lxi-logo.bmp" << QByteArray("bmp") << QSize(121, 84);
    QTest::newRow("splash background") << ":/fp_splash.png" << QByteArray("png") << QSize(520, 400);
    QTest::newRow("About picture") << ":/about.png" << QByteArray("png") << QSize(110, 345);
    QTest::newRow("card picture") << ":/kd7240fp_splash.png" << QByteArray("png") << QSize(452, 194);
}

void tst_resources::images()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);

    QVERIFY(QFile::exists(path));
    QImageReader reader(path);
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.size(), size);
    QVERIFY(!reader.read().isNull());

    if (format == "bmp") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(30);
        QVERIFY(header.startsWith("BM"));
        QCOMPARE(quint8(header.at(28)) | quint8(header.at(29)) << 8, 24); // bits per pixel
        QVERIFY(QResource(path).compressionAlgorithm() != QResource::NoCompression);
    }
}

void tst_resources::licence()
{
    QFile file(QStringLiteral(":/qt-lgpl-license.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("GNU LESSER GENERAL PUBLIC LICENSE"));
    QVERIFY(text.contains("Version 3, 29 June 2007"));

    QFile system(QStringLiteral("/usr/share/common-licenses/LGPL-3"));
    if (system.open(QIODevice::ReadOnly))
        QCOMPARE(text, system.readAll());
}

QTEST_MAIN(tst_resources)
#include "tst_resources.moc"
