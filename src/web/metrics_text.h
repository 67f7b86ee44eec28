#pragma once
// The plant's figures in Prometheus's text format (version 0.0.4): each
// line's traffic counts and round-trip histogram, each controller's PV, SV,
// output, whether it answers and how long since it last did, and the
// broker link. PV, SV and the output are read from the state JSON the
// bridge published, so what is scraped is what MQTT said.
#include "web/plant_view.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct MetricsInput {
    std::vector<std::pair<std::string, LineCounts>> lines;
    std::vector<ControllerView> controllers;
    BrokerView broker;
    double now = 0; // wall-clock seconds
};

std::string metricsText(const MetricsInput& in);

// A label value as the format quotes it: backslash, quote and newline escaped.
std::string labelValue(std::string_view text);
