// Where the panels keep what they remember: DefaultInstrDescr.ini, with the
// address history and, beside it, what a card's panel keeps (folders,
// formulas, setups). No widgets: the card's and remote layers find it too.
#ifndef KD7010FP_SETTINGSFILE_H
#define KD7010FP_SETTINGSFILE_H

#include <QString>

namespace kd7010fp_settingsFile {

// $ALLUSERSPROFILE/Keldor/DefaultInstrDescr.ini when ALLUSERSPROFILE is
// set, else in the user's configuration folder.
QString path();
// Whether `path` may be read and written as settings: nothing is there yet,
// or a regular file (a pipe in its place would never answer).
bool openable(const QString &path);
// A file or folder kept beside it.
QString beside(const QString &name);

} // namespace kd7010fp_settingsFile

#endif
