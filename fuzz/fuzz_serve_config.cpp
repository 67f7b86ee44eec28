// The bridge's config: any text is taken, or refused naming a line it has;
// what is taken holds only values in their ranges.
#include "serial/net_endpoint.h"
#include "serve/serve_config.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool plainPrefix(std::string_view prefix) {
    for (;;) {
        const auto slash = prefix.find('/');
        if (!plainName(prefix.substr(0, slash))) return false;
        if (slash == std::string_view::npos) return true;
        prefix.remove_prefix(slash + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = parseServeConfig(text);
    if (const auto* e = std::get_if<ConfigError>(&parsed)) {
        const long lines = long(std::count(text.begin(), text.end(), '\n')) + 1;
        if (e->line < 0 || e->line > lines || e->why.empty()) std::abort();
        return 0;
    }
    const ServeConfig& c = std::get<ServeConfig>(parsed);
    const BrokerConfig& b = c.broker;
    if (b.host.empty() || b.port < 1 || b.port > 65535 || !plainPrefix(b.prefix) ||
        (!b.clientId.empty() && !plainName(b.clientId)) || c.lines.empty() ||
        (!b.caFile.empty() && !b.tls))
        std::abort();
    for (const LineConfig& l : c.lines) {
        const bool device = !l.port.empty() && l.port[0] == '/';
        if (!plainName(l.name) || l.name == "bridge" || (!device && !parseEndpoint(l.port)) ||
            l.ids.empty() || !(l.interval >= 0.1 && l.interval <= 3600))
            std::abort();
        for (int id : l.ids)
            if (id < 1 || id > 247 || std::count(l.ids.begin(), l.ids.end(), id) != 1) std::abort();
    }
    return 0;
}
