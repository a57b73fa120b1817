#ifndef KD7010FP_SPLASHLABEL_H
#define KD7010FP_SPLASHLABEL_H

#include <QPixmap>
#include <QString>

// The start-up picture: the common background with the product title, the
// card's description and copyright notice, and the card model's picture,
// found in the resources by its model number.
class kd7010fp_splashLabel : public QPixmap
{
public:
    // scale: factor for the title and description fonts; margin: horizontal
    // inset of the texts; hex: model printed in base 16 (0x7240 -> "7240").
    kd7010fp_splashLabel(float scale, int margin, int model, bool hex, QString copyright, QString description);
};

#endif
