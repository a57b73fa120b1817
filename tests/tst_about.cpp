// The About box, its clickable labels and the licence viewer.
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

#include "clickablelabel.h"
#include "kd7010fp_about.h"
#include "modalscript.h"
#include "qtlicense.h"

class TestAbout : public QObject
{
    Q_OBJECT
private slots:
    void softwareRows_data();
    void softwareRows();
    void pagingAcrossThreePages();
    void pictureBottom_data();
    void pictureBottom();
    void pictureFollowsLineHeight();
    void clickableLabelAnyButton_data();
    void clickableLabelAnyButton();
    void licenceAndAboutQt();
};

static QStringList formRows(QFormLayout *form)
{
    QStringList rows;
    for (int row = 0; row < form->rowCount(); ++row) {
        auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
        auto *value = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::FieldRole)->widget());
        rows << label->text() + " " + value->text();
    }
    return rows;
}

static kd7010fp_About *makeAbout(const char *commonRevision = "2.1.0")
{
    return new kd7010fp_About("4.3.2", "1.5.0", "7240", "Copyright notice", nullptr, commonRevision);
}

static QPushButton *buttonNamed(QWidget &w, const QString &text)
{
    for (QPushButton *b : w.findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

void TestAbout::softwareRows_data()
{
    QTest::addColumn<bool>("withCommon");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("with common library")
        << true << QStringList{ "Vantix Common Library: 2.1.0", "Instrument Driver: 1.5.0", "Soft Front Panel: 4.3.2" };
    QTest::newRow("null common library") << false
                                         << QStringList{ "Instrument Driver: 1.5.0", "Soft Front Panel: 4.3.2" };
}

void TestAbout::softwareRows()
{
    QFETCH(bool, withCommon);
    QScopedPointer<kd7010fp_About> about(makeAbout(withCommon ? "2.1.0" : nullptr));
    QTEST(formRows(about->softwareForm), "rows");
    QCOMPARE(about->windowTitle(), QString("About Vantix 7240 Soft Front Panel"));
}

void TestAbout::pagingAcrossThreePages()
{
    QScopedPointer<kd7010fp_About> about(makeAbout());
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about.data()));
    QCOMPARE(about->hardwareForm->rowCount(), 0);
    about->addHardwarePage("00000001", "1.0", "7240-AA");
    QVERIFY(!about->nextButton->isVisible() && !about->prevButton->isVisible());
    about->next(); // nothing to move to
    QCOMPARE(about->currentPage, 0);
    about->addHardwarePage("00000002", "2.0", "7240-AB", "9.9.9", "8.8.8");
    QVERIFY(about->nextButton->isVisible() && about->prevButton->isVisible());
    QVERIFY(about->nextButton->isEnabled() && !about->prevButton->isEnabled());
    about->addHardwarePage("00000003", "3.0", "7240-AC");
    const QStringList first{ "Device Model: 7240-AA", "Revision: 1.0", "Serial Number: 00000001" };
    QCOMPARE(formRows(about->hardwareForm), first);

    QTest::mouseClick(about->nextButton, Qt::LeftButton);
    QCOMPARE(formRows(about->hardwareForm),
             QStringList({ "Device Model: 7240-AB", "Revision: 2.0", "Serial Number: 00000002" }));
    QCOMPARE(formRows(about->softwareForm).mid(1), QStringList({ "Instrument Driver: 9.9.9", "Soft Front Panel: 8.8.8" }));
    QVERIFY(about->nextButton->isEnabled() && about->prevButton->isEnabled());

    QTest::mouseClick(about->nextButton, Qt::LeftButton);
    QCOMPARE(about->valueLabels[3].text(), QString("7240-AC"));
    // Registered without revisions: it took those on display then.
    QCOMPARE(about->valueLabels[1].text(), QString("1.5.0"));
    QVERIFY(!about->nextButton->isEnabled());

    QTest::mouseClick(about->prevButton, Qt::LeftButton);
    QTest::mouseClick(about->prevButton, Qt::LeftButton);
    QCOMPARE(formRows(about->hardwareForm), first);
    QCOMPARE(about->valueLabels[2].text(), QString("4.3.2"));
    QVERIFY(about->nextButton->isEnabled() && !about->prevButton->isEnabled());

    // "OK" only hides: the next showing has the same page.
    QTest::mouseClick(about->nextButton, Qt::LeftButton);
    QTest::mouseClick(buttonNamed(*about, "OK"), Qt::LeftButton);
    QVERIFY(!about->isVisible());
    about->show();
    QCOMPARE(about->valueLabels[5].text(), QString("00000002"));
    QVERIFY(about->nextButton->isVisible() && about->prevButton->isEnabled());
}

void TestAbout::pictureBottom_data()
{
    QTest::addColumn<int>("imageHeight");
    QTest::addColumn<int>("lineHeight");
    QTest::addColumn<int>("shownRows");
    QTest::newRow("28 lines fit") << 345 << 10 << 280;
    QTest::newRow("small font") << 345 << 4 << 112;
    QTest::newRow("28 lines exceed the picture") << 345 << 15 << 345;
    QTest::newRow("8 lines exceed the picture") << 345 << 50 << 345;
    QTest::newRow("no picture") << 0 << 10 << 0;
}

void TestAbout::pictureBottom()
{
    QFETCH(int, imageHeight);
    QFETCH(int, lineHeight);
    QFETCH(int, shownRows);
    // Each row its own colour, so the rows shown can be told apart.
    QImage image(110, imageHeight, QImage::Format_RGB32);
    for (int y = 0; y < imageHeight; ++y)
        for (int x = 0; x < 110; ++x)
            image.setPixel(x, y, qRgb(y & 0xff, y >> 8, x));
    const QImage shown = kd7010fp_About::pictureBottom(QPixmap::fromImage(image), lineHeight).toImage();
    QCOMPARE(shown.height(), shownRows);
    if (shownRows == 0)
        return;
    QCOMPARE(shown.width(), 110);
    QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), image.copy(0, imageHeight - shownRows, 110, shownRows));
}

void TestAbout::pictureFollowsLineHeight()
{
    const QPixmap picture(":/about.png");
    if (picture.isNull())
        QSKIP("no About picture in this build");
    const QFont original = QApplication::font();
    QFont small = original;
    small.setPixelSize(6);
    QApplication::setFont(small);
    QScopedPointer<kd7010fp_About> about(makeAbout());
    QApplication::setFont(original);
    const int h = QFontMetrics(about->font()).height();
    QVERIFY(28 * h < picture.height());
    QLabel *shown = nullptr;
    for (QLabel *label : about->findChildren<QLabel *>())
        if (!label->pixmap().isNull())
            shown = label;
    QVERIFY(shown);
    QCOMPARE(shown->pixmap().size(), QSize(picture.width(), 28 * h));
}

void TestAbout::clickableLabelAnyButton_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("releaseAt");
    QTest::newRow("left") << Qt::LeftButton << QPoint(5, 5);
    QTest::newRow("right") << Qt::RightButton << QPoint(5, 5);
    QTest::newRow("middle") << Qt::MiddleButton << QPoint(5, 5);
    QTest::newRow("released off the label") << Qt::LeftButton << QPoint(500, -40);
}

void TestAbout::clickableLabelAnyButton()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, releaseAt);
    clickableLabel label("LGPL");
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy spy(&label, &clickableLabel::clicked);
    QTest::mousePress(&label, button, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(spy.count(), 0);
    QTest::mouseRelease(&label, button, Qt::NoModifier, releaseAt);
    QCOMPARE(spy.count(), 1);
}

void TestAbout::licenceAndAboutQt()
{
    QScopedPointer<kd7010fp_About> about(makeAbout());
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about.data()));
    const QList<clickableLabel *> links = about->findChildren<clickableLabel *>();
    QCOMPARE(links.size(), 2);
    clickableLabel *lgpl = links[0]->text().contains("LGPL") ? links[0] : links[1];
    clickableLabel *version = lgpl == links[0] ? links[1] : links[0];
    QVERIFY(version->text().contains(qVersion()));

    ModalScript script;
    bool viewerLook = false;
    QString licenceText;
    script.act([&](QWidget *w) {
        if (auto *edit = w->findChild<QTextEdit *>()) {
            // The family must reach the loaded text, not only the cursor.
            QTextCursor first(edit->document());
            first.movePosition(QTextCursor::NextCharacter);
            viewerLook = edit->wordWrapMode() == QTextOption::NoWrap && edit->isReadOnly()
                     && first.charFormat().font().family() == QLatin1String("Courier");
            licenceText = edit->toPlainText();
        }
        if (QPushButton *ok = buttonNamed(*w, "Ok"))
            ok->click();
    });
    script.answer("OK");
    QTest::mouseClick(lgpl, Qt::LeftButton);
    QTest::mouseClick(version, Qt::LeftButton);
    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QCOMPARE(script.seen.size(), 2);
    QCOMPARE(script.seen[0].className, QString("qtLicense"));
    QCOMPARE(script.seen[0].title, QString("Qt LGPL License"));
    QVERIFY(viewerLook);
    QFile resource(":/qt-lgpl-license.txt");
    if (resource.open(QIODevice::ReadOnly | QIODevice::Text))
        QCOMPARE(licenceText, QString::fromUtf8(resource.readAll()));
    QCOMPARE(script.seen[1].title, QString("About Qt"));
    // The viewer is destroyed again; the About box stays open.
    QVERIFY(about->isVisible());
    QCOMPARE(about->findChildren<qtLicense *>().size(), 0);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
