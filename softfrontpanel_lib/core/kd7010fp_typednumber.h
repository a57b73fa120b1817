// How a number typed into a box is read, and what the box makes of it. No
// widgets here: the spin boxes, the setup-file reader and the tests share it.
//
// A text is read whole:
// - the box's prefix and suffix, or a unit of the box's quantity ("2 kHz",
//   "500 mV", "90 deg"), are taken off; a unit of another quantity is
//   refused by name ("2 ms" is no frequency);
// - the digits, signs, marks and exponent of the box's locale read as their
//   plain forms, so the box reads back every text it shows;
// - one decimal mark, "." or "," on every keyboard, separates the decimals;
//   digits grouped in threes by the locale's group mark read as one number
//   ("1,000,000", "1,000.5"), but a single group ("1,000") could as well be
//   one with three decimals and is refused with both readings;
// - the number is rounded to the box's decimals; beyond the range it becomes
//   the nearest end, in a wrapping box it wraps as the arrows do.
#ifndef KD7010FP_TYPEDNUMBER_H
#define KD7010FP_TYPEDNUMBER_H

#include <QCoreApplication>
#include <QLocale>
#include <QString>

class kd7010fp_typedNumber
{
    Q_DECLARE_TR_FUNCTIONS(kd7010fp_typedNumber)

public:
    // What a box holds, for the units it reads.
    enum Quantity {
        None, // a count: no unit beyond the box's own suffix
        Frequency, // Hz, kHz, MHz
        Voltage, // V, mV
        Angle, // °, deg, rad
        Percent, // %
    };

    // A box as the reading needs it.
    struct Box
    {
        QLocale locale;
        QString prefix;
        QString suffix;
        Quantity quantity = None;
        int decimals = 0; // 0: whole numbers
        double minimum = 0;
        double maximum = 0;
        bool wrapping = false;
        bool groupsShown = false; // the box writes "1,000" itself: a single group is no fraction there
    };

    struct Reading
    {
        enum Verdict {
            Number, // `value` holds it, in the box's unit, not yet fitted to the box
            NoNumber,
            Ambiguous, // `grouped` and `decimal` are the two readings
            ForeignUnit, // a number with a unit the box does not take
        };
        Verdict verdict = NoNumber;
        double value = 0;
        double grouped = 0;
        double decimal = 0;
        QString typed; // the text as the operator is told it: the box's prefix and suffix off
    };

    static Reading read(const QString &text, const Box &box);

    // What a box of `decimals` decimals (0: whole numbers) and range
    // [minimum, maximum] makes of `value`: rounded, and beyond the range
    // (infinities too) the nearest end.
    static double fitToBox(double value, int decimals, double minimum, double maximum);
    // The same, but a wrapping box turns `value` round modulo its range and one
    // step of its last decimal, as its arrows do: 0..359.99 wraps modulo 360.
    static double fitToBox(double value, int decimals, double minimum, double maximum, bool wrapping);
    static double fitToBox(double value, const Box &box);

    // What the box says when it refuses `reading`, `kept` being the text it
    // keeps; empty for a number.
    static QString refusal(const Reading &reading, const Box &box, const QString &kept);
};

#endif
