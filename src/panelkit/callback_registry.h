#pragma once
// Callbacks are bound to controls by the name in the control's "callback"
// property; this table maps those names to functions.
#include "panelkit/panel_service.h"

#include <map>
#include <string>

void registerCallback(const std::string& name, PanelCallback fn);
PanelCallback findCallback(const std::string& name);

// A callback that works on an object the panels' program owns (its
// controller): bound to it when registered, as nothing else reaches it.
template <auto Fn, class Object> PanelCallback boundTo(Object& object) {
    return [&object](int panel, CtrlId control, int event) {
        return Fn(object, panel, control, event);
    };
}
const std::map<std::string, PanelCallback>& allCallbacks();
