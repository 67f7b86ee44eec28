#include "program/srp_format.h"

#include "runtime/atomic_file.h"
#include "runtime/number_text.h"

namespace {

constexpr int kNumbersPerStep = 5;
constexpr int kNumbers = 8 * kNumbersPerStep + 1;
constexpr std::string_view kStepSeparator = " \t\t\t\t\t\t\t\t";

std::optional<uint16_t> parseWord(std::string_view t) {
    const auto v = parseWhole(t);
    if (!v || *v < 0 || *v > 65535) return std::nullopt;
    return uint16_t(*v);
}

bool fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

// Set values and the band are kept as the panel shows them, so whatever
// decimal point a program was saved under, they lie within what a register
// holds in whole degrees.
bool readReal(std::string_view t, int index, double* out, std::string* why) {
    const auto v = parseReal(t);
    if (!v)
        return fail(why, "number " + std::to_string(index + 1) + " (\"" + std::string(t) +
                             "\") is not a number");
    if (*v < kSetValueMin || *v > kSetValueMax)
        return fail(why, "number " + std::to_string(index + 1) + " (" + std::string(t) +
                             ") is more than a register holds");
    *out = *v;
    return true;
}

bool readWord(std::string_view t, int index, uint16_t* out, std::string* why) {
    const auto v = parseWord(t);
    if (!v)
        return fail(why, "number " + std::to_string(index + 1) + " (\"" + std::string(t) +
                             "\") is not a whole number from 0 to 65535");
    *out = *v;
    return true;
}

} // namespace

std::string formatSrp(const StepProgram& program) {
    std::string out;
    for (const ScriptStep& s : program.steps) {
        out += formatFixed(s.stepSv, 1, 6);
        for (uint16_t v : {s.time1, s.time2, s.action, s.loopCnt}) {
            out += ' ';
            out += formatWhole(v);
        }
        out += kStepSeparator;
    }
    out += formatFixed(program.band, 1, 6);
    return out;
}

std::optional<StepProgram> parseSrp(std::string_view text, std::string* why) {
    const auto t = splitTokens(text);
    if (t.size() < std::size_t(kNumbers)) {
        fail(why, "it holds " + std::to_string(t.size()) + " numbers instead of 41");
        return std::nullopt;
    }
    if (t.size() > std::size_t(kNumbers)) {
        fail(why, "something follows the 41st number");
        return std::nullopt;
    }
    StepProgram p;
    int n = 0;
    for (ScriptStep& s : p.steps) {
        if (!readReal(t[std::size_t(n)], n, &s.stepSv, why)) return std::nullopt;
        ++n;
        for (uint16_t* field : {&s.time1, &s.time2, &s.action, &s.loopCnt}) {
            if (!readWord(t[std::size_t(n)], n, field, why)) return std::nullopt;
            ++n;
        }
    }
    if (!readReal(t[std::size_t(n)], n, &p.band, why)) return std::nullopt;
    return p;
}

std::optional<StepProgram> readSrpFile(const std::string& path, std::string* why) {
    std::string content;
    if (!readSmallFile(path, &content, kMaxSrpBytes)) {
        fail(why, "it cannot be read, or is far larger than a step program file");
        return std::nullopt;
    }
    return parseSrp(content, why);
}

std::string valueOutside(double value, double low, double high, const std::string& name) {
    constexpr double kSlack = 1e-6; // the file's one decimal against binary limits
    if (value >= low - kSlack && value <= high + kSlack) return {};
    return name + " (" + formatFixed(value, 1) + ") is outside what its field takes, " +
           formatFixed(low, 1) + " to " + formatFixed(high, 1);
}

std::string programOutside(const StepProgram& program, double low, double high) {
    for (std::size_t i = 0; i < program.steps.size(); ++i) {
        const std::string why =
            valueOutside(program.steps[i].stepSv, low, high, stepSetValueName(int(i)));
        if (!why.empty()) return why;
    }
    return valueOutside(program.band, low, high, kBandName);
}

std::string stepSetValueName(int step) {
    return "the set value of step " + std::to_string(step);
}
