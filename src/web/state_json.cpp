#include "web/state_json.h"

#include <charconv>
#include <cstdio>

namespace {

std::string plainNumber(double v) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

} // namespace

std::string apiStateJson(const std::vector<ControllerView>& controllers) {
    std::string out = "{";
    const std::string* line = nullptr;
    for (const ControllerView& c : controllers) {
        if (c.state.empty() && !c.online) continue;
        if (!line || *line != c.line) {
            if (line) out += "},";
            out += jsonString(c.line) + ":{";
            line = &c.line;
        } else {
            out += ",";
        }
        // Whether it answers, as its available topic says, first; then its
        // state as published.
        std::string state = c.state.size() >= 2 && c.state.front() == '{' ? c.state : "{}";
        if (c.online)
            state.insert(1, std::string("\"available\":") + (*c.online ? "true" : "false") +
                                (state.size() > 2 ? "," : ""));
        out += "\"" + std::to_string(c.id) + "\":" + state;
    }
    if (line) out += "}";
    return out + "}";
}

std::string controllersMessage(const char* key, const std::vector<ControllerView>& controllers) {
    std::string out = std::string("{\"") + key + "\":[";
    bool first = true;
    for (const ControllerView& c : controllers) {
        if (!first) out += ",";
        first = false;
        out += "{\"line\":" + jsonString(c.line) + ",\"id\":" + std::to_string(c.id);
        if (c.removed) {
            out += ",\"removed\":true}";
            continue;
        }
        if (c.online) out += std::string(",\"online\":") + (*c.online ? "true" : "false");
        if (c.lastReplyAt) out += ",\"lastReply\":" + plainNumber(*c.lastReplyAt);
        if (!c.state.empty()) out += ",\"state\":" + c.state;
        out += "}";
    }
    return out + "]}";
}
