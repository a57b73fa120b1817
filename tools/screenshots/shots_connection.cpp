// Pictures of the connection windows: the "How to connect" box, the search
// progress box, the Select Function Card dialog filled from the simulated
// system, and both variants of the Enter Address dialog.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include "kd7010fp_fcenteraddress.h"
#include "kd7010fp_fcenteraddressfc.h"
#include "kd7010fp_fcselect.h"
#include "kd7240_fc.h"
#include "shots.h"

namespace {

void saveGrab(QWidget *widget, const QString &dir, const QString &name)
{
    const QString path = QDir(dir).filePath(name);
    if (!widget->grab().save(path))
        qWarning("could not write %s", qPrintable(path));
}

void saveShown(QWidget &widget, const QString &dir, const QString &name)
{
    widget.show();
    QApplication::processEvents();
    saveGrab(&widget, dir, name);
}

// Watches for a modal window of class T, hands it to `action` once and stops.
template <class T> class ModalWatcher
{
public:
    explicit ModalWatcher(std::function<void(T *)> action)
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this, action] {
            auto *w = qobject_cast<T *>(QApplication::activeModalWidget());
            if (!w || !w->isVisible())
                return;
            timer.stop();
            QApplication::processEvents();
            action(w);
        });
        timer.start();
    }

private:
    QTimer timer;
};

} // namespace

void shotsConnection(const QString &dir)
{
    // Remembered descriptors go to a scratch folder, not the user's own file.
    QTemporaryDir profile;
    const QByteArray savedProfile = qgetenv("ALLUSERSPROFILE");
    qputenv("ALLUSERSPROFILE", profile.path().toLocal8Bit());

    kd7240_fc card;
    kd7010fp_fcSelect select(&card, 0);

    {
        ModalWatcher<QMessageBox> watcher([&](QMessageBox *box) {
            saveGrab(box, dir, QStringLiteral("connect-how.png"));
            box->button(QMessageBox::Cancel)->click();
        });
        select.connectCard();
    }

    {
        ModalWatcher<QProgressDialog> watcher(
            [&](QProgressDialog *progress) { saveGrab(progress, dir, QStringLiteral("progress.png")); });
        select.searchResources();
    }
    // A chosen card, as the operator sees it; the module that holds only
    // other models stays collapsed as the search left it.
    QTreeWidgetItemIterator selectable(select.fcTree, QTreeWidgetItemIterator::Selectable);
    if (*selectable)
        select.fcTree->setCurrentItem(*selectable);
    saveShown(select, dir, QStringLiteral("select-default.png"));
    select.hide();

    kd7010fp_fcEnterAddress single(&card);
    single.loadDefaults();
    saveShown(single, dir, QStringLiteral("enter-address-single.png"));

    // The dialog reads nothing of the card but its model code.
    kd7240_fc multiCard;
    multiCard.modelCode = 0x6208;
    kd7010fp_fcEnterAddress multi(&multiCard);
    multi.loadDefaults();
    const char *const descriptors[]
        = { "TCPIP0::192.168.2.101::INSTR", "TCPIP0::192.168.2.101::INSTR", "VXI0::8::INSTR" };
    for (int r = 0; r < 3; ++r) {
        multi.rows[r]->descriptorBox->setEditText(QString::fromLatin1(descriptors[r]));
        multi.rows[r]->fcNumberBox->setCurrentIndex(r + 1);
    }
    multi.countBox->setCurrentIndex(2);
    saveShown(multi, dir, QStringLiteral("enter-address-multi.png"));

    if (savedProfile.isNull())
        qunsetenv("ALLUSERSPROFILE");
    else
        qputenv("ALLUSERSPROFILE", savedProfile);
}
