#ifndef KD7010FP_APP_H
#define KD7010FP_APP_H

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <algorithm>

class QCloseEvent;
class QLabel;
class QLayout;
class QPushButton;
class QVBoxLayout;
class kd7010fp_About;
class kd7010fp_led;

// Stands between "Vantix " and the fixed tail of every message-box title.
// Nothing sets it, so titles read "Vantix  SFP ..." with two blanks.
extern QString panelName;

// Places a window in the middle of the available area of the first screen.
// The result is measured from (0, 0): the area's own origin is not added,
// and a window larger than the area gets a negative position.
void centerOnScreen(QWidget *widget);

// The generic top-level window of a soft front panel: header with two logos
// and a title bar, a content area for the derived panel, and a button column
// with the status box, optional switches and start buttons, "Reset Device",
// What's This, "About" and "Close". Also the panel's message boxes.
class kd7010fp_app : public QWidget
{
    Q_OBJECT

public:
    kd7010fp_app();

    static void infoMessage(const QString &msg);
    static void warningMessage(const QString &msg);
    // Offers to exit; Yes ends the process at once with status 0.
    static void errorMessage(const QString &msg);
    // True while one of the panel's message boxes waits for the operator.
    static bool messageBoxOpen();
    // "Vantix <panel> SFP" and `tail`: the title of the panel's own boxes.
    static QString boxTitle(const char *tail = "");

    // A question box with custom buttons, numbered 0.. in the order given
    // (empty texts give no button but keep their number). defaultButton and
    // escapeButton name buttons by number, -1 for none. Returns the number
    // of the button clicked, or -1 when the box closed without a click.
    static int questionBox(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                           const QStringList &buttonTexts, int defaultButton, int escapeButton);

    // True when descriptor a sorts before descriptor b: the order operators
    // know from the search's list. It is no strict weak order: "PXI" < "U" <
    // "pxi" while "PXI" and "pxi" tie, "ASRL" < "ASRLZ" < "ASRL~" while
    // "ASRL" and "ASRL~" tie.
    static bool descriptorLess(QString a, QString b);
    // Sorts [first, last) by descriptorLess applied to descriptorOf(element).
    // A sort handed a comparator that is no strict weak order may run past
    // the range or never end; std::stable_sort (a merge sort) only ever
    // compares elements inside it and ends for any answers, so it is the one.
    template <class Iterator, class DescriptorOf>
    static void sortByDescriptor(Iterator first, Iterator last, DescriptorOf descriptorOf)
    {
        std::stable_sort(first, last,
                         [&](const auto &a, const auto &b) { return descriptorLess(descriptorOf(a), descriptorOf(b)); });
    }

    void setPanelLayout(QLayout *layout);
    // Puts a button of the card panel into the right-hand column, above
    // "Reset Device" (after any added before).
    void addColumnButton(QPushButton *button);
    // Puts a control of the card panel into the right-hand column, under
    // "Reset Device" (after any added there before).
    void addBelowReset(QWidget *widget);
    // Adds a line of the card panel's to the status box, under the card's.
    void addStatusLine(QWidget *widget);
    void setHeaderText(QString text);
    void setSystemLabel(QString text, QString whatsThis);
    void setFcLabel(QString text, QString whatsThis);
    void setDemoMode(bool demo);
    void showLxiLogo(bool lxi);
    void showAutoscale(bool show);
    void showIdentify(bool show);

public slots:
    void enterWIT();
    void userBreak();
    void enableStart();

signals:
    void autoscaleToggled(bool status);
    void identToggled(bool status);
    void startSingle();
    void breakSingle();
    void startCont();
    void stopCont();
    void resetPressed();

protected:
    void closeEvent(QCloseEvent *event) override;

    QPushButton *helpButton = nullptr;
    kd7010fp_About *aboutDialog = nullptr;
    QPushButton *aboutButton = nullptr;
    QWidget *panelArea = nullptr;
    bool panelLayoutInstalled = false;
    QLabel *titleLabel = nullptr;
    QLabel *logoLabel = nullptr;
    QLabel *systemLabel = nullptr;
    QLabel *fcLabel = nullptr;
    kd7010fp_led *activeLed = nullptr;
    QPushButton *closeButton = nullptr;
    QLabel *autoscaleLabel = nullptr;
    QPushButton *autoscaleButton = nullptr;
    QVBoxLayout *buttonColumn = nullptr;
    QVBoxLayout *statusLayout = nullptr;
    QLabel *identLabel = nullptr;
    QPushButton *identButton = nullptr;
    QPushButton *resetButton = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *startContButton = nullptr;

private slots:
    void autoscaleToggledSlot(bool status);
    void identToggledSlot(bool status);
    void startToggledSlot(bool status);
    void startContToggledSlot(bool status);

private:
    static void setHelp(QWidget *widget, const QString &text);
    void addSwitch(QLabel *&label, QPushButton *&button, const QString &name, const QString &caption, bool checked,
                   const QString &help, void (kd7010fp_app::*slot)(bool));
};

#endif
