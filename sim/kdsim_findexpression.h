// The search expression language of viFindRsrc.
#ifndef KDSIM_FINDEXPRESSION_H
#define KDSIM_FINDEXPRESSION_H

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kdsim::detail {

// A compiled VISA search expression: ? * + [list] [^list] | ( ) and \ escapes,
// case-insensitive, matching the whole descriptor.
//
// It is compiled into a nondeterministic automaton and matched by following
// every state it can be in at once, each state at most once per character:
// the work grows with the expression's length times the descriptor's,
// whatever the expression (nested repetitions such as "a++++" included), and
// neither compiling nor matching recurses deeper than the parentheses nest.
class FindExpression
{
public:
    // Deeper nesting of parentheses is refused as malformed.
    static constexpr int maxNesting = 64;

    // Returns false and sets *error when the expression is malformed.
    bool compile(std::string_view expression, std::string *error = nullptr);
    bool matches(std::string_view text) const;

private:
    struct State {
        enum Kind : unsigned char { Literal, Any, Class, Split, Match } kind = Literal;
        unsigned char ch = 0; // Literal, lower case
        int charClass = -1;   // Class: index into classes
        int out = -1;         // next state; for Split the first of two
        int out1 = -1;        // Split: the second
    };
    struct CharClass {
        bool negated = false;
        std::vector<std::pair<unsigned char, unsigned char>> ranges;
    };
    // A piece of the automaton being built: where it starts, and the
    // transitions still to be pointed at whatever follows it (state, and
    // whether it is that state's out1).
    struct Fragment {
        int start = -1;
        std::vector<std::pair<int, bool>> exits;
    };

    int add(State state);
    void connect(const Fragment &from, int to);
    Fragment single(State state);
    Fragment parseAlternative(int depth);
    Fragment parseSequence(int depth);
    Fragment parsePostfix(int depth);
    Fragment parseAtom(int depth);
    Fragment parseClass();
    unsigned char takeChar();
    bool classMatches(const CharClass &cls, unsigned char c) const;
    void enter(int state, std::vector<int> &into, std::vector<unsigned> &mark, unsigned generation,
               std::vector<int> &stack) const;

    std::vector<State> states;
    std::vector<CharClass> classes;
    int start = -1;
    std::string_view source;
    std::size_t pos = 0;
    std::string failure;
};

} // namespace kdsim::detail

#endif
