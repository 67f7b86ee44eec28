#include "serve/discovery.h"

#include "base/json_writer.h"
#include "link/control_mode.h"
#include "link/registers.h"
#include "params/choice_codes.h"
#include "params/register_map.h"
#include "serve/messages.h"

#include <cctype>

#ifndef Q7_VERSION
#error "the build names the program's version"
#endif

const char* const kProgramVersion = Q7_VERSION;

namespace {
constexpr const char* kManufacturer = "q7 project";
}

namespace {

std::string plainId(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') c = '_';
    return out;
}

std::string bridgeNode(const std::string& prefix) {
    return plainId(prefix) + "_bridge";
}

// A value of the state, or None, Home Assistant's word for a value not
// known: a state without it (not read from a good reply) must not render
// as an empty text or a stale number.
std::string stateValue(const std::string& key) {
    return "{{ value_json." + key + " if value_json." + key + " is defined else None }}";
}

JsonObject origin() {
    return JsonObject().text("name", "q7").text("sw_version", kProgramVersion);
}

// Each entity's config begins alike: its name (null for the device's
// main entity, which Home Assistant then names by the device), its id,
// the device it belongs to, and where it comes from.
JsonObject entity(const std::optional<std::string>& name, const std::string& uniqueId,
                  const JsonObject& device) {
    JsonObject o;
    name ? o.text("name", *name) : o.null("name");
    return o.text("unique_id", uniqueId).object("device", device).object("origin", origin());
}

// The values are current only while both the bridge and the controller
// are there.
JsonObject& availableWithController(JsonObject& o, const TopicBase& base, int id) {
    return o
        .objects("availability", {JsonObject().text("topic", bridgeAvailableTopic(base.prefix)),
                                  JsonObject().text("topic", base.of(id, "available"))})
        .text("availability_mode", "all");
}

JsonObject temperatureSensor(const std::string& name, const std::string& key,
                             const std::string& uniqueId, const JsonObject& device,
                             const TopicBase& base, int id, const DiscoveryFacts& facts) {
    JsonObject o = entity(name, uniqueId, device);
    availableWithController(o, base, id)
        .text("state_topic", base.of(id, "state"))
        .text("value_template", stateValue(key))
        .text("device_class", "temperature")
        .text("state_class", "measurement")
        .text("unit_of_measurement", facts.unit)
        .whole("suggested_display_precision", facts.decimals)
        .whole("qos", 1);
    return o;
}

JsonObject alarmSensor(int n, const std::string& node, const JsonObject& device,
                       const TopicBase& base, int id) {
    const std::string key = "alarm" + std::to_string(n);
    JsonObject o = entity("Alarm " + std::to_string(n), node + "_" + key, device);
    availableWithController(o, base, id)
        .text("state_topic", base.of(id, "state"))
        .text("value_template", "{% if value_json.alarms is not defined %}None{% elif "
                                "value_json.alarms." +
                                    key + " %}ON{% else %}OFF{% endif %}")
        .text("device_class", "problem")
        .whole("qos", 1);
    return o;
}

// The modes an operator may pick, as the state and set/mode name them.
std::vector<std::string> settableModeNames() {
    std::vector<std::string> names;
    for (const Choice& c : choices::controlMode)
        if (c.code != codeOf(ControlMode::program)) names.push_back(modeName(c.code));
    return names;
}

std::string modeTemplate(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names)
        list += (list.empty() ? "'" : ", '") + n + "'";
    // Program, which the select does not offer, is a mode not known there.
    return "{{ value_json.mode if value_json.mode is defined and value_json.mode in [" + list +
           "] else None }}";
}

// The run a zone's device tells, from the controller's own state: the
// run's topic is named by the run, which no entity can know ahead. Each
// entity's topic is given, empty where it is not offered, so that a
// controller that stops being a zone, or loses its run writes, loses them
// in Home Assistant too.
void runMessages(std::vector<DiscoveryMessage>& out, const TopicBase& base, int id,
                 const DiscoveryFacts& facts, const RunOffer& run, const JsonObject& device) {
    const std::string state = base.of(id, "state"), node = discoveryNode(base, id);
    const std::string topic = "/" + node + "/";
    const auto sensor = [&](const std::string& key, const std::string& name) {
        JsonObject o = entity(name, node + "_" + key, device);
        availableWithController(o, base, id).text("state_topic", state).whole("qos", 1);
        return o;
    };
    const auto offer = [&](const std::string& platform, const std::string& key, bool offered,
                           const JsonObject& o) {
        out.push_back({"homeassistant/" + platform + topic + key + "/config",
                       offered ? o.str() : std::string()});
    };
    const bool zone = run.zone;

    offer("sensor", "run_program", zone,
          sensor("run_program", "Run program")
              .text("value_template", stateValue("run_program"))
              .text("icon", "mdi:file-chart"));
    // No run has been there since the bridge started: idle.
    offer("sensor", "run_phase", zone,
          sensor("run_phase", "Run phase")
              .text("value_template",
                    "{{ value_json.run_phase if value_json.run_phase is defined else 'idle' }}")
              .text("device_class", "enum")
              .texts("options", {"idle", "waiting", "running", "paused", "held back", "ended"}));
    offer("sensor", "run_planned_sv", zone,
          sensor("run_planned_sv", "Run planned SV")
              .text("value_template", stateValue("run_planned_sv"))
              .text("device_class", "temperature")
              .text("unit_of_measurement", facts.unit)
              .whole("suggested_display_precision", facts.decimals));
    offer("sensor", "run_finish", zone,
          sensor("run_finish", "Run finish")
              .text("value_template", stateValue("run_finish"))
              .text("device_class", "timestamp"));
    offer("sensor", "run_outcome", zone,
          sensor("run_outcome", "Last run outcome")
              .text("value_template", stateValue("run_outcome"))
              .text("device_class", "enum")
              .texts("options", {"completed", "stopped", "failed", "resumed"}));

    // The alarm rules' events, as `publish` sends them, and the actions
    // that failed.
    JsonObject events = entity("Alarm event", node + "_alarm_event", device);
    availableWithController(events, base, id)
        .text("state_topic", base.of(id, "event"))
        .texts("event_types", {"alarm", "action_failed"})
        .text("value_template",
              "{{ {'event_type': 'action_failed' if value_json.ok is defined and not "
              "value_json.ok else 'alarm', 'rule': value_json.rule, 'text': value_json.text} | "
              "tojson }}")
        .whole("qos", 1);
    offer("event", "alarm_event", zone, events);

    // The select and the buttons publish on run/VERB, the topics every
    // client commands a run on: run/select names the program that
    // run/start then starts.
    const bool control = zone && run.control;
    std::string list;
    for (const std::string& p : run.programs)
        list += (list.empty() ? "'" : ", '") + p + "'";
    JsonObject select = entity("Run program to start", node + "_run_select", device);
    availableWithController(select, base, id)
        .text("command_topic", base.of(id, "run/select"))
        .text("state_topic", state)
        .text("value_template", "{{ value_json.run_selected if value_json.run_selected is "
                                "defined and value_json.run_selected in [" +
                                    list + "] else None }}")
        .texts("options", run.programs)
        .whole("qos", 1);
    offer("select", "run_select", control && !run.programs.empty(), select);
    struct Button {
        const char *verb, *key, *name;
    };
    const Button buttons[] = {{"start", "run_start", "Start run"},
                              {"pause", "run_pause", "Pause run"},
                              {"resume", "run_continue", "Continue run"},
                              {"stop", "run_stop", "Stop run"}};
    for (const Button& b : buttons) {
        JsonObject button = entity(b.name, node + "_" + b.key, device);
        // Empty: run/start then starts the program selected.
        availableWithController(button, base, id)
            .text("command_topic", base.of(id, std::string("run/") + b.verb))
            .text("payload_press", "")
            .whole("qos", 1);
        offer("button", b.key, control, button);
    }
}

} // namespace

std::string discoveryNode(const TopicBase& base, int id) {
    return plainId(base.prefix + "_" + base.line + "_" + std::to_string(id));
}

std::vector<DiscoveryMessage> discoveryMessages(const TopicBase& base, int id,
                                                const DiscoveryFacts& facts,
                                                const std::set<Setting>& writes,
                                                const RunOffer& run) {
    const std::string state = base.of(id, "state"), node = discoveryNode(base, id);
    const std::string topic = "/" + node + "/";
    JsonObject device = JsonObject()
                            .texts("identifiers", {node})
                            .text("name", base.line + " " + std::to_string(id))
                            .text("manufacturer", kManufacturer)
                            .text("model", "Q7")
                            .text("sw_version", kProgramVersion)
                            .text("via_device", bridgeNode(base.prefix));
    if (!run.webUrl.empty()) device.text("configuration_url", run.webUrl);
    std::vector<DiscoveryMessage> out;

    const double step = facts.decimals ? 0.1 : 1.0;
    JsonObject climate = entity(std::nullopt, node, device);
    availableWithController(climate, base, id)
        .text("current_temperature_topic", state)
        .text("current_temperature_template", stateValue("pv"))
        .text("temperature_state_topic", state)
        .text("temperature_state_template", stateValue("sv"))
        .text("mode_state_topic", state)
        // Off is off; every other mode controls the heater.
        .text("mode_state_template", "{% if value_json.mode is not defined %}None{% elif "
                                     "value_json.mode == 'off' %}off{% else %}heat{% endif %}")
        .texts("modes", {"off", "heat"})
        // Heating while the output it tells is above 0; in a mode where it
        // tells none, not known.
        .text("action_topic", state)
        .text("action_template",
              "{% if value_json.mode is not defined %}None{% elif value_json.mode == 'off' "
              "%}off{% elif value_json.out is not defined %}None{% elif value_json.out > 0 "
              "%}heating{% else %}idle{% endif %}")
        .text("temperature_unit", facts.unit == "°F" ? "F" : "C")
        .number("precision", step, 1)
        .number("temp_step", step, 1)
        .whole("qos", 1);
    if (facts.low) climate.number("min_temp", *facts.low, facts.decimals);
    if (facts.high) climate.number("max_temp", *facts.high, facts.decimals);
    if (writes.count(Setting::sv)) climate.text("temperature_command_topic", base.of(id, "set/sv"));
    if (writes.count(Setting::mode))
        climate.text("mode_command_topic", base.of(id, "set/mode"))
            .text("mode_command_template", "{{ 'on' if value == 'heat' else 'off' }}");
    out.push_back({"homeassistant/climate" + topic + "thermostat/config", climate.str()});

    out.push_back({"homeassistant/sensor" + topic + "pv/config",
                   temperatureSensor("PV", "pv", node + "_pv", device, base, id, facts).str()});
    out.push_back({"homeassistant/sensor" + topic + "sv/config",
                   temperatureSensor("SV", "sv", node + "_sv", device, base, id, facts).str()});

    JsonObject output = entity("Output", node + "_out", device);
    availableWithController(output, base, id)
        .text("state_topic", state)
        .text("value_template", stateValue("out"))
        .text("unit_of_measurement", "%")
        .text("state_class", "measurement")
        .whole("qos", 1);
    out.push_back({"homeassistant/sensor" + topic + "output/config", output.str()});

    for (int n : {1, 2})
        out.push_back(
            {"homeassistant/binary_sensor" + topic + "alarm" + std::to_string(n) + "/config",
             alarmSensor(n, node, device, base, id).str()});

    // Whether the controller answers is known while the bridge is there,
    // and most of all when the controller is silent: it is available with
    // the bridge alone.
    JsonObject answering = entity("Answering", node + "_answering", device);
    answering.text("availability_topic", bridgeAvailableTopic(base.prefix))
        .text("state_topic", base.of(id, "available"))
        .text("payload_on", "online")
        .text("payload_off", "offline")
        .text("device_class", "connectivity")
        .text("entity_category", "diagnostic")
        .whole("qos", 1);
    out.push_back({"homeassistant/binary_sensor" + topic + "answering/config", answering.str()});

    // An entity not offered (writes changed since the last start) is
    // cleared with an empty config, or Home Assistant would keep offering
    // a setting the bridge refuses.
    const std::string modeTopic = "homeassistant/select" + topic + "mode/config";
    const std::string levelTopic = "homeassistant/number" + topic + "manual_out/config";
    if (!writes.count(Setting::mode)) out.push_back({modeTopic, ""});
    if (!writes.count(Setting::out)) out.push_back({levelTopic, ""});
    if (writes.count(Setting::mode)) {
        const std::vector<std::string> names = settableModeNames();
        JsonObject mode = entity("Mode", node + "_mode", device);
        availableWithController(mode, base, id)
            .text("command_topic", base.of(id, "set/mode"))
            .text("state_topic", state)
            .text("value_template", modeTemplate(names))
            .texts("options", names)
            .whole("qos", 1);
        out.push_back({modeTopic, mode.str()});
    }
    if (writes.count(Setting::out)) {
        // The field's own range and steps: tenths of a percent.
        const auto field = registerField(reg::outputLevel);
        JsonObject level = entity("Manual output", node + "_manual_out", device);
        availableWithController(level, base, id)
            .text("command_topic", base.of(id, "set/out"))
            .text("state_topic", state)
            .text("value_template", stateValue("manual_out"))
            .number("min", field->range.low, 1)
            .number("max", field->range.high, 1)
            .number("step", field->enc == Encoding::Tenths ? 0.1 : 1.0, 1)
            .text("unit_of_measurement", "%")
            .text("mode", "box")
            .whole("qos", 1);
        out.push_back({levelTopic, level.str()});
    }

    // The firing run the controller is a zone of, from its own state: the
    // run's topic is named by the run, which no entity can know ahead.
    // Not known while no run holds it.
    JsonObject segment = entity("Run segment", node + "_run_segment", device);
    availableWithController(segment, base, id)
        .text("state_topic", state)
        .text("value_template",
              "{{ value_json.run_segment ~ ' of ' ~ value_json.run_segments if "
              "value_json.run_segment is defined and value_json.run_segments is defined else None "
              "}}")
        .text("icon", "mdi:stairs")
        .whole("qos", 1);
    out.push_back({"homeassistant/sensor" + topic + "run_segment/config", segment.str()});
    JsonObject toGo = entity("Run time to go", node + "_run_time_to_go", device);
    availableWithController(toGo, base, id)
        .text("state_topic", state)
        .text("value_template", stateValue("run_time_to_go"))
        .text("device_class", "duration")
        .text("unit_of_measurement", "s")
        .whole("qos", 1);
    out.push_back({"homeassistant/sensor" + topic + "run_time_to_go/config", toGo.str()});
    runMessages(out, base, id, facts, run, device);
    return out;
}

std::vector<DiscoveryMessage> bridgeDiscoveryMessages(const std::string& prefix) {
    const std::string node = bridgeNode(prefix);
    const JsonObject device = JsonObject()
                                  .texts("identifiers", {node})
                                  .text("name", "q7 bridge " + prefix)
                                  .text("model", "q7 serve")
                                  .text("sw_version", kProgramVersion);
    // Its will says offline when it is gone: the sensor is never itself
    // unavailable, or it could not say so.
    JsonObject connected = entity("Connected", node + "_connected", device);
    connected.text("state_topic", bridgeAvailableTopic(prefix))
        .text("payload_on", "online")
        .text("payload_off", "offline")
        .text("device_class", "connectivity")
        .whole("qos", 1);
    return {{"homeassistant/binary_sensor/" + node + "/connected/config", connected.str()}};
}

std::vector<std::string> formerDiscoveryTopics(const TopicBase& base, int id) {
    // The thermostat had the node as its object id, with no node level.
    // Earlier node ids did not hold the prefix, so only where they match
    // (the prefix q7) is that topic certainly this bridge's; under another
    // prefix it may be another bridge's, and is left alone.
    const std::string former = "q7_" + base.line + "_" + std::to_string(id);
    if (former != discoveryNode(base, id)) return {};
    return {"homeassistant/climate/" + former + "/config"};
}
