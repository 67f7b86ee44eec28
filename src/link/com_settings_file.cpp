#include "link/com_settings_file.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace {

// Parses one signed decimal field after any separators; nullopt if none.
std::optional<long long> nextField(const std::string& text, std::size_t& pos, bool first) {
    int commas = 0;
    while (pos < text.size() && (std::isspace(static_cast<unsigned char>(text[pos])) || text[pos] == ',')) {
        if (text[pos] == ',') ++commas;
        ++pos;
    }
    if (commas > 1 || (first && commas > 0)) return std::nullopt;
    std::size_t start = pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    long long value = 0;
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr == begin) return std::nullopt;
    if (start < pos && text[start] == '-') value = -value;
    pos = std::size_t(ptr - text.data());
    return value;
}

} // namespace

ComSettingsFields parseComSettings(const std::string& text) {
    ComSettingsFields out;
    std::size_t pos = 0;
    auto port = nextField(text, pos, true);
    if (!port || *port < 0 || *port > 0xFFFF) return out;
    out.port = uint16_t(*port);
    // A baud rate is kept whole: 57600 and 115200 do not fit 16 bits.
    auto baud = nextField(text, pos, false);
    if (!baud || *baud <= 0 || *baud > 4000000) return out;
    out.baudRate = int32_t(*baud);
    auto id = nextField(text, pos, false);
    if (!id || *id < 0 || *id > 0xFFFF) return out;
    out.controllerId = uint16_t(*id);
    return out;
}

std::string formatComSettings(int port, long baudRate, int controllerId) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%i, %li, %i", port, baudRate, controllerId);
    return buf;
}
