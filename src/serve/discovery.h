#pragma once
// Home Assistant's MQTT discovery: a retained config per controller that
// makes it a thermostat there (current and target temperature, Off and Heat
// for the controller's Off and On) with its output level as a sensor, and
// no configuration on that side.
#include "serve/setting.h"
#include "serve/topics.h"

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct DiscoveryFacts {
    std::string unit; // "°C" or "°F"
    int decimals = 1;
    // The controller's Lo and Hi limits once its parameters were read; the
    // thermostat offers set values between them.
    std::optional<double> low, high;
};

// (topic, retained payload) for each entity of the controller.
std::vector<std::pair<std::string, std::string>> discoveryMessages(const TopicBase& base, int id,
                                                                   const DiscoveryFacts& facts,
                                                                   const std::set<Setting>& writes);
