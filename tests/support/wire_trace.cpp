#include "support/wire_trace.h"

#include <fstream>
#include <sstream>

std::vector<TraceStep> expectedTrace() {
    std::ifstream in(std::string(Q7_TESTS_DIR) + "/e2e/wire_trace.txt");
    std::vector<TraceStep> steps;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line.rfind("//", 0) == 0) continue;
        if (line.rfind("# ", 0) == 0)
            steps.push_back({line.substr(2), {}});
        else if (!steps.empty())
            steps.back().frames.push_back(line);
    }
    return steps;
}

std::vector<std::string> traceStep(const std::string& heading) {
    for (const TraceStep& step : expectedTrace())
        if (step.heading == heading) return step.frames;
    return {};
}

std::vector<std::string> heads(const std::vector<std::string>& frames) {
    std::vector<std::string> out;
    for (const std::string& f : frames)
        out.push_back(f.substr(0, 11));
    return out;
}

std::string traceText(const std::vector<TraceStep>& steps) {
    std::string text;
    for (const TraceStep& s : steps) {
        text += "# " + s.heading + "\n";
        for (const std::string& f : s.frames)
            text += f + "\n";
    }
    return text;
}

std::string firstDifference(const std::string& want, const std::string& got) {
    std::istringstream w(want), g(got);
    std::string wl, gl, heading;
    for (int n = 1;; ++n) {
        const bool hw = bool(std::getline(w, wl)), hg = bool(std::getline(g, gl));
        if (!hw && !hg) return "";
        if (hw && wl.rfind("# ", 0) == 0) heading = wl;
        if (!hw || !hg || wl != gl)
            return "line " + std::to_string(n) + " (" + heading + "): expected '" +
                   (hw ? wl : "<end>") + "', sent '" + (hg ? gl : "<end>") + "'";
    }
}
