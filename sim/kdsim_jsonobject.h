// Writing the trace's JSON lines: locale-independent numbers, Latin-1 bytes
// escaped so that every line stays valid JSON.
#ifndef KDSIM_JSONOBJECT_H
#define KDSIM_JSONOBJECT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace kdsim::detail {

// A quoted JSON string; bytes are taken as Latin-1.
std::string jsonString(std::string_view bytes);
// A double with 17 significant digits; null for NaN and infinities.
std::string jsonNumber(double value);

// Builds one JSON object member by member.
class JsonObject
{
public:
    JsonObject &integer(const char *key, long long value);
    JsonObject &unsignedInteger(const char *key, unsigned long long value);
    JsonObject &number(const char *key, double value);
    JsonObject &string(const char *key, std::string_view value);
    // A caller's C string, at most `maxLength` bytes of it; null for a null pointer.
    JsonObject &cString(const char *key, const char *value, std::size_t maxLength = 65536);
    JsonObject &boolean(const char *key, bool value);
    JsonObject &null(const char *key);
    JsonObject &raw(const char *key, const std::string &json);

    bool empty() const { return members.empty(); }
    std::string text() const { return "{" + members + "}"; }

private:
    JsonObject &add(const char *key, const std::string &json);
    std::string members;
};

} // namespace kdsim::detail

#endif
