#include "web/metrics_text.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <optional>

namespace {

std::string number(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    return std::string(buffer, end);
}

struct Family {
    std::string& out;
    std::string name;
    bool started = false;
    const char* help;
    const char* type;

    void sample(const std::string& labels, double value, const std::string& suffix = "") {
        if (!started) {
            out += "# HELP " + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
            started = true;
        }
        out +=
            name + suffix + (labels.empty() ? "" : "{" + labels + "}") + " " + number(value) + "\n";
    }
};

std::string lineLabel(const std::string& line) {
    return "line=\"" + labelValue(line) + "\"";
}

std::optional<double> field(const QJsonObject& state, const char* key) {
    const QJsonValue v = state.value(QLatin1String(key));
    if (!v.isDouble()) return std::nullopt;
    return v.toDouble();
}

void lineFamilies(std::string& out, const MetricsInput& in) {
    struct Counter {
        const char* name;
        const char* help;
        int64_t LineCounts::*count;
    };
    static const Counter counters[] = {
        {"q7_line_requests_total", "Requests sent on the line, retries included.",
         &LineCounts::requests},
        {"q7_line_replies_total", "Requests answered by a good reply.", &LineCounts::good},
        {"q7_line_no_replies_total", "Requests that had no reply.", &LineCounts::noReplies},
        {"q7_line_crc_errors_total", "Replies with a wrong CRC or cut short.",
         &LineCounts::crcOrShort},
        {"q7_line_exceptions_total", "Requests the controller refused with an exception.",
         &LineCounts::exceptions},
        {"q7_line_late_bytes_total", "Bytes of late answers read and dropped.",
         &LineCounts::lateBytesDiscarded},
    };
    for (const Counter& c : counters) {
        Family f{out, c.name, false, c.help, "counter"};
        for (const auto& [line, counts] : in.lines)
            f.sample(lineLabel(line), double(counts.*c.count));
    }
    Family rtt{out, "q7_line_round_trip_seconds", false,
               "Time from a request to the end of its reply.", "histogram"};
    for (const auto& [line, counts] : in.lines) {
        const std::string label = lineLabel(line);
        int64_t below = 0;
        for (std::size_t i = 0; i < kRoundTripBoundsMs.size(); ++i) {
            below += counts.roundTripBuckets[i];
            rtt.sample(label + ",le=\"" + number(kRoundTripBoundsMs[i] / 1000.0) + "\"",
                       double(below), "_bucket");
        }
        rtt.sample(label + ",le=\"+Inf\"", double(counts.replies), "_bucket");
        rtt.sample(label, counts.roundTripSumMs / 1000.0, "_sum");
        rtt.sample(label, double(counts.replies), "_count");
    }
}

void controllerFamilies(std::string& out, const MetricsInput& in) {
    Family pv{out, "q7_controller_pv", false, "Process value, in the controller's unit.", "gauge"};
    Family sv{out, "q7_controller_sv", false, "Set value, in the controller's unit.", "gauge"};
    Family output{out, "q7_controller_out", false, "Output level the controller reports, percent.",
                  "gauge"};
    Family answering{out, "q7_controller_answering", false,
                     "1 while the controller answers its polls, else 0.", "gauge"};
    Family since{out, "q7_controller_seconds_since_reply", false,
                 "Seconds since the controller last answered a poll.", "gauge"};
    for (const ControllerView& c : in.controllers) {
        const std::string labels = lineLabel(c.line) + ",id=\"" + std::to_string(c.id) + "\"";
        const QJsonObject state =
            QJsonDocument::fromJson(QByteArray::fromStdString(c.state)).object();
        if (auto v = field(state, "pv")) pv.sample(labels, *v);
        if (auto v = field(state, "sv")) sv.sample(labels, *v);
        if (auto v = field(state, "out")) output.sample(labels, *v);
        if (c.online) answering.sample(labels, *c.online ? 1 : 0);
        if (c.lastReplyAt) since.sample(labels, std::max(0.0, in.now - *c.lastReplyAt));
    }
}

} // namespace

std::string labelValue(std::string_view text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\\')
            out += "\\\\";
        else if (ch == '"')
            out += "\\\"";
        else if (ch == '\n')
            out += "\\n";
        else
            out += ch;
    }
    return out;
}

std::string metricsText(const MetricsInput& in) {
    std::string out;
    lineFamilies(out, in);
    controllerFamilies(out, in);
    if (in.broker.connected) {
        Family connected{out, "q7_broker_connected", false,
                         "1 while the bridge is connected to its MQTT broker, else 0.", "gauge"};
        connected.sample("", *in.broker.connected ? 1 : 0);
    }
    Family dropped{out, "q7_broker_dropped_messages_total", false,
                   "Messages the bridge dropped because its queue to the broker was full.",
                   "counter"};
    dropped.sample("", double(in.broker.droppedTotal));
    return out;
}
