#include "focuschain.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QWidget>

namespace {

bool isControl(const QWidget *w)
{
    if (qobject_cast<const QScrollBar *>(w))
        return false;
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QComboBox *>(w)
        || qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QLineEdit *>(w)
        || qobject_cast<const QTextEdit *>(w) || qobject_cast<const QPlainTextEdit *>(w)
        || qobject_cast<const QAbstractSlider *>(w) || qobject_cast<const QAbstractItemView *>(w);
}

// Part of another control: a spin box's line edit, a tree's header, a cell editor.
bool insideControl(const QWidget *w, const QWidget *window)
{
    for (const QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (isControl(p))
            return true;
    return false;
}

// The buttons the arrow keys move between once one of them has the focus.
QList<QAbstractButton *> exclusiveGroup(QAbstractButton *button)
{
    if (QButtonGroup *group = button->group(); group && group->exclusive())
        return group->buttons();
    QList<QAbstractButton *> mates { button };
    if (button->autoExclusive() && button->parentWidget()) {
        for (QAbstractButton *b : button->parentWidget()->findChildren<QAbstractButton *>(Qt::FindDirectChildrenOnly))
            if (b != button && b->autoExclusive() && !b->group())
                mates << b;
    }
    return mates;
}

QString describe(const QWidget *w)
{
    QString text;
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        text = b->text();
    else if (auto *c = qobject_cast<const QComboBox *>(w))
        text = c->currentText();
    else if (auto *s = qobject_cast<const QAbstractSpinBox *>(w))
        text = s->text();
    else if (auto *e = qobject_cast<const QLineEdit *>(w))
        text = e->text();
    QString line = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        line += QStringLiteral(" #") + w->objectName();
    if (!text.isEmpty())
        line += QStringLiteral(" \"") + text + QLatin1Char('"');
    return line;
}

} // namespace

QStringList focusChainProblems(QWidget *window)
{
    if (!window->isActiveWindow()) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            return { QStringLiteral("the window could not be made active") };
    }
    const QPointer<QWidget> start = QApplication::focusWidget();

    // Tab round the window as the operator would.
    QList<QWidget *> focused;
    if (start)
        focused << start;
    const qsizetype limit = window->findChildren<QWidget *>().size() + 2;
    for (qsizetype i = 0; i < limit; ++i) {
        QWidget *from = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(from, Qt::Key_Tab);
        QWidget *to = QApplication::focusWidget();
        if (!to || to == from || (!focused.isEmpty() && to == focused.first()))
            break;
        focused << to;
    }
    if (start)
        start->setFocus(Qt::OtherFocusReason);

    const auto reached = [&](QWidget *control) {
        for (QWidget *f : std::as_const(focused))
            if (f == control || control->isAncestorOf(f))
                return true;
        return false;
    };
    QStringList problems;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || !isControl(w) || insideControl(w, window) || !w->isVisibleTo(window)
            || !w->isEnabled() || reached(w))
            continue;
        bool groupReached = false;
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            for (QAbstractButton *mate : exclusiveGroup(button))
                groupReached = groupReached || reached(mate);
        if (!groupReached)
            problems << describe(w);
    }
    return problems;
}
