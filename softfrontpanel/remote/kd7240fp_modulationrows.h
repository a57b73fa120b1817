// The modulation commands: the same rows for each kind (AM, FM, PM, FSKey,
// PWM) headed by its name, and the values that kind has, on the channel's
// one modulation. A value is rounded as the Modulation dialog's box for it
// rounds, and what plays instead (the box's decimals, a buffer that moved
// it) is said.
#ifndef KD7240FP_MODULATIONROWS_H
#define KD7240FP_MODULATIONROWS_H

#include <QByteArray>
#include <deque>
#include <functional>
#include <vector>

#include "kd7010fp_scpi.h"
#include "kd7240fp_model.h"

class kd7240fp_modulationRows
{
public:
    explicit kd7240fp_modulationRows(kd7240fp_model *model)
        : model(model)
    {
    }

    // Adds the rows of every kind to `parser`, after those there.
    void addTo(kd7010fp_scpi::Parser &parser);

private:
    using Call = kd7010fp_scpi::Call;
    using Modulation = kd7240fp::Modulation;

    // The rows of one kind, headed `name`.
    std::vector<kd7010fp_scpi::Row> rows(Modulation::Type type, const QByteArray &name);
    // A pattern made from parts, kept for as long as the parser takes it in.
    const char *pattern(const QByteArray &text) { return patterns.emplace_back(text).constData(); }

    void setState(Call &call, Modulation::Type type);
    void queryState(Call &call, Modulation::Type type) const;
    // The card has no modulation input: INTernal alone.
    static void setSource(Call &call);
    void setShape(Call &call);
    void queryShape(Call &call) const;
    // A value of this kind, in `unit` within `range`; what plays of it.
    void setValue(Call &call, double Modulation::*field, kd7010fp_scpi::Unit unit, const kd7010fp_scpi::Range &range);
    void queryValue(Call &call, double Modulation::*field, const kd7010fp_scpi::Range &range) const;
    // Changes the channel's modulation by `edit`; a client's change as any.
    // `sentField`, when given, is the field the client sent `sent` for:
    // what plays instead of it is said.
    bool change(Call &call, const std::function<void(Modulation &)> &edit, double Modulation::*sentField = nullptr,
        double sent = 0);

    kd7240fp_model *model;
    std::deque<QByteArray> patterns;
};

#endif
