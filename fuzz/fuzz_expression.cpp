// viFindRsrc's expression matcher and descriptor normalisation. The input is
// an expression, a NUL byte and a descriptor. Whenever the expression
// compiles, its answer must agree with an independent translation into a
// POSIX extended regular expression, matched by the C library. The
// normalised descriptor must be upper case and normalise to itself.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex.h>
#include <string>
#include <string_view>

#include "kdsim_descriptor.h"
#include "kdsim_findexpression.h"

namespace {

// A POSIX bracket expression for exactly the bytes in `set` (1..255), or
// an empty text when the set is empty. The bytes that mean something inside
// brackets are written as collating symbols ("[.-.]"), wherever they stand.
std::string bracket(const bool set[256])
{
    std::string members;
    for (int c = 1; c < 256; ++c) {
        if (!set[c])
            continue;
        if (c == '[' || c == ']' || c == '-' || c == '^')
            members += std::string("[.") + static_cast<char>(c) + ".]";
        else
            members += static_cast<char>(c);
    }
    return members.empty() ? std::string() : "[" + members + "]";
}

unsigned char fold(unsigned char c, bool up)
{
    return static_cast<unsigned char>(up ? std::toupper(c) : std::tolower(c));
}

// Translates a VISA expression the compiler accepted. Returns false when a
// piece cannot be expressed (a class matching no byte at all).
bool translate(std::string_view e, std::string &out)
{
    out = "^(";
    for (std::size_t i = 0; i < e.size(); ++i) {
        const char c = e[i];
        if (c == '?') {
            out += '.';
        } else if (c == '*' || c == '+') {
            // A run of repetitions is one: "a+*+" is "a*", "a++" is "a+".
            // (The C library would expand each of them in turn.)
            bool star = false;
            for (; i < e.size() && (e[i] == '*' || e[i] == '+'); ++i)
                star = star || e[i] == '*';
            --i;
            out += star ? '*' : '+';
        } else if (c == '|' || c == '(' || c == ')') {
            out += c;
        } else if (c == '[') {
            bool ranges[256] = {};
            std::size_t j = i + 1;
            const bool negated = j < e.size() && e[j] == '^';
            if (negated)
                ++j;
            auto take = [&](std::size_t &k) {
                if (e[k] == '\\')
                    ++k;
                return static_cast<unsigned char>(e[k++]);
            };
            while (e[j] != ']') {
                const unsigned char from = take(j);
                unsigned char to = from;
                if (j + 1 < e.size() && e[j] == '-' && e[j + 1] != ']') {
                    ++j;
                    to = take(j);
                }
                for (int b = from; b <= to; ++b)
                    ranges[b] = true;
            }
            i = j;
            bool set[256] = {};
            for (int b = 1; b < 256; ++b) {
                const auto u = static_cast<unsigned char>(b);
                const bool in = ranges[u] || ranges[fold(u, false)] || ranges[fold(u, true)];
                set[b] = in != negated;
            }
            const std::string br = bracket(set);
            if (br.empty())
                return false;
            out += br;
        } else {
            unsigned char literal = static_cast<unsigned char>(c);
            if (c == '\\')
                literal = static_cast<unsigned char>(e[++i]);
            // The bytes whose lower case is the literal's lower case.
            bool set[256] = {};
            for (int b = 1; b < 256; ++b)
                set[b] = fold(static_cast<unsigned char>(b), false) == fold(literal, false);
            const std::string br = bracket(set);
            if (br.empty())
                return false; // the literal NUL byte
            out += br;
        }
    }
    out += ")$";
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view expression = input.substr(0, split);
    const std::string descriptor(split == std::string_view::npos ? std::string_view() : input.substr(split + 1));
    if (descriptor.find('\0') != std::string::npos)
        return 0; // descriptors are C strings

    const kdsim::detail::Descriptor d = kdsim::detail::parseDescriptor(descriptor);
    for (const char c : d.normalised)
        if (std::islower(static_cast<unsigned char>(c)))
            std::abort();
    if (kdsim::detail::parseDescriptor(d.normalised).normalised != d.normalised)
        std::abort();

    kdsim::detail::FindExpression compiled;
    if (!compiled.compile(expression))
        return 0;
    const bool ours = compiled.matches(descriptor);

    // The C library's matcher takes long on long patterns; compare on short ones.
    std::string pattern;
    if (expression.size() > 48 || descriptor.size() > 64 || !translate(expression, pattern))
        return 0;
    regex_t re;
    if (regcomp(&re, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0)
        std::abort(); // every expression we accept must translate
    const bool theirs = regexec(&re, descriptor.c_str(), 0, nullptr, 0) == 0;
    regfree(&re);
    if (ours != theirs)
        std::abort();
    return 0;
}
