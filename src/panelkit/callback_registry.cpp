#include "panelkit/callback_registry.h"

namespace {
std::map<std::string, PanelCallback>& table() {
    static std::map<std::string, PanelCallback> callbacks;
    return callbacks;
}
} // namespace

void registerCallback(const std::string& name, PanelCallback fn) {
    table()[name] = fn;
}

PanelCallback findCallback(const std::string& name) {
    const auto it = table().find(name);
    return it == table().end() ? nullptr : it->second;
}

const std::map<std::string, PanelCallback>& allCallbacks() {
    return table();
}
