#include "kd7240fp_setuploader.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "kd7010fp_app.h"
#include "kd7240fp_notices.h"
#include "kd7240fp_remembered.h"

namespace {
const QString folderKey = QStringLiteral("7240/SetupFolder");
const QString suffix = QStringLiteral("kd7240");
}

QString kd7240fp_setupLoader::askSavePath(QWidget *parent)
{
    QString path;
    {
        QFileDialog dialog(
            parent, tr("Save Setup"), kd7240fp::remembered(folderKey).toString(), tr("Setups (*.kd7240)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The dialog adds the suffix itself, so it asks about the file that
        // is written: "keep" beside an existing keep.kd7240 is that file.
        dialog.setDefaultSuffix(suffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        path = dialog.selectedFiles().constFirst();
    }
    if (path.isEmpty())
        return QString();
    // A desktop's own dialog may add no suffix, and so not have asked.
    bool replaceUnasked = false;
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1Char('.') + suffix;
        replaceUnasked = QFileInfo::exists(path);
    }
    kd7240fp::remember(folderKey, QFileInfo(path).absolutePath());
    if (replaceUnasked
        && kd7010fp_app::questionBox(parent, QMessageBox::Warning, kd7010fp_app::boxTitle(),
               tr("\"%1\" already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName()),
               { tr("&Yes"), tr("&No") }, 1, 1)
            != 0)
        return QString();
    return path;
}

QString kd7240fp_setupLoader::askOpen(QWidget *parent)
{
    const QString path = QFileDialog::getOpenFileName(
        parent, tr("Open Setup"), kd7240fp::remembered(folderKey).toString(), tr("Setups (*.kd7240);;All files (*)"));
    if (!path.isEmpty())
        kd7240fp::remember(folderKey, QFileInfo(path).absolutePath());
    return path;
}
