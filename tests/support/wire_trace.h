#pragma once
// The known requests of one operator session (tests/e2e/wire_trace.txt), and
// how a trace of what was sent is compared with them.
#include <string>
#include <vector>

struct TraceStep {
    std::string heading;             // without the "# "
    std::vector<std::string> frames; // "01 03 10 00 00 01 80 CA"
};

// The steps of wire_trace.txt, in order.
std::vector<TraceStep> expectedTrace();
// The frames of the step with this heading; none when there is no such step.
std::vector<std::string> traceStep(const std::string& heading);
// Address, function and register of each frame, without value and CRC.
std::vector<std::string> heads(const std::vector<std::string>& frames);
// Steps as text: "# heading" lines, each followed by its frames.
std::string traceText(const std::vector<TraceStep>& steps);
// The first line where two traces part, with the step it belongs to; empty
// when they are the same.
std::string firstDifference(const std::string& want, const std::string& got);
