// The search expression language of viFindRsrc.
#ifndef KDSIM_FINDEXPRESSION_H
#define KDSIM_FINDEXPRESSION_H

#include <string>
#include <string_view>
#include <vector>

namespace kdsim::detail {

// A compiled VISA search expression: ? * + [list] [^list] | ( ) and \ escapes,
// case-insensitive, matching the whole descriptor.
class FindExpression
{
public:
    // Returns false and sets *error when the expression is malformed.
    bool compile(std::string_view expression, std::string *error = nullptr);
    bool matches(std::string_view text) const;

private:
    struct Node {
        enum Kind { Literal, Any, Class, Sequence, Alternative, Star, Plus } kind = Literal;
        unsigned char ch = 0;
        bool negated = false;
        std::vector<std::pair<unsigned char, unsigned char>> ranges;
        std::vector<int> children;
    };
    using Positions = std::vector<char>;

    int add(Node node);
    int parseAlternative();
    int parseSequence();
    int parsePostfix();
    int parseAtom();
    int parseClass();
    unsigned char takeChar();
    bool classMatches(const Node &node, unsigned char c) const;
    Positions step(int node, const Positions &from, std::string_view text) const;

    std::vector<Node> nodes;
    int root = -1;
    std::string_view source;
    std::size_t pos = 0;
    std::string failure;
};

} // namespace kdsim::detail

#endif
