// The bridge's payloads byte for byte: what Home Assistant and scripts parse
// must not change by accident, and must always be valid JSON in UTF-8.
#include "base/json_writer.h"
#include "serve/discovery.h"
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

    // A refused 1e308 is echoed as a number, not in its 309 digits.
    CommandResult huge;
    huge.command = "sv";
    huge.value = -1e308;
    huge.reason = "not sent";
    EXPECT_EQ(resultJson(huge),
              R"({"command":"sv","value":-1e+308,"ok":false,"reason":"not sent"})");

    // A topic the bridge could not place, with a payload that was no UTF-8.
    CommandResult unknown;
    unknown.reason = "malformed: sv '\xFF' is no number; nothing was sent";
    EXPECT_EQ(resultJson(unknown),
              R"({"ok":false,"reason":"malformed: sv '\ufffd' is no number; nothing was sent"})");
}

// What a poll read, and nothing else: the output the controller tells
// apart from the manual level it holds, the alarm outputs and the step
// program's place from the status word, each absent when not read.
TEST(ServeJson, StateHoldsWhatThePollRead) {
    Reading r;
    r.answered = true;
    r.pv = 123.4;
    r.sv = 150.0;
    r.manualOut = 40.0;
    r.mode = 1;
    r.unit = "\xC2\xB0"
             "C";
    r.decimals = 1;
    r.alarm1 = false;
    r.alarm2 = true;
    r.programRunning = true;
    r.programStep = 3;
    r.programSegment = 2;
    EXPECT_EQ(stateValues(r).str(),
              R"j({"pv":123.4,"sv":150.0,"manual_out":40.0,"mode":"on","unit":"°)j"
              R"j(C","decimals":1,"alarms":{"alarm1":false,"alarm2":true},)j"
              R"j("program":{"step":3,"segment":2}})j");

    Reading manual;
    manual.out = manual.manualOut = 55.5;
    manual.mode = 4;
    manual.alarm1 = manual.alarm2 = false;
    manual.programRunning = false;
    EXPECT_EQ(stateValues(manual).str(),
              R"j({"out":55.5,"manual_out":55.5,"mode":"manual",)j"
              R"j("alarms":{"alarm1":false,"alarm2":false},"program":null})j");
    // The status word unread: neither alarms nor program.
    EXPECT_EQ(stateValues(Reading{}).str(), "{}");

    // A zone of a run held back, as Home Assistant's run sensors read it.
    Reading zone;
    zone.run = "Bisque_04";
    zone.runSegment = 2, zone.runSegments = 5, zone.runSecondsToGo = 3600;
    zone.runProgram = "Bisque 04", zone.runPhase = "held back";
    zone.runPlanSv = 512.3, zone.runFinish = "2026-12-08T18:40:00+01:00";
    zone.runSelected = "bisque";
    EXPECT_EQ(stateValues(zone).str(),
              R"j({"run":"Bisque_04","run_segment":2,"run_segments":5,"run_time_to_go":3600,)j"
              R"j("run_program":"Bisque 04","run_phase":"held back","run_planned_sv":512.3,)j"
              R"j("run_finish":"2026-12-08T18:40:00+01:00","run_selected":"bisque"})j");
}

TEST(ServeDiscovery, EachControllerIsADeviceReachedThroughTheBridge) {
    const TopicBase base{"plant/q7", "furnace"};
    const std::string degree = "\xC2\xB0";
    auto messages = discoveryMessages(base, 3, {degree + "C", 1, 0.0, 400.0},
                                      {Setting::sv, Setting::mode, Setting::out});
    std::vector<std::string> topics;
    for (const auto& m : messages)
        topics.push_back(m.first);
    const std::string node = "plant_q7_furnace_3";
    EXPECT_EQ(topics, (std::vector<std::string>{
                          "homeassistant/climate/" + node + "/thermostat/config",
                          "homeassistant/sensor/" + node + "/pv/config",
                          "homeassistant/sensor/" + node + "/sv/config",
                          "homeassistant/sensor/" + node + "/output/config",
                          "homeassistant/binary_sensor/" + node + "/alarm1/config",
                          "homeassistant/binary_sensor/" + node + "/alarm2/config",
                          "homeassistant/binary_sensor/" + node + "/answering/config",
                          "homeassistant/select/" + node + "/mode/config",
                          "homeassistant/number/" + node + "/manual_out/config",
                          "homeassistant/sensor/" + node + "/run_segment/config",
                          "homeassistant/sensor/" + node + "/run_time_to_go/config",
                          "homeassistant/sensor/" + node + "/run_program/config",
                          "homeassistant/sensor/" + node + "/run_phase/config",
                          "homeassistant/sensor/" + node + "/run_planned_sv/config",
                          "homeassistant/sensor/" + node + "/run_finish/config",
                          "homeassistant/sensor/" + node + "/run_outcome/config",
                          "homeassistant/event/" + node + "/alarm_event/config",
                          "homeassistant/select/" + node + "/run_select/config",
                          "homeassistant/button/" + node + "/run_start/config",
                          "homeassistant/button/" + node + "/run_pause/config",
                          "homeassistant/button/" + node + "/run_continue/config",
                          "homeassistant/button/" + node + "/run_stop/config",
                      }));
    const std::string version = kProgramVersion;
    const std::string device =
        R"j("device":{"identifiers":["plant_q7_furnace_3"],"name":"furnace 3",)j"
        R"j("manufacturer":"q7 project","model":"Q7",)j"
        R"j("sw_version":")j" +
        version +
        R"j(","via_device":"plant_q7_bridge"},)j"
        R"j("origin":{"name":"q7","sw_version":")j" +
        version + R"j("},)j";
    EXPECT_EQ(messages[0].second,
              R"j({"name":null,"unique_id":"plant_q7_furnace_3",)j" + device +
                  R"j("availability":[{"topic":"plant/q7/bridge/available"},)j"
                  R"j({"topic":"plant/q7/furnace/3/available"}],"availability_mode":"all",)j"
                  R"j("current_temperature_topic":"plant/q7/furnace/3/state",)j"
                  R"j("current_temperature_template":"{{ value_json.pv if value_json.pv is )j"
                  R"j(defined else None }}","temperature_state_topic":"plant/q7/furnace/3/state",)j"
                  R"j("temperature_state_template":"{{ value_json.sv if value_json.sv is )j"
                  R"j(defined else None }}","mode_state_topic":"plant/q7/furnace/3/state",)j"
                  R"j("mode_state_template":"{% if value_json.mode is not defined %}None)j"
                  R"j({% elif value_json.mode == 'off' %}off{% else %}heat{% endif %}",)j"
                  R"j("modes":["off","heat"],"action_topic":"plant/q7/furnace/3/state",)j"
                  R"j("action_template":"{% if value_json.mode is not defined %}None{% elif )j"
                  R"j(value_json.mode == 'off' %}off{% elif value_json.out is not defined )j"
                  R"j(%}None{% elif value_json.out > 0 %}heating{% else %}idle{% endif %}",)j"
                  R"j("temperature_unit":"C","precision":0.1,"temp_step":0.1,)j"
                  R"j("qos":1,"min_temp":0.0,"max_temp":400.0,)j"
                  R"j("temperature_command_topic":"plant/q7/furnace/3/set/sv",)j"
                  R"j("mode_command_topic":"plant/q7/furnace/3/set/mode",)j"
                  R"j("mode_command_template":"{{ 'on' if value == 'heat' else 'off' }}"})j");
    // Available while the bridge is, so that a silent controller reads as
    // not answering rather than as unknown.
    EXPECT_EQ(messages[6].second,
              R"j({"name":"Answering","unique_id":"plant_q7_furnace_3_answering",)j" + device +
                  R"j("availability_topic":"plant/q7/bridge/available",)j"
                  R"j("state_topic":"plant/q7/furnace/3/available","payload_on":"online",)j"
                  R"j("payload_off":"offline","device_class":"connectivity",)j"
                  R"j("entity_category":"diagnostic","qos":1})j");
    EXPECT_NE(messages[8].second.find(R"j("min":0.0,"max":100.0,"step":0.1,)j"), std::string::npos);

    // Nothing may be set: no command topics, and the select and the number
    // a former config offered are cleared.
    messages = discoveryMessages(base, 12, {degree + "F", 0, {}, {}}, {});
    EXPECT_EQ(messages[0].second.find("command_topic"), std::string::npos);
    EXPECT_EQ(messages[0].second.find("min_temp"), std::string::npos);
    EXPECT_NE(messages[0].second.find(R"j("temperature_unit":"F","precision":1.0)j"),
              std::string::npos);
    EXPECT_NE(messages[1].second.find(R"j("unit_of_measurement":"°)j"
                                      R"j(F","suggested_display_precision":0,)j"),
              std::string::npos);
    EXPECT_EQ(messages[7],
              (DiscoveryMessage{"homeassistant/select/plant_q7_furnace_12/mode/config", ""}));
    EXPECT_EQ(messages[8],
              (DiscoveryMessage{"homeassistant/number/plant_q7_furnace_12/manual_out/config", ""}));
    // Not a zone: the run's entities are cleared, and offered nothing.
    for (std::size_t i = 11; i < messages.size(); ++i)
        EXPECT_EQ(messages[i].second, "") << messages[i].first;

    // Only where the former node id was the same is the former topic
    // certainly this bridge's own.
    EXPECT_EQ(formerDiscoveryTopics(base, 3), std::vector<std::string>{});
    EXPECT_EQ(formerDiscoveryTopics({"q7", "furnace"}, 3),
              std::vector<std::string>{"homeassistant/climate/q7_furnace_3/config"});
}

// A zone tells its run and its alarm events; where runs are allowed it
// offers the library's programs and the run's buttons, each on the run/VERB
// topic every client commands runs on.
TEST(ServeDiscovery, AZoneKnowsItsRun) {
    const TopicBase base{"plant/q7", "kilns"};
    const std::string degree = "\xC2\xB0";
    const auto payloadOf = [](const std::vector<DiscoveryMessage>& messages,
                              const std::string& key) {
        for (const auto& [topic, payload] : messages)
            if (topic.ends_with("/" + key + "/config")) return payload;
        return std::string("missing");
    };
    RunOffer zone{true, false, {"bisque", "glaze"}, "https://kiln-pc:8443/"};
    auto messages = discoveryMessages(base, 1, {degree + "C", 1, 0.0, 1300.0}, {}, zone);
    // Watched only: the sensors and the events, no select or buttons.
    EXPECT_NE(
        payloadOf(messages, "thermostat")
            .find(
                R"j("via_device":"plant_q7_bridge","configuration_url":"https://kiln-pc:8443/"})j"),
        std::string::npos);
    EXPECT_NE(payloadOf(messages, "run_finish").find(R"j("device_class":"timestamp")j"),
              std::string::npos);
    EXPECT_NE(payloadOf(messages, "run_phase")
                  .find(R"j("options":["idle","waiting","running","paused","held back","ended"])j"),
              std::string::npos);
    EXPECT_NE(
        payloadOf(messages, "alarm_event")
            .find(
                R"j("state_topic":"plant/q7/kilns/1/event","event_types":["alarm","action_failed"])j"),
        std::string::npos);
    for (const char* key : {"run_select", "run_start", "run_pause", "run_continue", "run_stop"})
        EXPECT_EQ(payloadOf(messages, key), "") << key;

    zone.control = true;
    messages = discoveryMessages(base, 1, {degree + "C", 1, 0.0, 1300.0}, {}, zone);
    EXPECT_NE(payloadOf(messages, "run_select")
                  .find(R"j("command_topic":"plant/q7/kilns/1/run/select",)j"),
              std::string::npos);
    EXPECT_NE(payloadOf(messages, "run_select").find(R"j("options":["bisque","glaze"])j"),
              std::string::npos);
    EXPECT_NE(payloadOf(messages, "run_continue")
                  .find(R"j("command_topic":"plant/q7/kilns/1/run/resume","payload_press":"")j"),
              std::string::npos);
    // An empty library offers nothing to select.
    zone.programs.clear();
    messages = discoveryMessages(base, 1, {degree + "C", 1, 0.0, 1300.0}, {}, zone);
    EXPECT_EQ(payloadOf(messages, "run_select"), "");
    EXPECT_NE(payloadOf(messages, "run_start"), "");
}

} // namespace
