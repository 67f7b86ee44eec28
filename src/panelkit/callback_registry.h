#pragma once
// Callbacks are bound to controls by the name in the control's "callback"
// property; this table maps those names to functions.
#include "panelkit/panel_service.h"

#include <map>
#include <string>

void registerCallback(const std::string& name, PanelCallback fn);
PanelCallback findCallback(const std::string& name);
const std::map<std::string, PanelCallback>& allCallbacks();
