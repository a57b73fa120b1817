#include "qtlicense.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QTextStream>
#include <QVBoxLayout>

qtLicense::qtLicense(QWidget *parent)
    : QDialog(parent)
{
    setModal(true);
    setWindowTitle(QStringLiteral("Qt LGPL License"));

    auto *layout = new QVBoxLayout(this);

    auto *text = new QTextEdit(this);
    text->setWordWrapMode(QTextOption::NoWrap);
    text->setMinimumWidth(650);
    text->setMinimumHeight(500);
    text->setReadOnly(true);
    text->setFontFamily(QStringLiteral("Courier"));

    // A missing resource leaves the field empty; there is nothing to report.
    QFile file(QStringLiteral(":/qt-lgpl-license.txt"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream stream(&file);
        // As plain text whatever it looks like: the licence is shown as stored.
        text->setPlainText(stream.readAll());
        file.close();
    }

    layout->addWidget(text);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    auto *ok = new QPushButton(QStringLiteral("Ok"), this);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
