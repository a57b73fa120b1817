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

int FindExpression::add(Node node)
{
    nodes.push_back(std::move(node));
    return static_cast<int>(nodes.size()) - 1;
}

bool FindExpression::compile(std::string_view expression, std::string *error)
{
    nodes.clear();
    root = -1;
    source = expression;
    pos = 0;
    failure.clear();
    int r = parseAlternative();
    if (failure.empty() && pos < source.size())
        failure = "unbalanced ')' at position " + std::to_string(pos + 1);
    if (!failure.empty()) {
        nodes.clear();
        if (error)
            *error = failure;
        return false;
    }
    root = r;
    return true;
}

int FindExpression::parseAlternative()
{
    int first = parseSequence();
    if (!failure.empty() || pos >= source.size() || source[pos] != '|')
        return first;
    Node alt;
    alt.kind = Node::Alternative;
    alt.children.push_back(first);
    while (failure.empty() && pos < source.size() && source[pos] == '|') {
        ++pos;
        alt.children.push_back(parseSequence());
    }
    return add(std::move(alt));
}

int FindExpression::parseSequence()
{
    Node seq;
    seq.kind = Node::Sequence;
    while (failure.empty() && pos < source.size() && source[pos] != '|' && source[pos] != ')')
        seq.children.push_back(parsePostfix());
    if (failure.empty() && seq.children.empty())
        failure = "empty expression at position " + std::to_string(pos + 1);
    return add(std::move(seq));
}

int FindExpression::parsePostfix()
{
    int atom = parseAtom();
    while (failure.empty() && pos < source.size() && (source[pos] == '*' || source[pos] == '+')) {
        Node rep;
        rep.kind = source[pos] == '*' ? Node::Star : Node::Plus;
        rep.children.push_back(atom);
        atom = add(std::move(rep));
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

int FindExpression::parseAtom()
{
    Node node;
    const char c = source[pos];
    switch (c) {
    case '?':
        node.kind = Node::Any;
        ++pos;
        break;
    case '*':
    case '+':
        failure = std::string("'") + c + "' with nothing to repeat at position " + std::to_string(pos + 1);
        pos = source.size();
        break;
    case '[':
        return parseClass();
    case '(': {
        const std::size_t open = pos++;
        int inner = parseAlternative();
        if (failure.empty() && (pos >= source.size() || source[pos] != ')'))
            failure = "unbalanced '(' at position " + std::to_string(open + 1);
        ++pos;
        return inner;
    }
    default:
        node.kind = Node::Literal;
        node.ch = lower(takeChar());
        break;
    }
    return add(std::move(node));
}

int FindExpression::parseClass()
{
    const std::size_t open = pos++;
    Node node;
    node.kind = Node::Class;
    if (pos < source.size() && source[pos] == '^') {
        node.negated = true;
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
        node.ranges.emplace_back(from, to);
    }
    if (!failure.empty())
        return -1;
    if (pos >= source.size()) {
        failure = "unbalanced '[' at position " + std::to_string(open + 1);
        return -1;
    }
    ++pos; // ']'
    if (node.ranges.empty()) {
        failure = "empty list '[]' at position " + std::to_string(open + 1);
        return -1;
    }
    return add(std::move(node));
}

bool FindExpression::classMatches(const Node &node, unsigned char c) const
{
    bool in = false;
    for (unsigned char v : {c, lower(c), upper(c)})
        for (const auto &r : node.ranges)
            in = in || (v >= r.first && v <= r.second);
    return in != node.negated;
}

// Positions after `node` has matched, starting from any position in `from`.
FindExpression::Positions FindExpression::step(int index, const Positions &from, std::string_view text) const
{
    const Node &node = nodes[static_cast<std::size_t>(index)];
    const std::size_t n = text.size();
    Positions to(n + 1, 0);
    switch (node.kind) {
    case Node::Literal:
    case Node::Any:
    case Node::Class:
        for (std::size_t p = 0; p < n; ++p) {
            if (!from[p])
                continue;
            const auto c = static_cast<unsigned char>(text[p]);
            bool ok = node.kind == Node::Any || (node.kind == Node::Literal ? lower(c) == node.ch : classMatches(node, c));
            if (ok)
                to[p + 1] = 1;
        }
        break;
    case Node::Sequence: {
        Positions cur = from;
        for (int child : node.children)
            cur = step(child, cur, text);
        return cur;
    }
    case Node::Alternative:
        for (int child : node.children) {
            Positions part = step(child, from, text);
            for (std::size_t p = 0; p <= n; ++p)
                to[p] = to[p] || part[p];
        }
        break;
    case Node::Star:
    case Node::Plus: {
        Positions frontier = node.kind == Node::Star ? from : step(node.children[0], from, text);
        to = frontier;
        for (;;) {
            Positions next = step(node.children[0], frontier, text);
            bool grew = false;
            for (std::size_t p = 0; p <= n; ++p) {
                next[p] = next[p] && !to[p];
                if (next[p]) {
                    to[p] = 1;
                    grew = true;
                }
            }
            if (!grew)
                break;
            frontier = std::move(next);
        }
        break;
    }
    }
    return to;
}

bool FindExpression::matches(std::string_view text) const
{
    if (root < 0)
        return false;
    Positions start(text.size() + 1, 0);
    start[0] = 1;
    return step(root, start, text)[text.size()] != 0;
}

} // namespace kdsim::detail
