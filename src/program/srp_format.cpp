#include "program/srp_format.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace {

constexpr int kNumbersPerStep = 5;
constexpr int kNumbers = 8 * kNumbersPerStep + 1;
constexpr std::string_view kStepSeparator = " \t\t\t\t\t\t\t\t";

// "%6.1f" without the locale: a desktop in a comma locale must still write
// files any other installation reads.
void appendReal(std::string& out, double value) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 1);
    const std::size_t len = res.ec == std::errc() ? std::size_t(res.ptr - buf) : 0;
    if (len < 6) out.append(6 - len, ' ');
    out.append(buf, len);
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::vector<std::string_view> tokens(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !isSpace(text[i]))
            ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
    }
    return out;
}

std::optional<double> parseReal(std::string_view t) {
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    double v = 0;
    const auto res = std::from_chars(t.data(), t.data() + t.size(), v);
    if (res.ec != std::errc() || res.ptr != t.data() + t.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<uint16_t> parseWord(std::string_view t) {
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    long v = 0;
    const auto res = std::from_chars(t.data(), t.data() + t.size(), v);
    if (res.ec != std::errc() || res.ptr != t.data() + t.size() || v < 0 || v > 65535)
        return std::nullopt;
    return uint16_t(v);
}

bool fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

bool readReal(std::string_view t, int index, double min, double* out, std::string* why) {
    const auto v = parseReal(t);
    if (!v)
        return fail(why, "number " + std::to_string(index + 1) + " (\"" + std::string(t) +
                             "\") is not a number");
    if (*v < min - 0.05 || *v > kTemperatureMax + 0.05)
        return fail(why, "number " + std::to_string(index + 1) + " (" + std::string(t) +
                             ") is outside the range the panel holds");
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
        appendReal(out, s.stepSv);
        for (uint16_t v : {s.time1, s.time2, s.action, s.loopCnt}) {
            out += ' ';
            out += std::to_string(v);
        }
        out += kStepSeparator;
    }
    appendReal(out, program.band);
    return out;
}

std::optional<StepProgram> parseSrp(std::string_view text, std::string* why) {
    const auto t = tokens(text);
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
        if (!readReal(t[std::size_t(n)], n, kTemperatureMin, &s.stepSv, why)) return std::nullopt;
        ++n;
        for (uint16_t* field : {&s.time1, &s.time2, &s.action, &s.loopCnt}) {
            if (!readWord(t[std::size_t(n)], n, field, why)) return std::nullopt;
            ++n;
        }
    }
    if (!readReal(t[std::size_t(n)], n, 0.0, &p.band, why)) return std::nullopt;
    return p;
}
