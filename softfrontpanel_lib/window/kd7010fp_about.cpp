#include "kd7010fp_about.h"

#include "kd7010fp_icons.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "clickablelabel.h"
#include "qtlicense.h"

static QFormLayout *groupForm(const QString &title, int lineHeight, QWidget *parent, QGroupBox **group)
{
    *group = new QGroupBox(title, parent);
    auto *form = new QFormLayout(*group);
    form->setHorizontalSpacing(lineHeight);
    form->setContentsMargins(lineHeight, lineHeight, lineHeight, lineHeight);
    return form;
}

static QPushButton *rowButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    return button;
}

kd7010fp_About::kd7010fp_About(const char *sfpRevision, const char *driverRevision, const char *modelName,
                               const char *copyright, QWidget *parent, const char *commonRevision)
    : QDialog(parent)
{
    const QString model = QString::fromLatin1(modelName);
    setWindowTitle(tr("About Vantix %1 Soft Front Panel").arg(model));
    setMinimumSize(380, 300);
    resize(380, 300);
    const int h = QFontMetrics(font()).height();

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->setSizeConstraint(QLayout::SetFixedSize);

    auto *heading = new QLabel(QStringLiteral("<font size='5' bold>Vantix %1 VXIplug&play Driver<br>"
                                              "Soft Front Panel Application</font>")
                                   .arg(model),
                               this);
    heading->setAlignment(Qt::AlignCenter);
    mainLayout->addWidget(heading);
    auto *notice = new QLabel(QString::fromLatin1(copyright), this);
    notice->setAlignment(Qt::AlignCenter);
    mainLayout->addWidget(notice);
    mainLayout->addSpacing(h);

    auto *row = new QHBoxLayout;
    mainLayout->addLayout(row);
    auto *picture = new QLabel(this);
    picture->setPixmap(pictureBottom(densityPixmap(QStringLiteral(":/about.png")), h));
    row->addWidget(picture);
    auto *column = new QVBoxLayout;
    row->addLayout(column);

    QGroupBox *group;
    QFormLayout *qtForm = groupForm(QStringLiteral("Qt Library"), h, this, &group);
    column->addWidget(group);
    auto *licence = new clickableLabel(QStringLiteral("LGPL"), group);
    qtForm->addRow(QStringLiteral("Used under License:"), licence);
    auto *version = new clickableLabel(QString::fromLatin1(qVersion()), group);
    qtForm->addRow(QStringLiteral("Version (sources not modified):"), version);
    connect(licence, &clickableLabel::clicked, this, &kd7010fp_About::showLicense);
    connect(version, &clickableLabel::clicked, qApp, &QApplication::aboutQt);

    softwareForm = groupForm(QStringLiteral("Software Revisions"), h, this, &group);
    column->addWidget(group);
    if (commonRevision) {
        valueLabels[0].setText(QString::fromLatin1(commonRevision));
        softwareForm->addRow(QStringLiteral("Vantix Common Library:"), &valueLabels[0]);
    }
    valueLabels[1].setText(QString::fromLatin1(driverRevision));
    softwareForm->addRow(QStringLiteral("Instrument Driver:"), &valueLabels[1]);
    valueLabels[2].setText(QString::fromLatin1(sfpRevision));
    softwareForm->addRow(QStringLiteral("Soft Front Panel:"), &valueLabels[2]);

    hardwareForm = groupForm(QStringLiteral("Hardware Information"), h, this, &group);
    column->addWidget(group);

    auto *buttons = new QHBoxLayout;
    column->addLayout(buttons);
    prevButton = rowButton(QStringLiteral("< Previous"), this);
    nextButton = rowButton(QStringLiteral("Next >"), this);
    auto *ok = rowButton(QStringLiteral("OK"), this);
    buttons->addWidget(prevButton);
    buttons->addWidget(nextButton);
    buttons->addWidget(ok);
    prevButton->setEnabled(false);
    prevButton->hide();
    nextButton->hide();
    connect(nextButton, &QPushButton::clicked, this, &kd7010fp_About::next);
    connect(prevButton, &QPushButton::clicked, this, &kd7010fp_About::prev);
    connect(ok, &QPushButton::clicked, this, &QDialog::hide);
}

QPixmap kd7010fp_About::pictureBottom(const QPixmap &picture, int lineHeight)
{
    // Measured in the picture's own pixels, as drawn on screen: a picture
    // for 200 % screens has two device pixels to each.
    const qreal ratio = picture.devicePixelRatio();
    const int height = qRound(picture.height() / ratio);
    int shown = qMin(28 * lineHeight, height);
    if (shown < 8 * lineHeight)
        shown = 8 * lineHeight;
    const int top = qRound(qMax(0, height - shown) * ratio);
    QPixmap part = picture.copy(0, top, picture.width(), picture.height() - top);
    part.setDevicePixelRatio(ratio);
    return part;
}

void kd7010fp_About::addHardwarePage(QString serialNumber, QString hwRevision, QString deviceModel,
                                     QString driverRevision, QString sfpRevision)
{
    if (hardwarePages.empty()) {
        // The rows stay once made, also when the pages are cleared.
        if (hardwareForm->indexOf(&valueLabels[3]) < 0) {
            hardwareForm->addRow(QStringLiteral("Device Model:"), &valueLabels[3]);
            hardwareForm->addRow(QStringLiteral("Revision:"), &valueLabels[4]);
            hardwareForm->addRow(QStringLiteral("Serial Number:"), &valueLabels[5]);
        }
        valueLabels[3].setText(deviceModel);
        valueLabels[4].setText(hwRevision);
        valueLabels[5].setText(serialNumber);
    } else if (hardwarePages.size() == 1) {
        nextButton->show();
        prevButton->show();
        nextButton->setEnabled(true);
    }

    pageRecord.driverRevision = driverRevision.isEmpty() ? valueLabels[1].text() : driverRevision;
    pageRecord.sfpRevision = sfpRevision.isEmpty() ? valueLabels[2].text() : sfpRevision;
    pageRecord.deviceModel = deviceModel;
    pageRecord.hwRevision = hwRevision;
    pageRecord.serialNumber = serialNumber;
    hardwarePages.push_back(std::make_unique<HardwarePage>(pageRecord));
}

void kd7010fp_About::clearHardwarePages()
{
    hardwarePages.clear();
    currentPage = 0;
    nextButton->hide();
    prevButton->hide();
    prevButton->setEnabled(false);
    for (int i = 3; i < 6; ++i)
        valueLabels[i].clear();
}

void kd7010fp_About::next()
{
    // Only the buttons call these, and their enabling keeps the page in
    // range; a direct call at the last page must not run off the list.
    const int last = int(hardwarePages.size()) - 1;
    if (currentPage >= last)
        return;
    ++currentPage;
    if (currentPage == last)
        nextButton->setEnabled(false);
    prevButton->setEnabled(true);
    showPage(currentPage);
}

void kd7010fp_About::prev()
{
    if (currentPage <= 0)
        return;
    --currentPage;
    if (currentPage == 0)
        prevButton->setEnabled(false);
    nextButton->setEnabled(true);
    showPage(currentPage);
}

void kd7010fp_About::showPage(int page)
{
    const HardwarePage &shown = *hardwarePages[size_t(page)];
    if (!shown.driverRevision.isEmpty())
        valueLabels[1].setText(shown.driverRevision);
    if (!shown.sfpRevision.isEmpty())
        valueLabels[2].setText(shown.sfpRevision);
    valueLabels[3].setText(shown.deviceModel);
    valueLabels[4].setText(shown.hwRevision);
    valueLabels[5].setText(shown.serialNumber);
}

void kd7010fp_About::showLicense()
{
    qtLicense licence(this);
    licence.exec();
}
