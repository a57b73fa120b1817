// Arbitrary waveforms from a formula: one period of n samples computed from
// an expression the operator types, normalised like a loaded shape. A pure
// function, so the tests, the fuzzer and the benchmark call it without a
// window.
#ifndef KD7240FP_FORMULA_H
#define KD7240FP_FORMULA_H

#include <QString>
#include <vector>

namespace kd7240fp {

// What is refused before the expression library sees it: longer texts and
// deeper parentheses serve no waveform and only cost time and memory.
constexpr int maxFormulaLength = 1000;
constexpr int maxFormulaNesting = 32;

struct Formula
{
    bool ok = false;
    std::vector<double> samples; // n samples normalised to -1..1 by the largest magnitude
    QString error; // the first problem, in the operator's words
    int position = -1; // 1-based character position of the problem in the text, or -1
};

// Evaluates `expression` for n samples (2..262143): t = i / n (0 <= t < 1), i, n; constant pi;
// muparser's functions plus square(x), saw(x), tri(x) of period 1 and range -1..1.
// square(x) is +1 for the first half of each period and -1 for the second, as
// the card's square starts high; saw(x) rises from -1 to 1; tri(x) rises from
// -1 to +1 at half a period and falls back. A result that is not finite or is
// 0 throughout is refused, naming the first sample that is not finite, and
// so is one that would take more than a second to evaluate.
Formula evaluateFormula(const QString &expression, int n);

} // namespace kd7240fp

#endif
