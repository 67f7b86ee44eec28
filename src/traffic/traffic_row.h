#pragma once
// One line of the traffic: a request as it went out, or what came back for
// it. An exchange makes two rows, both carrying its verdict and attempt, so
// that a failed request stands out next to its missing or damaged reply.
#include "link/frame_observers.h"
#include "link/scale.h"
#include "traffic/frame_verdict.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct TrafficRow {
    int64_t wallMs = 0; // local wall-clock time, milliseconds since the epoch
    bool tx = true;
    std::vector<uint8_t> bytes;
    Verdict verdict = Verdict::good;
    int attempt = 1;
    double roundTripMs = -1; // replies only; negative for a request
    std::string meaning;
    // A request written down as it went out, before its reply: no verdict yet.
    bool unjudged = false;
};

// The request and reply rows of an exchange. The record's times are on the
// line clock; wallNow and lineNow are the same moment on both clocks.
std::vector<TrafficRow> rowsOf(Scale scale, const FrameRecord& record,
                               std::chrono::system_clock::time_point wallNow,
                               Clock::TimePoint lineNow);
std::vector<TrafficRow> rowsOf(Scale scale, const FrameRecord& record);
// The request row of a record told as the request went out (unjudged).
TrafficRow sentRowOf(Scale scale, const FrameRecord& record);

// The line's own word that the port's device came back and the controller
// answers again: no bytes, read as coming from the line, so the engineer
// sees where polling resumed by itself.
TrafficRow reconnectedRow();

// "01 03 10 00 00 01 80 CA".
std::string hexText(const std::vector<uint8_t>& bytes);
// "2026-12-07T17:56:45.123+01:00": ISO 8601, local time, with its offset.
std::string isoLocalTime(int64_t wallMs);
// "17:56:45.123" for the panel.
std::string clockTime(int64_t wallMs);
