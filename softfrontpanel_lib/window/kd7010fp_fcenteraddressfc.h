// One row of the Enter Address dialog: a resource descriptor with its
// remembered history and the function-card number on that resource.
#ifndef KD7010FP_FCENTERADDRESSFC_H
#define KD7010FP_FCENTERADDRESSFC_H

#include <QWidget>

class QComboBox;
class kd7010fp_genFC;

class kd7010fp_fcEnterAddressFc : public QWidget
{
    Q_OBJECT

public:
    // The highest function-card number a row offers ("FC 8").
    static constexpr int maxFcNumber = 8;

    explicit kd7010fp_fcEnterAddressFc(kd7010fp_genFC *card, QWidget *parent = nullptr);

    // Editable: the text is the row's descriptor, the entries its history, most recent first.
    QComboBox *descriptorBox;
    // Index 0 "Select" (no number chosen), 1..8 "FC 1".."FC 8".
    QComboBox *fcNumberBox;
};

#endif
