#include "kd7010fp_fcselect.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtDebug>

#include <algorithm>

#include "kd7010fp_icons.h"

kd7010fp_fcSelect::kd7010fp_fcSelect(kd7010fp_genFC *card, int multiSelect)
    : QDialog(nullptr)
    , demoMode(0)
    , fcCount(0)
    , session(0)
    , card(card)
{
    // Nothing is chosen yet; only the first fcCount entries ever count.
    std::fill(std::begin(fcNumbers), std::end(fcNumbers), qint16(0));

    setWindowTitle(boxTitle());
    setWindowIcon(QIcon(connectIconPixmap()));

    const int lineHeight = QFontMetrics(font()).height();

    fcTree = new QTreeWidget(this);
    fcTree->setColumnCount(2);
    fcTree->setHeaderLabels({ tr("System"), tr("FC Model") });
    fcTree->setMinimumWidth(24 * lineHeight);
    fcTree->setMinimumHeight(24 * lineHeight);
    if (multiSelect)
        fcTree->setSelectionMode(QAbstractItemView::ExtendedSelection);

    okButton = new QPushButton(tr("OK"), this);
    cancelButton = new QPushButton(tr("Cancel"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fcTree);
    layout->addLayout(buttons);

    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(okButton, &QPushButton::clicked, this, &kd7010fp_fcSelect::okPressed);
    connect(fcTree, &QTreeWidget::itemDoubleClicked, this, &kd7010fp_fcSelect::dblClick);

    adjustSize();
}

QString kd7010fp_fcSelect::modelText() const
{
    return QStringLiteral("%1").arg(card->modelCode, 4, 16, QLatin1Char(' '));
}

QString kd7010fp_fcSelect::boxTitle() const
{
    return QStringLiteral("Vantix ") + modelText() + QStringLiteral(" SFP: Select Function Card");
}

bool kd7010fp_fcSelect::isSelectable(const QTreeWidgetItem *item)
{
    return item && item->flags().testFlag(Qt::ItemIsSelectable);
}

void kd7010fp_fcSelect::reportUnavailableChoice()
{
    qDebug("%s", "Select one available function card and then click \"OK\" \nor click \"Cancel\" to quit");
}

void kd7010fp_fcSelect::okPressed()
{
    selection = fcTree->selectedItems();
    fcCount = int(selection.size());
    resourceDescriptor.clear();
    if (fcCount == 0)
        return;

    for (int i = 0; i < fcCount; ++i) {
        QTreeWidgetItem *item = selection.at(i);
        // The search never makes more than maxCards items selectable; a tree
        // filled otherwise must still not write past fcNumbers.
        if (!isSelectable(item) || i >= maxCards) {
            reportUnavailableChoice();
            return;
        }
        fcNumbers[i] = qint16(item->data(0, Qt::StatusTipRole).toInt());
        resourceDescriptor += item->data(1, Qt::StatusTipRole).toString();
        if (i == fcCount - 1)
            accept();
        else
            resourceDescriptor += QLatin1Char(',');
    }
}

void kd7010fp_fcSelect::dblClick(QTreeWidgetItem *item)
{
    if (!isSelectable(item))
        return;
    QTreeWidgetItem *current = fcTree->currentItem();
    if (!isSelectable(current)) {
        reportUnavailableChoice();
        return;
    }
    fcNumbers[0] = qint16(current->data(0, Qt::StatusTipRole).toInt());
    resourceDescriptor = current->data(1, Qt::StatusTipRole).toString();
    fcCount = 1;
    accept();
}
