// A label that looks like a hyperlink and reports clicks.
#ifndef CLICKABLELABEL_H
#define CLICKABLELABEL_H

#include <QLabel>

class clickableLabel : public QLabel
{
    Q_OBJECT
public:
    explicit clickableLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    // Any button's release counts, wherever it happens: the label received
    // the press, so the operator aimed at it.
    void mouseReleaseEvent(QMouseEvent *event) override;
};

#endif
