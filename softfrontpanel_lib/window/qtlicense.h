// Shows the licence under which the Qt library is used.
#ifndef QTLICENSE_H
#define QTLICENSE_H

#include <QDialog>

class qtLicense : public QDialog
{
    Q_OBJECT
public:
    explicit qtLicense(QWidget *parent = nullptr);
};

#endif
