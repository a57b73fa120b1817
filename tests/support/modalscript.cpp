#include "modalscript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressDialog>
#include <QWidget>

ModalScript::ModalScript(QObject *parent)
    : QObject(parent)
{
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, this, &ModalScript::poll);
    timer.start();
}

ModalScript::~ModalScript() = default;

static QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

SeenBox ModalScript::describe(QWidget *w)
{
    SeenBox box;
    box.className = QString::fromLatin1(w->metaObject()->className());
    box.title = w->windowTitle();
    if (auto *mb = qobject_cast<QMessageBox *>(w))
        box.text = mb->text();
    for (QAbstractButton *b : w->findChildren<QAbstractButton *>())
        if (b->isVisible() && !b->text().isEmpty())
            box.buttons << plain(b->text());
    return box;
}

bool ModalScript::clickButton(QWidget *w, const QString &buttonText)
{
    for (QAbstractButton *b : w->findChildren<QAbstractButton *>()) {
        if (plain(b->text()) == buttonText) {
            b->click();
            return true;
        }
    }
    return false;
}

void ModalScript::pressKey(QWidget *w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

ModalScript &ModalScript::answer(const QString &buttonText)
{
    steps.append([this, buttonText](QWidget *w) {
        if (clickButton(w, buttonText))
            return;
        failure = QStringLiteral("no button \"%1\" in \"%2\"").arg(buttonText, w->windowTitle());
        if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
    });
    return *this;
}

ModalScript &ModalScript::act(std::function<void(QWidget *)> action)
{
    steps.append(std::move(action));
    return *this;
}

ModalScript &ModalScript::key(int key)
{
    steps.append([key](QWidget *w) { pressKey(w, key); });
    return *this;
}

void ModalScript::poll()
{
    if (steps.isEmpty())
        return;
    QWidget *w = QApplication::activeModalWidget();
    if (!w || w == lastHandled || !w->isVisible())
        return;
    // A progress box closes by itself and is never answered; the next step
    // belongs to whatever comes after it.
    if (qobject_cast<QProgressDialog *>(w))
        return;
    lastHandled = w;
    seen.append(describe(w));
    auto step = steps.takeFirst();
    step(w);
}
