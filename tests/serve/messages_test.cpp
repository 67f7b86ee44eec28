// The bridge's payloads byte for byte: what Home Assistant and scripts parse
// must not change by accident, and must always be valid JSON in UTF-8.
#include "serve/discovery.h"
#include "serve/json_writer.h"
#include "serve/messages.h"

#include <gtest/gtest.h>

namespace {

TEST(ServeJson, StringsAreEscapedAndOnlyUtf8PassesThrough) {
    const std::pair<std::string, std::string> cases[] = {
        {"say \"hi\" \\ bye", R"("say \"hi\" \\ bye")"},
        {std::string("\t\n\r\x1b\x7f\0", 6), R"("\u0009\u000a\u000d\u001b\u007f\u0000")"},
        {"25 \xC2\xB0"
         "C, 5 \xE2\x82\xAC, \xF0\x9F\x94\xA5",
         "\"25 \xC2\xB0"
         "C, 5 \xE2\x82\xAC, \xF0\x9F\x94\xA5\""},
        // Latin-1, a stray continuation byte, a sequence cut short by the
        // end and by an ASCII byte, overlong forms, a surrogate, a code
        // point past U+10FFFF, bytes that never start a sequence.
        {"caf\xE9", R"("caf\ufffd")"},
        {"\x80x", R"("\ufffdx")"},
        {"x\xC3", R"("x\ufffd")"},
        {"\xE2\x82"
         "A",
         R"("\ufffd\ufffdA")"},
        {"\xC0\xAF\xE0\x80\xAF", R"("\ufffd\ufffd\ufffd\ufffd\ufffd")"},
        {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},
        {"\xF4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},
        {"\xFE\xFF", R"("\ufffd\ufffd")"},
        {"", R"("")"},
    };
    for (const auto& [text, json] : cases)
        EXPECT_EQ(jsonString(text), json) << json;
}

TEST(ServeJson, ResultsOfCommands) {
    CommandResult setSv;
    setSv.command = "sv";
    setSv.value = 150.2;
    setSv.ok = true;
    setSv.holds = 150.3;
    EXPECT_EQ(resultJson(setSv), R"({"command":"sv","value":150.2,"ok":true,"holds":150.3})");

    CommandResult mode;
    mode.command = "mode";
    mode.value = 2;
    mode.reason = "the controller refused it (exception 3)";
    mode.holds = 0;
    EXPECT_EQ(
        resultJson(mode),
        R"j({"command":"mode","value":"at1","ok":false,"reason":"the controller refused it (exception 3)","holds":"off"})j");

    CommandResult out;
    out.command = "out";
    out.value = 42;
    out.ok = true;
    out.digits = 0;
    EXPECT_EQ(resultJson(out), R"({"command":"out","value":42,"ok":true})");

    // A topic the bridge could not place, with a payload that was no UTF-8.
    CommandResult unknown;
    unknown.reason = "malformed: sv '\xFF' is no number; nothing was sent";
    EXPECT_EQ(resultJson(unknown),
              R"({"ok":false,"reason":"malformed: sv '\ufffd' is no number; nothing was sent"})");
}

TEST(ServeDiscovery, AThermostatAndItsOutputLevel) {
    const TopicBase base{"plant/q7", "furnace"};
    const std::string degree = "\xC2\xB0";
    auto messages =
        discoveryMessages(base, 3, {degree + "C", 1, 0.0, 400.0}, {Setting::sv, Setting::mode});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].first, "homeassistant/climate/q7_furnace_3/config");
    EXPECT_EQ(messages[0].second,
              R"j({"name":"furnace 3","unique_id":"q7_furnace_3",)j"
              R"j("device":{"identifiers":["q7_furnace_3"],"name":"Q7 furnace 3","model":"Q7"},)j"
              R"j("availability":[{"topic":"plant/q7/bridge/available"},)j"
              R"j({"topic":"plant/q7/furnace/3/available"}],"availability_mode":"all",)j"
              R"j("current_temperature_topic":"plant/q7/furnace/3/state",)j"
              R"j("current_temperature_template":"{{ value_json.pv }}",)j"
              R"j("temperature_state_topic":"plant/q7/furnace/3/state",)j"
              R"j("temperature_state_template":"{{ value_json.sv }}",)j"
              R"j("mode_state_topic":"plant/q7/furnace/3/state",)j"
              R"j("mode_state_template":"{% if value_json.mode is not defined %}None)j"
              R"j({% elif value_json.mode == 'off' %}off{% else %}heat{% endif %}",)j"
              R"j("modes":["off","heat"],"temperature_unit":"C","precision":0.1,"temp_step":0.1,)j"
              R"j("qos":1,"min_temp":0.0,"max_temp":400.0,)j"
              R"j("temperature_command_topic":"plant/q7/furnace/3/set/sv",)j"
              R"j("mode_command_topic":"plant/q7/furnace/3/set/mode",)j"
              R"j("mode_command_template":"{{ 'on' if value == 'heat' else 'off' }}"})j");
    EXPECT_EQ(messages[1].first, "homeassistant/sensor/q7_furnace_3/output/config");
    EXPECT_EQ(
        messages[1].second,
        R"j({"name":"output level","unique_id":"q7_furnace_3_out",)j"
        R"j("device":{"identifiers":["q7_furnace_3"],"name":"Q7 furnace 3","model":"Q7"},)j"
        R"j("availability":[{"topic":"plant/q7/bridge/available"},)j"
        R"j({"topic":"plant/q7/furnace/3/available"}],"availability_mode":"all",)j"
        R"j("state_topic":"plant/q7/furnace/3/state","value_template":"{{ value_json.out }}",)j"
        R"j("unit_of_measurement":"%","state_class":"measurement","qos":1})j");

    // Fahrenheit, whole degrees, limits not read yet, nothing may be set:
    // no limits and no command topics.
    messages = discoveryMessages(base, 12, {degree + "F", 0, {}, {}}, {});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].second,
              R"j({"name":"furnace 12","unique_id":"q7_furnace_12",)j"
              R"j("device":{"identifiers":["q7_furnace_12"],"name":"Q7 furnace 12","model":"Q7"},)j"
              R"j("availability":[{"topic":"plant/q7/bridge/available"},)j"
              R"j({"topic":"plant/q7/furnace/12/available"}],"availability_mode":"all",)j"
              R"j("current_temperature_topic":"plant/q7/furnace/12/state",)j"
              R"j("current_temperature_template":"{{ value_json.pv }}",)j"
              R"j("temperature_state_topic":"plant/q7/furnace/12/state",)j"
              R"j("temperature_state_template":"{{ value_json.sv }}",)j"
              R"j("mode_state_topic":"plant/q7/furnace/12/state",)j"
              R"j("mode_state_template":"{% if value_json.mode is not defined %}None)j"
              R"j({% elif value_json.mode == 'off' %}off{% else %}heat{% endif %}",)j"
              R"j("modes":["off","heat"],"temperature_unit":"F","precision":1.0,"temp_step":1.0,)j"
              R"j("qos":1})j");
}

} // namespace
