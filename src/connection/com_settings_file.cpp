#include "connection/com_settings_file.h"

#include "base/atomic_file.h"
#include "base/id_list.h"
#include "base/number_text.h"
#include "serial/baud_rates.h"
#include "serial/com_map.h"
#include "serial/net_endpoint.h"

#include <cctype>

namespace {

// One signed decimal field after its separator: white space and, between
// fields, one comma. Nothing when the field is missing or malformed.
std::optional<long long> nextField(std::string_view& text, bool first) {
    int commas = 0;
    while (!text.empty() &&
           (std::isspace(static_cast<unsigned char>(text.front())) || text.front() == ',')) {
        if (text.front() == ',') ++commas;
        text.remove_prefix(1);
    }
    if (commas > 1 || (first && commas > 0)) return std::nullopt;
    return takeWhole(text);
}

// "COMn=ENDPOINT" at the front of text, taken off it; nothing (and text
// unchanged) unless the number and the endpoint are both sound.
std::optional<std::pair<int, std::string>> takeEndpointPort(std::string_view& text) {
    std::string_view rest = text;
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front())))
        rest.remove_prefix(1);
    if (rest.substr(0, 3) != "COM") return std::nullopt;
    rest.remove_prefix(3);
    int number = 0;
    std::size_t digits = 0;
    for (; digits < rest.size() && digits < 4 && std::isdigit(uint8_t(rest[digits])); ++digits)
        number = number * 10 + (rest[digits] - '0');
    if (digits == 0 || number < 1 || number > kMaxComNumber || digits >= rest.size() ||
        rest[digits] != '=')
        return std::nullopt;
    rest.remove_prefix(digits + 1);
    const std::size_t end = std::min(rest.find(','), rest.find_first_of(" \t\r\n"));
    const std::string endpoint(rest.substr(0, end));
    if (!parseEndpoint(endpoint)) return std::nullopt;
    text = rest.substr(std::min(end, rest.size()));
    return std::pair{number, endpoint};
}

// The field at the front of text, after its separator, for a message.
std::string firstWord(std::string_view text) {
    std::size_t from = 0;
    while (from < text.size() && (std::isspace(uint8_t(text[from])) || text[from] == ','))
        ++from;
    std::size_t to = from;
    while (to < text.size() && to - from < 20 && !std::isspace(uint8_t(text[to])) &&
           text[to] != ',')
        ++to;
    return std::string(text.substr(from, to - from));
}

} // namespace

ComSettingsFields parseComSettings(const std::string& text) {
    ComSettingsFields out;
    std::string_view rest = text;
    if (auto kept = takeEndpointPort(rest)) {
        out.port = uint16_t(kept->first);
        out.endpoint = std::move(kept->second);
    } else {
        auto port = nextField(rest, true);
        if (!port || *port < 0 || *port > 0xFFFF) return out;
        out.port = uint16_t(*port);
    }
    // A baud rate is kept whole: 57600 and 115200 do not fit 16 bits.
    const std::string_view baudField = rest;
    auto baud = nextField(rest, false);
    if (!baud || !standardBaud(long(*baud))) {
        const std::string written = firstWord(baudField);
        if (!written.empty()) out.badBaudRate = written;
        return out;
    }
    out.baudRate = int32_t(*baud);
    // An id is a slave address, 1 to 247: one outside is told, never cut
    // to fit, since cut to 8 bits it would address another controller.
    const std::string_view idField = rest;
    auto id = nextField(rest, false);
    if (!id || !controllerIdInRange(*id)) {
        const std::string written = firstWord(idField);
        if (!written.empty()) out.badControllerId = written;
        return out;
    }
    out.controllerId = uint16_t(*id);
    auto parity = nextField(rest, false);
    auto stopBits = nextField(rest, false);
    // The frame is taken whole or not at all: half of it is no frame.
    if (!parity || !stopBits || *parity < 0 || *parity > 2 || (*stopBits != 1 && *stopBits != 2))
        return out;
    out.parity = int32_t(*parity);
    out.stopBits = int32_t(*stopBits);
    auto alarms = nextField(rest, false);
    auto silence = nextField(rest, false);
    if (!alarms || !silence || (*alarms != 0 && *alarms != 1) || (*silence != 0 && *silence != 1))
        return out;
    out.alarmNotices = *alarms == 1;
    out.silenceNotices = *silence == 1;
    return out;
}

std::string formatComSettings(int port, long baudRate, int controllerId,
                              const std::string& endpoint, const ComSettingsExtra& extra) {
    // "%i, %li, %i"
    const std::string first =
        endpoint.empty() ? formatWhole(port) : "COM" + formatWhole(port) + "=" + endpoint;
    std::string text = first + ", " + formatWhole(baudRate) + ", " + formatWhole(controllerId);
    // The usual settings leave the file as every earlier program wrote it.
    const ComSettingsExtra usual;
    if (extra == usual) return text;
    text += ", " + formatWhole(extra.parity) + ", " + formatWhole(extra.stopBits);
    if (extra.alarmNotices == usual.alarmNotices && extra.silenceNotices == usual.silenceNotices)
        return text;
    return text + ", " + formatWhole(extra.alarmNotices ? 1 : 0) + ", " +
           formatWhole(extra.silenceNotices ? 1 : 0);
}

std::optional<ComSettingsFields> loadComSettings() {
    std::string text;
    if (!readSmallFile(kComSettingsFile, &text, 4096)) return std::nullopt;
    return parseComSettings(text);
}

void mapSavedEndpoint(const ComSettingsFields& fields) {
    if (fields.port && !fields.endpoint.empty()) setSavedEndpoint(*fields.port, fields.endpoint);
}
