#include "kdsim_jsonobject.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace kdsim::detail {

std::string jsonString(std::string_view bytes)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
    return out;
}

std::string jsonNumber(double value)
{
    if (!std::isfinite(value))
        return "null";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
    return std::string(buf, r.ptr);
}

JsonObject &JsonObject::add(const char *key, const std::string &json)
{
    if (!members.empty())
        members += ',';
    members += jsonString(key);
    members += ':';
    members += json;
    return *this;
}

JsonObject &JsonObject::integer(const char *key, long long value)
{
    return add(key, std::to_string(value));
}

JsonObject &JsonObject::unsignedInteger(const char *key, unsigned long long value)
{
    return add(key, std::to_string(value));
}

JsonObject &JsonObject::number(const char *key, double value)
{
    return add(key, jsonNumber(value));
}

JsonObject &JsonObject::string(const char *key, std::string_view value)
{
    return add(key, jsonString(value));
}

JsonObject &JsonObject::cString(const char *key, const char *value, std::size_t maxLength)
{
    if (!value)
        return null(key);
    return add(key, jsonString(std::string_view(value, strnlen(value, maxLength))));
}

JsonObject &JsonObject::boolean(const char *key, bool value)
{
    return add(key, value ? "true" : "false");
}

JsonObject &JsonObject::null(const char *key)
{
    return add(key, "null");
}

JsonObject &JsonObject::raw(const char *key, const std::string &json)
{
    return add(key, json);
}

} // namespace kdsim::detail
