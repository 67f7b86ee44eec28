#include "serve/discovery.h"

#include "serve/json_writer.h"

namespace {

// Home Assistant's topics and ids take the same plain names as ours.
std::string objectId(const TopicBase& base, int id) {
    return "q7_" + base.line + "_" + std::to_string(id);
}

JsonObject device(const TopicBase& base, int id) {
    return JsonObject()
        .texts("identifiers", {objectId(base, id)})
        .text("name", "Q7 " + base.line + " " + std::to_string(id))
        .text("model", "Q7");
}

// Both the bridge and the controller must be there for the values to be
// current.
std::vector<JsonObject> availability(const TopicBase& base, int id) {
    return {JsonObject().text("topic", bridgeAvailableTopic(base.prefix)),
            JsonObject().text("topic", base.of(id, "available"))};
}

} // namespace

std::vector<std::pair<std::string, std::string>>
discoveryMessages(const TopicBase& base, int id, const DiscoveryFacts& facts,
                  const std::set<Setting>& writes) {
    const std::string state = base.of(id, "state"), name = objectId(base, id);
    const double step = facts.decimals ? 0.1 : 1.0;
    JsonObject climate;
    climate.text("name", base.line + " " + std::to_string(id))
        .text("unique_id", name)
        .object("device", device(base, id))
        .objects("availability", availability(base, id))
        .text("availability_mode", "all")
        .text("current_temperature_topic", state)
        .text("current_temperature_template", "{{ value_json.pv }}")
        .text("temperature_state_topic", state)
        .text("temperature_state_template", "{{ value_json.sv }}")
        .text("mode_state_topic", state)
        // Off is off; every other mode controls the heater. A state without
        // a mode renders None, Home Assistant's word for a mode not known:
        // an empty rendering is a fault there.
        .text("mode_state_template", "{% if value_json.mode is not defined %}None{% elif "
                                     "value_json.mode == 'off' %}off{% else %}heat{% endif %}")
        .texts("modes", {"off", "heat"})
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

    JsonObject output;
    output.text("name", "output level")
        .text("unique_id", name + "_out")
        .object("device", device(base, id))
        .objects("availability", availability(base, id))
        .text("availability_mode", "all")
        .text("state_topic", state)
        .text("value_template", "{{ value_json.out }}")
        .text("unit_of_measurement", "%")
        .text("state_class", "measurement")
        .whole("qos", 1);

    return {{"homeassistant/climate/" + name + "/config", climate.str()},
            {"homeassistant/sensor/" + name + "/output/config", output.str()}};
}
