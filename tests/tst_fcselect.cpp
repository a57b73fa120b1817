// The Select Function Card dialog: its window and how it takes the
// operator's choice out of the tree.

#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include "focuschain.h"
#include "kd7010fp_fcselect.h"
#include "kd7240_fc.h"
#include "modalscript.h"

namespace {

const char debugLine[] = "Select one available function card and then click \"OK\" \nor click \"Cancel\" to quit";

// A tree as the search leaves it: system, carrier, two available cards and
// one that is present but not available.
struct Tree
{
    QTreeWidgetItem *system, *carrier, *cardA, *cardB, *greyed;
};

Tree fill(kd7010fp_fcSelect &dialog)
{
    Tree t;
    t.system = new QTreeWidgetItem(dialog.fcTree, { "VXI0" });
    t.system->setFlags(Qt::ItemIsEnabled);
    t.carrier = new QTreeWidgetItem(t.system, { "Slot 3 - 12345 MB" });
    t.carrier->setFlags(Qt::ItemIsEnabled);
    const auto card = [&](const QString &label, const QString &model, int number, const QString &descriptor) {
        auto *item = new QTreeWidgetItem(t.carrier, { label, model });
        item->setData(0, Qt::StatusTipRole, number);
        item->setData(1, Qt::StatusTipRole, descriptor);
        item->setFlags(number ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags);
        return item;
    };
    t.cardA = card("FC 1", "7240", 1, "VXI0::8::INSTR");
    t.cardB = card("FC 3", "7240", 3, "TCPIP0::10.0.0.7::INSTR");
    t.greyed = card("FC 2", "6216-16", 0, "VXI0::8::INSTR");
    return t;
}

} // namespace

class tst_FcSelect : public QObject
{
    Q_OBJECT

private slots:
    void window();
    void okTakesSelection_data();
    void okTakesSelection();
    void okWithNothingSelected();
    void okWithTooManyItems();
    void doubleClick_data();
    void doubleClick();
    void doubleClickTakesOnlyCurrent();
    void execAcceptsAndRejects();
    void keyboard();

private:
    kd7240_fc card;
};

void tst_FcSelect::window()
{
    kd7010fp_fcSelect single(&card, 0);
    QCOMPARE(single.windowTitle(), QStringLiteral("Vantix 7240 SFP: Select Function Card"));
    QVERIFY(single.parent() == nullptr);
    QVERIFY(!single.windowIcon().isNull());
    QCOMPARE(single.fcTree->columnCount(), 2);
    QCOMPARE(single.fcTree->headerItem()->text(0), QStringLiteral("System"));
    QCOMPARE(single.fcTree->headerItem()->text(1), QStringLiteral("FC Model"));
    const int h = QFontMetrics(single.font()).height();
    QCOMPARE(single.fcTree->minimumWidth(), 24 * h);
    QCOMPARE(single.fcTree->minimumHeight(), 24 * h);
    QCOMPARE(single.fcTree->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(single.okButton->text(), QStringLiteral("OK"));
    QCOMPARE(single.cancelButton->text(), QStringLiteral("Cancel"));
    QCOMPARE(single.demoMode, 0);
    QCOMPARE(single.session, ViSession(0));
    QVERIFY(single.resourceDescriptor.isEmpty());
    QVERIFY(single.card == &card);

    kd7010fp_fcSelect multi(&card, 1);
    QCOMPARE(multi.fcTree->selectionMode(), QAbstractItemView::ExtendedSelection);
}

// clang-format off
void tst_FcSelect::okTakesSelection_data()
{
    QTest::addColumn<bool>("takeA");
    QTest::addColumn<bool>("takeB");
    QTest::addColumn<QString>("descriptor");
    QTest::addColumn<QList<int>>("numbers");

    QTest::newRow("one card") << true << false << "VXI0::8::INSTR" << QList<int>({1});
    QTest::newRow("the other card") << false << true << "TCPIP0::10.0.0.7::INSTR" << QList<int>({3});
    QTest::newRow("two cards joined") << true << true << "VXI0::8::INSTR,TCPIP0::10.0.0.7::INSTR"
                                      << QList<int>({1, 3});
}
// clang-format on

void tst_FcSelect::okTakesSelection()
{
    QFETCH(bool, takeA);
    QFETCH(bool, takeB);
    QFETCH(QString, descriptor);
    QFETCH(QList<int>, numbers);

    kd7010fp_fcSelect dialog(&card, 1);
    const Tree t = fill(dialog);
    t.cardA->setSelected(takeA);
    t.cardB->setSelected(takeB);
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.okButton->click();
    QCOMPARE(accepted.size(), 1);
    QCOMPARE(dialog.resourceDescriptor, descriptor);
    QCOMPARE(dialog.fcCount, int(numbers.size()));
    for (int i = 0; i < numbers.size(); ++i)
        QCOMPARE(int(dialog.fcNumbers[i]), numbers.at(i));
    QCOMPARE(dialog.selection.size(), numbers.size());
}

void tst_FcSelect::okWithNothingSelected()
{
    kd7010fp_fcSelect dialog(&card, 0);
    fill(dialog);
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.okPressed();
    QCOMPARE(accepted.size(), 0);
    QCOMPARE(dialog.fcCount, 0);
}

// Only the search limits the selectable items to 256; a tree with more must
// still not let a selection run past fcNumbers.
void tst_FcSelect::okWithTooManyItems()
{
    kd7010fp_fcSelect dialog(&card, 1);
    const Tree t = fill(dialog);
    for (int i = 0; i < kd7010fp_fcSelect::maxCards; ++i) {
        auto *item = new QTreeWidgetItem(t.carrier, { QStringLiteral("FC %1").arg(i), "7240" });
        item->setData(0, Qt::StatusTipRole, 1);
        item->setData(1, Qt::StatusTipRole, "VXI0::8::INSTR");
        item->setSelected(true);
    }
    t.cardA->setSelected(true);
    t.cardB->setSelected(true);
    QCOMPARE(dialog.fcTree->selectedItems().size(), kd7010fp_fcSelect::maxCards + 2);
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTest::ignoreMessage(QtDebugMsg, debugLine);
    dialog.okPressed();
    QCOMPARE(accepted.size(), 0);
}

void tst_FcSelect::doubleClick_data()
{
    QTest::addColumn<int>("row"); // 0 system, 1 carrier, 2 greyed card, 3 card B
    QTest::addColumn<bool>("taken");
    QTest::newRow("system row") << 0 << false;
    QTest::newRow("carrier row") << 1 << false;
    QTest::newRow("unavailable card") << 2 << false;
    QTest::newRow("available card") << 3 << true;
}

void tst_FcSelect::doubleClick()
{
    QFETCH(int, row);
    QFETCH(bool, taken);

    kd7010fp_fcSelect dialog(&card, 0);
    const Tree t = fill(dialog);
    QTreeWidgetItem *items[] = { t.system, t.carrier, t.greyed, t.cardB };
    dialog.fcTree->setCurrentItem(items[row]);
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    emit dialog.fcTree->itemDoubleClicked(items[row], 0);
    QCOMPARE(accepted.size(), taken ? 1 : 0);
    QCOMPARE(dialog.resourceDescriptor, taken ? QStringLiteral("TCPIP0::10.0.0.7::INSTR") : QString());
    if (taken) {
        QCOMPARE(dialog.fcCount, 1);
        QCOMPARE(int(dialog.fcNumbers[0]), 3);
    }
}

void tst_FcSelect::doubleClickTakesOnlyCurrent()
{
    kd7010fp_fcSelect dialog(&card, 1);
    const Tree t = fill(dialog);
    t.cardA->setSelected(true);
    dialog.fcTree->setCurrentItem(t.cardB, 0, QItemSelectionModel::Select);
    QCOMPARE(dialog.fcTree->selectedItems().size(), 2);
    dialog.dblClick(t.cardB);
    QCOMPARE(dialog.fcCount, 1);
    QCOMPARE(dialog.resourceDescriptor, QStringLiteral("TCPIP0::10.0.0.7::INSTR"));
    QCOMPARE(int(dialog.fcNumbers[0]), 3);

    // A current item that cannot be chosen: the debug line, no choice.
    kd7010fp_fcSelect other(&card, 0);
    const Tree u = fill(other);
    other.fcTree->setCurrentItem(u.carrier);
    QSignalSpy accepted(&other, &QDialog::accepted);
    QTest::ignoreMessage(QtDebugMsg, debugLine);
    other.dblClick(u.cardA);
    QCOMPARE(accepted.size(), 0);
}

void tst_FcSelect::execAcceptsAndRejects()
{
    kd7010fp_fcSelect dialog(&card, 0);
    const Tree t = fill(dialog);
    {
        ModalScript script;
        script.escape();
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(script.failure.isEmpty());
        QVERIFY(dialog.resourceDescriptor.isEmpty());
        QCOMPARE(dialog.fcCount, 0);
    }
    {
        ModalScript script;
        script.act([&](QWidget *) {
            t.cardB->setSelected(true);
            dialog.okButton->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(dialog.resourceDescriptor, QStringLiteral("TCPIP0::10.0.0.7::INSTR"));
    }
}

// Without a mouse: the tree has the focus, the arrow keys pick a card, Tab
// reaches every control and Return presses OK.
void tst_FcSelect::keyboard()
{
    kd7010fp_fcSelect dialog(&card, 0);
    fill(dialog);
    dialog.fcTree->expandAll();
    QWidget *focused = nullptr;
    QStringList unreachable;
    QString picked;
    ModalScript script;
    script.act([&](QWidget *window) {
        focused = QApplication::focusWidget();
        unreachable = focusChainProblems(window);
        // From the first row, which has the focus: the carrier, then FC 1.
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        picked = dialog.fcTree->currentItem() ? dialog.fcTree->currentItem()->text(0) : QString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (window->isVisible()) // Return did not close it
            dialog.reject();
    });
    const int result = dialog.exec();
    QCOMPARE(focused, dialog.fcTree);
    QCOMPARE(unreachable, QStringList());
    QCOMPARE(picked, QStringLiteral("FC 1"));
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(dialog.resourceDescriptor, QStringLiteral("VXI0::8::INSTR"));
}

QTEST_MAIN(tst_FcSelect)
#include "tst_fcselect.moc"
