#include "kdsim_system.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "kdsim_descriptor.h"
#include "visa.h"

namespace kdsim::detail {

namespace {

using nlohmann::json;

const char *const knownCalls[] = {
    "viOpenDefaultRM",      "viFindRsrc",          "viFindNext",             "viOpen",
    "viClose",              "viGetAttribute",      "getCommonRevision",      "openCarrier",
    "closeCarrier",         "getStatusText",       "getAccess",              "readSlotWord",
    "kd7240_init",          "kd7240_close",        "kd7240_error_message",   "kd7240_revision_query",
    "kd7240_getOutputLimits", "kd7240_getDACval",  "kd7240_readSerialNo",    "kd7240_writeChannels",
    "kd7240_calibrate",     "kd7240_setFEConfig",  "kd7240_setITRI",         "kd7240_pulseITRI",
    "kd7240_generateWaveforms", "kd7240_generateWaveform", "kd7240_getBurstStatus", "kd7240_stopBurst",
    "kd7240_pause",         "kd7240_resume"};

// What is wrong (`what`) and where in the document (`where`).
struct Bad {
    std::string where;
    std::string what;
};

// Control characters written as \u00XX: one error stays one line.
std::string escapeControls(const std::string &text)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

// A text of the file, quoted for a message (control characters escaped).
std::string quotedText(const std::string &utf8)
{
    return json(utf8).dump(-1, ' ', false, json::error_handler_t::replace);
}

// A Latin-1 text (as kdsim keeps texts), quoted for a message.
std::string quotedLatin1(const std::string &latin1)
{
    std::string utf8;
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            utf8 += ch;
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return quotedText(utf8);
}

std::string join(const std::string &where, const std::string &key)
{
    return where.empty() ? escapeControls(key) : where + "." + escapeControls(key);
}

std::string indexed(const std::string &where, std::size_t i)
{
    return where + "[" + std::to_string(i) + "]";
}

std::string kindOf(const json &j)
{
    switch (j.type()) {
    case json::value_t::null:
        return "null";
    case json::value_t::boolean:
        return "a boolean";
    case json::value_t::string:
        return "a text";
    case json::value_t::array:
        return "an array";
    case json::value_t::object:
        return "an object";
    default:
        return "a number";
    }
}

[[noreturn]] void wrongType(const json &j, const std::string &where, const char *expected)
{
    throw Bad{where, std::string("expected ") + expected + ", found " + kindOf(j)};
}

void requireObject(const json &j, const std::string &where)
{
    if (!j.is_object())
        wrongType(j, where, "an object");
}

void allowKeys(const json &j, const std::string &where, std::initializer_list<const char *> keys)
{
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool known = it.key() == "comment";
        for (const char *k : keys)
            known = known || it.key() == k;
        if (!known)
            throw Bad{join(where, it.key()), "unknown key"};
    }
}

const json *member(const json &j, const char *key)
{
    auto it = j.find(key);
    return it == j.end() ? nullptr : &*it;
}

const json &required(const json &j, const std::string &where, const char *key, const char *hint = "")
{
    const json *m = member(j, key);
    if (!m)
        throw Bad{join(where, key), std::string("missing") + hint};
    return *m;
}

// A whole number given as a JSON number or as "0x..." text, within lo..hi.
long long integer(const json &j, const std::string &where, long long lo, long long hi)
{
    long long value = 0;
    std::string shown;
    if (j.is_string()) {
        const std::string s = j.get<std::string>();
        shown = quotedText(s);
        // Any number of leading zeros; at most 16 significant digits.
        bool ok = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
        std::size_t first = 2;
        while (ok && first < s.size() && s[first] == '0')
            ++first;
        unsigned long long u = 0;
        for (std::size_t i = 2; ok && i < s.size(); ++i) {
            const char c = s[i];
            int digit = c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f'       ? c - 'a' + 10
                : c >= 'A' && c <= 'F'       ? c - 'A' + 10
                                             : -1;
            ok = digit >= 0;
            u = u * 16 + static_cast<unsigned>(digit);
        }
        if (!ok)
            throw Bad{where, shown + " is not a number"};
        if (s.size() - first > 16 || u > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
            throw Bad{where, shown + " is out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")"};
        value = static_cast<long long>(u);
    } else if (j.is_number_unsigned()) {
        shown = j.dump();
        const auto u = j.get<unsigned long long>();
        if (u > static_cast<unsigned long long>(hi))
            throw Bad{where, shown + " is out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")"};
        value = static_cast<long long>(u);
    } else if (j.is_number_integer()) {
        shown = j.dump();
        value = j.get<long long>();
    } else if (j.is_number_float()) {
        shown = j.dump();
        const double d = j.get<double>();
        if (d != std::floor(d))
            throw Bad{where, shown + " is not a whole number"};
        if (d < static_cast<double>(lo) || d > static_cast<double>(hi))
            throw Bad{where, shown + " is out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")"};
        value = static_cast<long long>(d);
    } else {
        wrongType(j, where, "a number");
    }
    if (value < lo || value > hi)
        throw Bad{where, shown + " is out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")"};
    return value;
}

double real(const json &j, const std::string &where)
{
    if (!j.is_number())
        wrongType(j, where, "a number");
    return j.get<double>();
}

// A text of at most maxLength characters, without NUL (the C interfaces end
// texts there), converted to the Latin-1 bytes in which the libraries hand
// texts over. Characters beyond Latin-1 cannot be handed over and are refused.
std::string text(const json &j, const std::string &where, std::size_t maxLength)
{
    if (!j.is_string())
        wrongType(j, where, "a text");
    const std::string &s = j.get_ref<const std::string &>();
    std::size_t characters = 0;
    for (const char c : s)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (characters > maxLength)
        throw Bad{where, quotedText(s) + " is longer than " + std::to_string(maxLength) + " characters"};
    std::string latin1;
    latin1.reserve(characters);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == 0)
            throw Bad{where, quotedText(s) + " contains a NUL character"};
        if (c < 0x80) {
            latin1 += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < s.size()) {
            // The parser has checked the UTF-8: a two-byte sequence follows.
            latin1 += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(s[++i]) & 0x3F));
        } else {
            throw Bad{where, quotedText(s) + " has a character beyond Latin-1"};
        }
    }
    return latin1;
}

CardConfig parseCard(const json &j, const std::string &where)
{
    requireObject(j, where);
    allowKeys(j, where, {"model", "variant", "serial", "subtype", "revision", "lowLimit", "highLimit"});
    CardConfig card;
    const json &model = required(j, where, "model", " (use null for an empty slot)");
    card.model = static_cast<std::uint16_t>(integer(model, join(where, "model"), 1, 0xFFFF));
    char defaultVariant[8];
    std::snprintf(defaultVariant, sizeof defaultVariant, "%02X", card.model & 0xFFu);
    card.variant = defaultVariant;
    if (const json *v = member(j, "variant")) {
        card.variant = text(*v, join(where, "variant"), 2);
        bool printable = card.variant.size() == 2;
        for (char c : card.variant)
            printable = printable && c >= 0x20 && c <= 0x7E;
        if (!printable)
            throw Bad{join(where, "variant"), quotedLatin1(card.variant) + " is not two printable ASCII characters"};
    }
    if (const json *v = member(j, "serial"))
        card.serial = static_cast<std::uint32_t>(integer(*v, join(where, "serial"), 0, 0xFFFFFFFFLL));
    if (const json *v = member(j, "subtype"))
        card.subtype = text(*v, join(where, "subtype"), 3);
    if (const json *v = member(j, "revision"))
        card.revision = text(*v, join(where, "revision"), 15);
    if (const json *v = member(j, "lowLimit"))
        card.lowLimit = real(*v, join(where, "lowLimit"));
    if (const json *v = member(j, "highLimit"))
        card.highLimit = real(*v, join(where, "highLimit"));
    if (!(card.lowLimit < card.highLimit))
        throw Bad{join(where, "lowLimit"), "must be below highLimit"};
    return card;
}

CarrierConfig parseCarrier(const json &j, const std::string &where)
{
    requireObject(j, where);
    allowKeys(j, where, {"model", "cards"});
    CarrierConfig carrier;
    carrier.model = static_cast<std::uint16_t>(integer(required(j, where, "model"), join(where, "model"), 0, 0xFFFF));
    if (const json *cards = member(j, "cards")) {
        const std::string at = join(where, "cards");
        if (!cards->is_array())
            wrongType(*cards, at, "an array");
        if (cards->size() > 256)
            throw Bad{at, std::to_string(cards->size()) + " slots, at most 256"};
        for (std::size_t i = 0; i < cards->size(); ++i) {
            const json &c = (*cards)[i];
            if (c.is_null())
                carrier.slots.emplace_back();
            else
                carrier.slots.emplace_back(parseCard(c, indexed(at, i)));
        }
    }
    return carrier;
}

ResourceConfig parseResource(const json &j, const std::string &where)
{
    requireObject(j, where);
    allowKeys(j, where, {"descriptor", "slot", "address", "hostname", "deviceName", "openLatencyMs", "carrier"});
    ResourceConfig r;
    // Longer than a find buffer is allowed (viFindRsrc truncates it), so long typed names can be tried.
    r.descriptor = text(required(j, where, "descriptor"), join(where, "descriptor"), 65535);
    if (r.descriptor.empty())
        throw Bad{join(where, "descriptor"), "is empty"};
    const Descriptor d = parseDescriptor(r.descriptor);
    r.normalised = d.normalised;
    r.interfaceType = d.interfaceType;
    r.board = d.board;
    if (const json *v = member(j, "slot"))
        r.slot = static_cast<std::int16_t>(integer(*v, join(where, "slot"), -32768, 32767));
    struct {
        const char *key;
        std::optional<std::string> *field;
    } tcpip[] = {{"address", &r.address}, {"hostname", &r.hostname}, {"deviceName", &r.deviceName}};
    for (auto &t : tcpip) {
        const json *v = member(j, t.key);
        if (!v)
            continue;
        if (r.interfaceType != VI_INTF_TCPIP)
            throw Bad{join(where, t.key), "only TCPIP resources have this attribute"};
        *t.field = text(*v, join(where, t.key), VI_FIND_BUFLEN - 1);
    }
    if (const json *v = member(j, "openLatencyMs")) {
        r.openLatencyMs = real(*v, join(where, "openLatencyMs"));
        if (!(r.openLatencyMs >= 0 && r.openLatencyMs <= 60000))
            throw Bad{join(where, "openLatencyMs"), v->dump() + " is out of range (0 to 60000)"};
    }
    if (const json *v = member(j, "carrier"); v && !v->is_null())
        r.carrier = parseCarrier(*v, join(where, "carrier"));
    return r;
}

FaultConfig parseFault(const json &j, const std::string &where, const SystemConfig &system)
{
    requireObject(j, where);
    allowKeys(j, where, {"call", "status", "count", "after", "descriptor"});
    FaultConfig f;
    f.call = text(required(j, where, "call"), join(where, "call"), 64);
    if (!isKnownCall(f.call))
        throw Bad{join(where, "call"), quotedLatin1(f.call) + " is not a call of kdsim"};
    // Either signed or as the unsigned hexadecimal code ("0xBFFF0011").
    f.status = static_cast<std::int32_t>(static_cast<std::uint32_t>(
        integer(required(j, where, "status"), join(where, "status"), -2147483648LL, 0xFFFFFFFFLL)));
    if (const json *v = member(j, "count"))
        f.count = static_cast<int>(integer(*v, join(where, "count"), 1, std::numeric_limits<int>::max()));
    if (const json *v = member(j, "after"))
        f.passFirst = static_cast<int>(integer(*v, join(where, "after"), 0, std::numeric_limits<int>::max()));
    if (const json *v = member(j, "descriptor")) {
        const std::string d = text(*v, join(where, "descriptor"), VI_FIND_BUFLEN - 1);
        f.resource = parseDescriptor(d).normalised;
        if (system.find(f.resource) < 0)
            throw Bad{join(where, "descriptor"), quotedLatin1(d) + " is no resource of this system"};
    }
    return f;
}

} // namespace

bool readFile(const std::string &path, std::string &text, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::string("cannot read the system file: ") + std::strerror(errno);
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

void SystemConfig::index()
{
    byName.clear();
    for (std::size_t i = 0; i < resources.size(); ++i)
        byName.emplace(resources[i].normalised, static_cast<int>(i));
}

int SystemConfig::find(const std::string &normalised) const
{
    const auto it = byName.find(normalised);
    return it == byName.end() ? -1 : it->second;
}

bool isKnownCall(const std::string &name)
{
    for (const char *c : knownCalls)
        if (name == c)
            return true;
    return false;
}

namespace {

// Builds the document from the parser's events, so that what the plain
// parser lets pass is refused with its place: a key given twice in one
// object (the plain parser keeps the last), nesting no system file needs,
// and numbers too large for a double (the plain parser reports those
// without a place).
class Reader : public nlohmann::json_sax<json>
{
public:
    static constexpr std::size_t maxDepth = 32;

    explicit Reader(const std::string &text) : text(text) {}

    json root;
    // "<where>: <what>" of the first problem; the place is a line and column
    // for syntax, a path in the document for the rest.
    std::optional<std::string> failure;

    bool null() override { return value(nullptr); }
    bool boolean(bool v) override { return value(v); }
    bool number_integer(number_integer_t v) override { return value(v); }
    bool number_unsigned(number_unsigned_t v) override { return value(v); }
    bool number_float(number_float_t v, const string_t &) override { return value(v); }
    bool string(string_t &v) override { return value(std::move(v)); }
    bool binary(binary_t &v) override { return value(json::binary(std::move(v))); }
    bool start_object(std::size_t) override { return open(json::object()); }
    bool start_array(std::size_t) override { return open(json::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t &k) override
    {
        Frame &f = frames.back();
        if (!f.keys.insert(k).second)
            return fail(join(f.where, k) + ": key given twice in one object");
        f.pendingKey = k;
        return true;
    }

    bool parse_error(std::size_t position, const std::string &, const nlohmann::detail::exception &e) override
    {
        // "[json.exception.parse_error.101] parse error at line 3, column 5: syntax error ..."
        std::string what = e.what();
        const std::string marker = "parse error at ";
        const auto at = what.find(marker);
        if (at != std::string::npos)
            return fail(what.substr(at + marker.size()));
        if (what.compare(0, 1, "[") == 0 && what.find("] ") != std::string::npos)
            what = what.substr(what.find("] ") + 2);
        return fail(placeOf(position) + ": " + what);
    }

private:
    struct Frame {
        json *value = nullptr;
        std::string where;
        std::unordered_set<std::string> keys;
        std::string pendingKey;
        std::size_t count = 0;
    };

    bool fail(std::string message)
    {
        if (!failure)
            failure = std::move(message);
        return false;
    }

    std::string placeOf(std::size_t position) const
    {
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < position && i < text.size(); ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        return "line " + std::to_string(line) + ", column " + std::to_string(column);
    }

    // Where the next value goes, and what it is called in messages.
    json *place(std::string &where)
    {
        if (frames.empty()) {
            where.clear();
            return &root;
        }
        Frame &f = frames.back();
        if (f.value->is_array()) {
            where = indexed(f.where, f.count++);
            f.value->push_back(nullptr);
            return &f.value->back();
        }
        where = join(f.where, f.pendingKey);
        return &(*f.value)[f.pendingKey];
    }

    bool value(json v)
    {
        std::string where;
        *place(where) = std::move(v);
        return true;
    }

    bool open(json container)
    {
        if (frames.size() >= maxDepth)
            return fail((frames.back().where.empty() ? std::string("top level") : frames.back().where)
                        + ": nested deeper than " + std::to_string(maxDepth) + " levels");
        Frame f;
        f.value = place(f.where);
        *f.value = std::move(container);
        frames.push_back(std::move(f));
        return true;
    }

    bool close()
    {
        frames.pop_back();
        return true;
    }

    const std::string &text;
    std::vector<Frame> frames;
};

} // namespace

bool parseSystem(const std::string &text, SystemConfig &system, std::string &error)
{
    SystemConfig parsed;
    try {
        Reader reader(text);
        json::sax_parse(text, &reader);
        if (reader.failure) {
            error = escapeControls(*reader.failure);
            return false;
        }
        const json &root = reader.root;
        requireObject(root, "");
        allowKeys(root, "", {"resources", "faults"});
        if (const json *resources = member(root, "resources")) {
            if (!resources->is_array())
                wrongType(*resources, "resources", "an array");
            std::unordered_map<std::string, std::size_t> seen;
            for (std::size_t i = 0; i < resources->size(); ++i) {
                const std::string where = indexed("resources", i);
                ResourceConfig r = parseResource((*resources)[i], where);
                const auto [twin, fresh] = seen.emplace(r.normalised, i);
                if (!fresh)
                    throw Bad{join(where, "descriptor"), quotedLatin1(r.descriptor) + " names the same resource as "
                                  + indexed("resources", twin->second) + " ("
                                  + quotedLatin1(parsed.resources[twin->second].descriptor) + ")"};
                parsed.resources.push_back(std::move(r));
            }
            parsed.index();
        }
        if (const json *faults = member(root, "faults")) {
            if (!faults->is_array())
                wrongType(*faults, "faults", "an array");
            for (std::size_t i = 0; i < faults->size(); ++i)
                parsed.faults.push_back(parseFault((*faults)[i], indexed("faults", i), parsed));
        }
    } catch (const Bad &bad) {
        error = escapeControls((bad.where.empty() ? std::string("top level") : bad.where) + ": " + bad.what);
        return false;
    } catch (const std::exception &e) {
        // Whatever else goes wrong (memory, a library error) is a load
        // failure too, never an exception through a C call.
        error = escapeControls(std::string("top level: cannot be loaded: ") + e.what());
        return false;
    }
    system = std::move(parsed);
    return true;
}

const std::string &defaultSystemText()
{
    static const std::string text = R"({
  "resources": [
    { "descriptor": "VXI0::0::INSTR", "slot": 0 },
    { "descriptor": "VXI0::8::INSTR", "slot": 3,
      "carrier": { "model": 12345, "cards": [
        { "model": "0x7240", "serial": "0x00a1b2c3", "subtype": "AA", "revision": "1.0.1.0",
          "lowLimit": -10, "highLimit": 10 },
        null,
        { "model": "0x6216", "variant": "16" },
        { "model": "0x7240", "serial": "0x00a1b2d4", "subtype": "AB", "revision": "1.0.1.0",
          "lowLimit": -10, "highLimit": 10 } ] } },
    { "descriptor": "TCPIP0::192.168.2.100::INSTR", "address": "192.168.2.100",
      "hostname": "sfp-lxi-1", "deviceName": "inst0", "openLatencyMs": 150,
      "carrier": { "model": 3150, "cards": [
        { "model": "0x7240", "serial": "0x00b4c5d6", "subtype": "AA", "revision": "1.0.2.0" } ] } },
    { "descriptor": "TCPIP0::192.168.2.100::inst0::INSTR", "address": "192.168.2.100",
      "hostname": "sfp-lxi-1", "deviceName": "inst0", "openLatencyMs": 150,
      "carrier": { "model": 3150, "cards": [
        { "model": "0x7240", "serial": "0x00b4c5d6", "subtype": "AA", "revision": "1.0.2.0" } ] } },
    { "descriptor": "TCPIP0::192.168.2.101::INSTR", "address": "192.168.2.101",
      "hostname": "sfp-lxi-2", "deviceName": "inst0", "openLatencyMs": 150,
      "carrier": { "model": 3150, "cards": [
        { "model": "0x6208", "variant": "08" },
        { "model": "0x6216", "variant": "16" } ] } },
    { "descriptor": "ASRL1::INSTR" },
    { "descriptor": "GPIB0::5::INSTR" }
  ]
}
)";
    return text;
}

} // namespace kdsim::detail
