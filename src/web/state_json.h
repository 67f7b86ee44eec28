#pragma once
// The controllers' states as /api/state and the WebSocket send them. The
// bridge's state JSON is put in as it was published, so a reader of
// either sees what MQTT subscribers see.
#include "base/json_text.h"
#include "web/plant_view.h"

#include <string>
#include <string_view>
#include <vector>

// {"LINE":{"ID":STATE,...},...}: every controller with a state or known
// availability, each STATE as published with "available" (whether it
// answers) put first where that is known.
std::string apiStateJson(const std::vector<ControllerView>& controllers);
// A WebSocket message: {"KEY":[{"line":..,"id":..,"online":..,"lastReply":..,
// "state":STATE},...]}; a removed controller is {"line":..,"id":..,"removed":true}.
std::string controllersMessage(const char* key, const std::vector<ControllerView>& controllers);
