#pragma once
// Home Assistant's MQTT discovery: retained configs that make each
// controller a device there, with no configuration on that side, and the
// bridge a device of its own that every controller is reached through.
//
// A controller's device holds the thermostat (its main entity, named by
// the device alone), PV and SV sensors, the output it tells, a binary
// sensor per alarm output, one that says whether it answers, the segment
// and time to go of the firing run it is a zone of, and, where
// the config's `writes` allows them, a select for the mode and a number
// for the manual output level. A zone's device tells its run (program,
// phase, plan's SV, finish, last outcome) and the alarm rules' events, and
// where runs are allowed offers a program select and the run's buttons. The bridge's device holds
// one binary sensor: whether the bridge is connected to the broker.
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

// What the controller's device offers of firing runs, and where its web
// view is.
struct RunOffer {
    // A zone: the line's writes allow runs, or a run is open on it. Its
    // device has the run's sensors and the alarm rules' events.
    bool zone = false;
    // The line's writes allow runs: a select of the library's programs
    // and buttons for start, pause, continue and stop.
    bool control = false;
    std::vector<std::string> programs; // the library's, by the names run/start takes
    std::string webUrl;                // "http://kiln-pc:8080/"; empty without [web]
};

// The version of this program, as its device and origin there name it.
extern const char* const kProgramVersion;

using DiscoveryMessage = std::pair<std::string, std::string>; // (topic, retained payload)

// Home Assistant's topics and ids take letters, digits, _ and - alone:
// "plant/q7" and "furnace" give "plant_q7_furnace". The prefix is in it so
// that two bridges with the same line name on one broker stay apart.
std::string discoveryNode(const TopicBase& base, int id);

// Every entity of the controller; an empty payload clears one it does not
// offer.
std::vector<DiscoveryMessage> discoveryMessages(const TopicBase& base, int id,
                                                const DiscoveryFacts& facts,
                                                const std::set<Setting>& writes,
                                                const RunOffer& run = {});

// The bridge's own device, which the controllers' devices name as the one
// they are reached through.
std::vector<DiscoveryMessage> bridgeDiscoveryMessages(const std::string& prefix);

// Topics earlier versions published the controller's configs on that
// these do not use any more, and that are this bridge's own to clear.
std::vector<std::string> formerDiscoveryTopics(const TopicBase& base, int id);

// Home Assistant says "online" here when it starts, having forgotten every
// config that was not retained, and then takes them all again.
inline constexpr const char* kHomeAssistantStatus = "homeassistant/status";
