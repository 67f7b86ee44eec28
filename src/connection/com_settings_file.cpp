#include "connection/com_settings_file.h"

#include "base/number_text.h"

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

} // namespace

ComSettingsFields parseComSettings(const std::string& text) {
    ComSettingsFields out;
    std::string_view rest = text;
    auto port = nextField(rest, true);
    if (!port || *port < 0 || *port > 0xFFFF) return out;
    out.port = uint16_t(*port);
    // A baud rate is kept whole: 57600 and 115200 do not fit 16 bits.
    auto baud = nextField(rest, false);
    if (!baud || *baud <= 0 || *baud > 4000000) return out;
    out.baudRate = int32_t(*baud);
    auto id = nextField(rest, false);
    if (!id || *id < 0 || *id > 0xFFFF) return out;
    out.controllerId = uint16_t(*id);
    return out;
}

std::string formatComSettings(int port, long baudRate, int controllerId) {
    // "%i, %li, %i"
    return formatWhole(port) + ", " + formatWhole(baudRate) + ", " + formatWhole(controllerId);
}
