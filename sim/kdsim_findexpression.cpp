#include "kdsim_findexpression.h"

#include <cctype>

namespace kdsim::detail {

namespace {

unsigned char lower(unsigned char c)
{
    return static_cast<unsigned char>(std::tolower(c));
}

unsigned char upper(unsigned char c)
{
    return static_cast<unsigned char>(std::toupper(c));
}

} // namespace

int FindExpression::add(State state)
{
    states.push_back(state);
    return static_cast<int>(states.size()) - 1;
}

void FindExpression::connect(const Fragment &from, int to)
{
    for (const auto &[state, second] : from.exits)
        (second ? states[static_cast<std::size_t>(state)].out1 : states[static_cast<std::size_t>(state)].out) = to;
}

FindExpression::Fragment FindExpression::single(State state)
{
    const int s = add(state);
    return Fragment{s, {{s, false}}};
}

bool FindExpression::compile(std::string_view expression, std::string *error)
{
    states.clear();
    classes.clear();
    start = -1;
    source = expression;
    pos = 0;
    failure.clear();
    Fragment whole = parseAlternative(0);
    if (failure.empty() && pos < source.size())
        failure = "unbalanced ')' at position " + std::to_string(pos + 1);
    if (!failure.empty()) {
        states.clear();
        classes.clear();
        if (error)
            *error = failure;
        return false;
    }
    State match;
    match.kind = State::Match;
    connect(whole, add(match));
    start = whole.start;
    return true;
}

FindExpression::Fragment FindExpression::parseAlternative(int depth)
{
    Fragment whole = parseSequence(depth);
    while (failure.empty() && pos < source.size() && source[pos] == '|') {
        ++pos;
        Fragment next = parseSequence(depth);
        if (!failure.empty())
            break;
        State split;
        split.kind = State::Split;
        split.out = whole.start;
        split.out1 = next.start;
        whole.start = add(split);
        whole.exits.insert(whole.exits.end(), next.exits.begin(), next.exits.end());
    }
    return whole;
}

FindExpression::Fragment FindExpression::parseSequence(int depth)
{
    Fragment whole;
    while (failure.empty() && pos < source.size() && source[pos] != '|' && source[pos] != ')') {
        Fragment next = parsePostfix(depth);
        if (!failure.empty())
            break;
        if (whole.start < 0) {
            whole = std::move(next);
        } else {
            connect(whole, next.start);
            whole.exits = std::move(next.exits);
        }
    }
    if (failure.empty() && whole.start < 0)
        failure = "empty expression at position " + std::to_string(pos + 1);
    return whole;
}

FindExpression::Fragment FindExpression::parsePostfix(int depth)
{
    Fragment atom = parseAtom(depth);
    while (failure.empty() && pos < source.size() && (source[pos] == '*' || source[pos] == '+')) {
        // A loop back through a split: "*" may also skip the atom, "+" must
        // pass it once first.
        State split;
        split.kind = State::Split;
        split.out = atom.start;
        const int s = add(split);
        connect(atom, s);
        atom = Fragment{source[pos] == '*' ? s : atom.start, {{s, true}}};
        ++pos;
    }
    return atom;
}

unsigned char FindExpression::takeChar()
{
    if (source[pos] == '\\') {
        if (pos + 1 >= source.size()) {
            failure = "'\\' at the end of the expression";
            pos = source.size();
            return 0;
        }
        ++pos;
    }
    return static_cast<unsigned char>(source[pos++]);
}

FindExpression::Fragment FindExpression::parseAtom(int depth)
{
    State state;
    const char c = source[pos];
    switch (c) {
    case '?':
        state.kind = State::Any;
        ++pos;
        return single(state);
    case '*':
    case '+':
        failure = std::string("'") + c + "' with nothing to repeat at position " + std::to_string(pos + 1);
        pos = source.size();
        return {};
    case '[':
        return parseClass();
    case '(': {
        const std::size_t open = pos++;
        if (depth + 1 > maxNesting) {
            failure = "'(' nested deeper than " + std::to_string(maxNesting) + " at position "
                + std::to_string(open + 1);
            pos = source.size();
            return {};
        }
        Fragment inner = parseAlternative(depth + 1);
        if (failure.empty() && (pos >= source.size() || source[pos] != ')'))
            failure = "unbalanced '(' at position " + std::to_string(open + 1);
        ++pos;
        return inner;
    }
    default:
        state.kind = State::Literal;
        state.ch = lower(takeChar());
        return single(state);
    }
}

FindExpression::Fragment FindExpression::parseClass()
{
    const std::size_t open = pos++;
    CharClass cls;
    if (pos < source.size() && source[pos] == '^') {
        cls.negated = true;
        ++pos;
    }
    while (failure.empty() && pos < source.size() && source[pos] != ']') {
        unsigned char from = takeChar();
        unsigned char to = from;
        if (failure.empty() && pos + 1 < source.size() && source[pos] == '-' && source[pos + 1] != ']') {
            ++pos;
            to = takeChar();
            if (failure.empty() && to < from)
                failure = "reversed range in '[' at position " + std::to_string(open + 1);
        }
        cls.ranges.emplace_back(from, to);
    }
    if (!failure.empty())
        return {};
    if (pos >= source.size()) {
        failure = "unbalanced '[' at position " + std::to_string(open + 1);
        return {};
    }
    ++pos; // ']'
    if (cls.ranges.empty()) {
        failure = "empty list '[]' at position " + std::to_string(open + 1);
        return {};
    }
    classes.push_back(std::move(cls));
    State state;
    state.kind = State::Class;
    state.charClass = static_cast<int>(classes.size()) - 1;
    return single(state);
}

bool FindExpression::classMatches(const CharClass &cls, unsigned char c) const
{
    bool in = false;
    for (unsigned char v : {c, lower(c), upper(c)})
        for (const auto &r : cls.ranges)
            in = in || (v >= r.first && v <= r.second);
    return in != cls.negated;
}

// Adds `state` and every state reachable from it through splits to `into`,
// each once per generation; an explicit stack, so no depth limit applies.
void FindExpression::enter(int state, std::vector<int> &into, std::vector<unsigned> &mark, unsigned generation,
                           std::vector<int> &stack) const
{
    stack.push_back(state);
    while (!stack.empty()) {
        const int s = stack.back();
        stack.pop_back();
        if (s < 0 || mark[static_cast<std::size_t>(s)] == generation)
            continue;
        mark[static_cast<std::size_t>(s)] = generation;
        const State &st = states[static_cast<std::size_t>(s)];
        if (st.kind == State::Split) {
            stack.push_back(st.out1);
            stack.push_back(st.out);
        } else {
            into.push_back(s);
        }
    }
}

bool FindExpression::matches(std::string_view text) const
{
    if (start < 0)
        return false;
    std::vector<unsigned> mark(states.size(), 0);
    std::vector<int> current, next, stack;
    unsigned generation = 1;
    enter(start, current, mark, generation, stack);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        ++generation;
        next.clear();
        for (const int s : current) {
            const State &st = states[static_cast<std::size_t>(s)];
            const bool ok = st.kind == State::Any || (st.kind == State::Literal && lower(c) == st.ch)
                || (st.kind == State::Class && classMatches(classes[static_cast<std::size_t>(st.charClass)], c));
            if (ok)
                enter(st.out, next, mark, generation, stack);
        }
        current.swap(next);
        if (current.empty())
            return false;
    }
    for (const int s : current)
        if (states[static_cast<std::size_t>(s)].kind == State::Match)
            return true;
    return false;
}

} // namespace kdsim::detail
