#include "kd7240fp_formula.h"

#include "kd7240fp_shapefile.h"
#include "kd7240fp_synthesis.h"

#include <QCoreApplication>

#include <muParser.h>

#include <dlfcn.h>

#include <algorithm>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <exception>

namespace kd7240fp {

namespace {

QString tr(const char *text) { return QCoreApplication::translate("kd7240fp_formula", text); }

constexpr double pi = 3.14159265358979323846;
// Samples evaluated at once, and the longest an evaluation may take.
constexpr int blockSamples = 8192;
constexpr double maxFormulaSeconds = 1.0;

double frac(double x) { return x - std::floor(x); }
// The standard shapes, period 1, range -1..1, phased like the card's own.
double square(double x) { return frac(x) < 0.5 ? 1.0 : -1.0; }
double saw(double x) { return 2 * frac(x) - 1; }
double tri(double x) { return 1 - 4 * std::fabs(frac(x) - 0.5); }

// Debian builds muparser with OpenMP, whose bulk mode then splits the
// samples over every core and leaves its threads spinning after each call.
// On a busy machine that makes an evaluation wait for cores others hold (a
// quarter of a second instead of a few milliseconds) and takes time from the
// window's thread; one thread is fast enough and always is. The setting
// belongs to the calling thread, so it is made for each evaluation. The
// library is looked up, not linked: a muparser without OpenMP needs nothing.
void evaluateOnOneThread()
{
    using SetThreads = void (*)(int);
    static const auto setThreads = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (setThreads)
        setThreads(1);
}

Formula failed(const QString &error, int position = -1)
{
    Formula result;
    result.error = error;
    result.position = position;
    return result;
}

// A character for a message: itself when printable, else its code.
QString shownChar(QChar c)
{
    return c.isPrint() ? QStringLiteral("'%1'").arg(c) : QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QChar(u'0'));
}

// A token for a message, trimmed and not too long.
QString shownToken(const std::string &token)
{
    QString s = QString::fromStdString(token).trimmed();
    if (s.size() > 20)
        s = s.left(20) + QStringLiteral("...");
    return QStringLiteral("'%1'").arg(s);
}

// What muparser never needs to see: characters outside printable ASCII
// (names and numbers are ASCII, so positions stay the operator's), strings,
// assignments to the variables, several results, and deep nesting.
Formula precheck(const QString &text)
{
    int depth = 0;
    for (int k = 0; k < text.size(); ++k) {
        const QChar c = text[k];
        if (c.unicode() < 0x20 || c.unicode() > 0x7E || c == u'"')
            return failed(tr("Unexpected character %1 at position %2").arg(shownChar(c)).arg(k + 1), k + 1);
        if (c == u'(' && ++depth > maxFormulaNesting)
            return failed(
                tr("Parentheses nested deeper than %1 at position %2").arg(maxFormulaNesting).arg(k + 1), k + 1);
        if (c == u')')
            --depth;
        if (c == u',' && depth <= 0)
            return failed(tr("Unexpected token ',' at position %1").arg(k + 1), k + 1);
        if (c == u'=') {
            if (k + 1 < text.size() && text[k + 1] == u'=') {
                ++k; // "=="
                continue;
            }
            if (k > 0 && (text[k - 1] == u'<' || text[k - 1] == u'>' || text[k - 1] == u'!'))
                continue;
            return failed(tr("Unexpected operator '=' at position %1").arg(k + 1), k + 1);
        }
    }
    return Formula();
}

// The 0-based index of the '(' matching the ')' at `close`, or -1.
int openingOf(const QString &text, int close)
{
    int depth = 0;
    for (int k = close; k >= 0; --k) {
        if (text[k] == u')')
            ++depth;
        else if (text[k] == u'(' && --depth == 0)
            return k;
    }
    return -1;
}

// Where the call of `name` that ended at or before `pos` starts, 1-based, or -1.
int callPosition(const QString &text, const QString &name, int pos)
{
    int close = std::min(pos, int(text.size()) - 1);
    while (close >= 0 && text[close] != u')')
        --close;
    int open = close >= 0 ? openingOf(text, close) : -1;
    while (open > 0 && text[open - 1] == u' ')
        --open;
    const int start = open - int(name.size());
    return open > 0 && start >= 0 && text.mid(start, name.size()) == name ? start + 1 : -1;
}

// The operator's words for muparser's complaint about `text`.
Formula explain(const mu::Parser::exception_type &e, const QString &text, const mu::Parser &parser)
{
    const int length = int(text.size());
    const int pos = e.GetPos(); // 0-based, sometimes just past the end
    const int at = pos >= 0 && pos < length ? pos + 1 : -1;
    const QString token = QString::fromStdString(e.GetToken()).trimmed();
    switch (e.GetCode()) {
    case mu::ecUNEXPECTED_OPERATOR:
        if (at > 0)
            return failed(tr("Unexpected operator %1 at position %2").arg(shownToken(e.GetToken())).arg(at), at);
        break;
    case mu::ecUNEXPECTED_PARENS:
    case mu::ecUNEXPECTED_ARG_SEP:
    case mu::ecUNEXPECTED_ARG:
    case mu::ecUNEXPECTED_VAL:
    case mu::ecUNEXPECTED_VAR:
    case mu::ecUNEXPECTED_FUN:
    case mu::ecUNEXPECTED_CONDITIONAL:
    case mu::ecMISPLACED_COLON:
        if (at > 0)
            return failed(tr("Unexpected token %1 at position %2").arg(shownToken(e.GetToken())).arg(at), at);
        break;
    case mu::ecUNEXPECTED_EOF: {
        // Just after the last character typed.
        int end = length;
        while (end > 0 && text[end - 1] == u' ')
            --end;
        return failed(tr("Unexpected end of the formula at position %1").arg(end + 1), end + 1);
    }
    case mu::ecMISSING_PARENS: {
        // The innermost '(' left open.
        QList<int> open;
        for (int k = 0; k < length; ++k) {
            if (text[k] == u'(')
                open.append(k);
            else if (text[k] == u')' && !open.isEmpty())
                open.removeLast();
        }
        if (!open.isEmpty())
            return failed(tr("Missing ')' for the '(' at position %1").arg(open.last() + 1), open.last() + 1);
        return failed(tr("Missing ')'"));
    }
    case mu::ecUNASSIGNABLE_TOKEN:
        if (at > 0) {
            const QChar first = text[pos];
            if (first.isLetter() || first == u'_') {
                int end = pos;
                while (end < length && (text[end].isLetterOrNumber() || text[end] == u'_'))
                    ++end;
                const QString name = text.mid(pos, end - pos);
                const int nameEnd = end;
                while (end < length && text[end] == u' ')
                    ++end;
                const bool call = end < length && text[end] == u'(';
                if (parser.GetFunDef().count(name.toStdString()) > 0) {
                    // A known function, written "sin (t)" or "abs".
                    if (call)
                        return failed(
                            tr("Unexpected space after '%1' at position %2").arg(name).arg(nameEnd + 1), nameEnd + 1);
                    return failed(tr("Missing '(' after the function '%1' at position %2").arg(name).arg(nameEnd + 1),
                        nameEnd + 1);
                }
                return failed(
                    (call ? tr("Unknown function '%1' at position %2") : tr("Unknown variable '%1' at position %2"))
                        .arg(name)
                        .arg(at),
                    at);
            }
            if (first.isDigit() || first == u'.')
                return failed(tr("Unexpected token %1 at position %2").arg(shownToken(e.GetToken())).arg(at), at);
            return failed(tr("Unexpected character %1 at position %2").arg(shownChar(first)).arg(at), at);
        }
        break;
    case mu::ecTOO_FEW_PARAMS:
    case mu::ecTOO_MANY_PARAMS: {
        const int call = callPosition(text, token, pos);
        const QString what = e.GetCode() == mu::ecTOO_FEW_PARAMS ? tr("Too few arguments for %1()")
                                                                 : tr("Too many arguments for %1()");
        if (call > 0)
            return failed(tr("%1 at position %2").arg(what.arg(token)).arg(call), call);
        return failed(what.arg(token));
    }
    case mu::ecMISSING_ELSE_CLAUSE: {
        const int question = int(text.indexOf(u'?'));
        return failed(
            tr("Missing ':' for the '?' at position %1").arg(question + 1), question >= 0 ? question + 1 : -1);
    }
    default:
        break;
    }
    const QString message = QString::fromStdString(e.GetMsg());
    if (at > 0)
        return failed(tr("The formula cannot be read at position %1 (%2)").arg(at).arg(message), at);
    return failed(tr("The formula cannot be read (%1)").arg(message));
}

// The first of samples first .. first + count - 1 whose evaluation produces a
// NaN anywhere on its way: each is evaluated alone, watching the processor's
// invalid-operation flag. -1 when none does.
int firstInvalidSample(mu::Parser &parser, double *t, double *index, int first, int count, int n)
{
    for (int k = 0; k < count; ++k) {
        t[0] = double(first + k) / n;
        index[0] = first + k;
        std::feclearexcept(FE_INVALID);
        parser.Eval();
        if (std::fetestexcept(FE_INVALID))
            return first + k;
    }
    return -1;
}

Formula notFinite(int sample, double x)
{
    const QString value = std::isnan(x) ? QStringLiteral("nan") : x > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return failed(tr("The result is not finite: sample %1 is %2.").arg(sample).arg(value));
}

} // namespace

Formula evaluateFormula(const QString &typed, int n)
{
    // A tab is white space like a blank, one for one, so positions in a
    // message still count the line's characters.
    QString expression = typed;
    expression.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (n < minShapeSamples || n > maxShapeSamples)
        return failed(tr("A formula takes %1 to %2 samples, not %3.").arg(minShapeSamples).arg(maxShapeSamples).arg(n));
    if (expression.trimmed().isEmpty())
        return failed(tr("Type a formula, for example sin(2*pi*t)."));
    if (expression.size() > maxFormulaLength)
        return failed(tr("The formula is longer than %1 characters.").arg(maxFormulaLength), maxFormulaLength + 1);
    Formula checked = precheck(expression);
    if (!checked.error.isEmpty())
        return checked;

    // Bulk mode: each variable is an array, and one call evaluates them all.
    // The samples go in blocks, so that a formula far too slow for n samples
    // (a long chain of powers, say) is refused after its first block rather
    // than holding the panel for seconds.
    const int block = std::min(n, blockSamples);
    std::vector<double> t(static_cast<size_t>(block)), index(static_cast<size_t>(block));
    Formula result;
    result.samples.resize(size_t(n));
    evaluateOnOneThread();
    const auto started = std::chrono::steady_clock::now();
    mu::Parser parser;
    try {
        parser.DefineVar("t", t.data());
        parser.DefineVar("i", index.data());
        parser.DefineConst("n", n);
        parser.DefineConst("pi", pi);
        parser.DefineFun("square", square);
        parser.DefineFun("saw", saw);
        parser.DefineFun("tri", tri);
        parser.SetExpr(expression.toStdString());
        for (int first = 0; first < n; first += block) {
            const int count = std::min(block, n - first);
            for (int k = 0; k < count; ++k) {
                t[size_t(k)] = double(first + k) / n;
                index[size_t(k)] = first + k;
            }
            // A NaN raises the invalid-operation flag where it is made
            // (sqrt(-1), 0/0, inf - inf), even when a later step swallows
            // it: min(1, NaN) is 1, NaN < 1 is false, NaN^0 is 1.
            std::feclearexcept(FE_INVALID);
            clearUpperVectorState();
            parser.Eval(result.samples.data() + first, count);
            if (std::fetestexcept(FE_INVALID)) {
                const int at = firstInvalidSample(parser, t.data(), index.data(), first, count, n);
                if (at >= 0) {
                    for (int i = 0; i <= at; ++i)
                        if (!std::isfinite(result.samples[size_t(i)]))
                            return notFinite(i, result.samples[size_t(i)]);
                    return failed(tr("The formula has no value at sample %1: a step of it is not a number "
                                     "(a square root or logarithm of a negative number, 0/0...), though a later "
                                     "one hides that.")
                                      .arg(at));
                }
            }
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const double expected = seconds * n / (first + count);
            if (first + count < n && expected > maxFormulaSeconds)
                return failed(tr("The formula would take about %1 s for %2 samples; use fewer samples or a simpler "
                                 "formula.")
                                  .arg(expected, 0, 'f', 1)
                                  .arg(n));
        }
    } catch (const mu::Parser::exception_type &e) {
        return explain(e, expression, parser);
    } catch (const std::exception &e) {
        return failed(tr("The formula cannot be evaluated (%1).").arg(QString::fromLocal8Bit(e.what())));
    }

    for (int i = 0; i < n; ++i)
        if (!std::isfinite(result.samples[size_t(i)]))
            return notFinite(i, result.samples[size_t(i)]);
    if (playsNothing(result.samples))
        return failed(tr("The formula gives 0 for every sample: there is nothing to play."));
    if (zeroButRounding(result.samples))
        return failed(tr("Every sample is 0 but for rounding (the largest is %1); scale the formula up if you mean "
                         "it.")
                          .arg(peakOf(result.samples), 0, 'g', 2));
    normalise(result.samples);
    result.ok = true;
    return result;
}

} // namespace kd7240fp
