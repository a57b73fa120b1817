// The words a remote client reads: SCPI's numbers and ASCII, whatever the
// operator's locale, in which the window goes on speaking.
#ifndef KD7240FP_CLIENTTEXT_H
#define KD7240FP_CLIENTTEXT_H

#include <QByteArray>
#include <QString>
#include <functional>

namespace kd7240fp_clientText {

// SCPI's own numbers: plain C digits.
QByteArray plain(double value);
// A value as the queue says it: C digits, at most `places` decimals.
QByteArray decimals(double value, int places);
// A text as the queue says it: ASCII, the panel's few other signs spelt out.
QByteArray ascii(const QString &text);
// A text of the plan's, made with the C locale.
QByteArray ofPlan(const std::function<QString()> &make);

} // namespace kd7240fp_clientText

#endif
