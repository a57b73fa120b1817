// The panel's About box: what the panel is, the Qt licence and version, the
// revisions of the software layers and the identity of the registered cards,
// one page per card.
#ifndef KD7010FP_ABOUT_H
#define KD7010FP_ABOUT_H

#include <QDialog>
#include <QLabel>
#include <QString>
#include <memory>
#include <vector>

class QFormLayout;
class QPushButton;

// One registered card.
struct HardwarePage {
    QString driverRevision;
    QString sfpRevision;
    QString deviceModel;
    QString hwRevision;
    QString serialNumber;
};

class kd7010fp_About : public QDialog
{
    Q_OBJECT
public:
    // commonRevision may be null: the box then has no common-library row.
    kd7010fp_About(const char *sfpRevision, const char *driverRevision, const char *modelName, const char *copyright,
                   QWidget *parent, const char *commonRevision = nullptr);

    // Empty revisions fall back to the texts shown when the card is registered.
    void addHardwarePage(QString serialNumber, QString hwRevision, QString deviceModel,
                         QString driverRevision = QString(), QString sfpRevision = QString());
    // Forgets every card's page, as when the panel's card is opened again.
    void clearHardwarePages();

    // The bottom part of the About picture for a line height h: at least 8
    // and at most 28 line heights of it, never more than the whole picture.
    static QPixmap pictureBottom(const QPixmap &picture, int lineHeight);

    int currentPage = 0;
    QFormLayout *softwareForm;
    QFormLayout *hardwareForm;
    // Common library, driver, soft front panel, device model, hardware
    // revision, serial number. Members, so destroyed before the dialog's
    // children; each leaves its layout as it goes.
    QLabel valueLabels[6];
    QPushButton *nextButton;
    QPushButton *prevButton;
    HardwarePage pageRecord;
    std::vector<std::unique_ptr<HardwarePage>> hardwarePages;

public slots:
    void next();
    void prev();

private slots:
    void showLicense();

private:
    void showPage(int page);
};

#endif
