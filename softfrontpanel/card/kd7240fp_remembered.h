// What the 7240 panel remembers beside the address history in
// DefaultInstrDescr.ini: the folders last used for shapes and setups, the
// last formulas. Nothing is read or written when something other than a
// regular file stands in the file's place (a pipe would never answer).
#ifndef KD7240FP_REMEMBERED_H
#define KD7240FP_REMEMBERED_H

#include <QString>
#include <QVariant>

namespace kd7240fp {

QVariant remembered(const QString &key);
void remember(const QString &key, const QVariant &value);

} // namespace kd7240fp

#endif
