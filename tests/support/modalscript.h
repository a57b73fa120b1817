// Answers modal boxes in order while a flow under test runs its nested event
// loops: queue the answers, start the flow, then check what was seen.
#ifndef MODALSCRIPT_H
#define MODALSCRIPT_H

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

class QWidget;

struct SeenBox {
    QString className;
    QString title;
    QString text;          // a QMessageBox's text, else empty
    QStringList buttons;   // button texts without '&' mnemonics
};

class ModalScript : public QObject
{
    Q_OBJECT
public:
    explicit ModalScript(QObject *parent = nullptr);
    ~ModalScript() override;

    // Clicks the button whose text (without '&') equals `buttonText` on the next modal widget.
    ModalScript &answer(const QString &buttonText);
    // Runs `action` on the next modal widget; the action must close it (accept, reject, click...).
    ModalScript &act(std::function<void(QWidget *)> action);
    // Sends a key press (plain key, no modifier) to the next modal widget.
    ModalScript &key(int key);
    ModalScript &escape() { return key(Qt::Key_Escape); }

    // Boxes answered so far, in order.
    QList<SeenBox> seen;
    int pending() const { return int(steps.size()); }
    // Set when a step could not be carried out (no such button...).
    QString failure;

    static SeenBox describe(QWidget *w);
    // The single actions the steps are made of.
    static bool clickButton(QWidget *w, const QString &buttonText);
    static void pressKey(QWidget *w, int key);

private:
    void poll();

    QList<std::function<void(QWidget *)>> steps;
    QPointer<QWidget> lastHandled;
    QTimer timer;
};

#endif
