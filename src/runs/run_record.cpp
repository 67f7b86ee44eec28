#include "runs/run_record.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

template <class E, std::size_t N>
std::optional<E> named(const std::array<std::pair<E, const char*>, N>& table,
                       const std::string& name) {
    for (const auto& [value, text] : table)
        if (name == text) return value;
    return std::nullopt;
}

template <class E, std::size_t N>
const char* nameOf(const std::array<std::pair<E, const char*>, N>& table, E value) {
    for (const auto& [v, text] : table)
        if (v == value) return text;
    return "?";
}

// The names the run store keeps; other programs read them, so they stay.
constexpr std::array<std::pair<RunKind, const char*>, 2> kKindsOfRun{{
    {RunKind::program, "program"},
    {RunKind::steps, "steps"},
}};
constexpr std::array<std::pair<RunPhase, const char*>, 4> kPhases{{
    {RunPhase::waiting, "waiting"},
    {RunPhase::running, "running"},
    {RunPhase::paused, "paused"},
    {RunPhase::ended, "ended"},
}};
constexpr std::array<std::pair<RunOutcome, const char*>, 4> kOutcomes{{
    {RunOutcome::completed, "completed"},
    {RunOutcome::stopped, "stopped"},
    {RunOutcome::failed, "failed"},
    {RunOutcome::resumed, "resumed"},
}};
constexpr std::array<std::pair<EventKind, const char*>, 18> kKinds{{
    {EventKind::start, "start"},
    {EventKind::segment, "segment"},
    {EventKind::holdBackStart, "holdback-start"},
    {EventKind::holdBackEnd, "holdback-end"},
    {EventKind::pause, "pause"},
    {EventKind::proceed, "proceed"},
    {EventKind::operatorChange, "operator"},
    {EventKind::alarm, "alarm"},
    {EventKind::silence, "silence"},
    {EventKind::answering, "answering"},
    {EventKind::resume, "resume"},
    {EventKind::writeFailed, "write-failed"},
    {EventKind::end, "end"},
    {EventKind::calibration, "calibration"},
    {EventKind::mark, "mark"},
    {EventKind::change, "change"},
    {EventKind::field, "field"},
    {EventKind::other, "other"},
}};

} // namespace

const char* kindName(RunKind kind) {
    return nameOf(kKindsOfRun, kind);
}
std::optional<RunKind> kindNamed(const std::string& name) {
    return named(kKindsOfRun, name);
}
const char* phaseName(RunPhase phase) {
    return nameOf(kPhases, phase);
}
const char* outcomeName(RunOutcome outcome) {
    return nameOf(kOutcomes, outcome);
}
const char* eventKindName(EventKind kind) {
    return nameOf(kKinds, kind);
}
std::optional<RunPhase> phaseNamed(const std::string& name) {
    return named(kPhases, name);
}
std::optional<RunOutcome> outcomeNamed(const std::string& name) {
    return named(kOutcomes, name);
}
std::optional<EventKind> eventKindNamed(const std::string& name) {
    return named(kKinds, name);
}

double RunState::writesPerHour(double now) const {
    const double from = started.value_or(opened);
    // A run faster than life stands for the hours of its plan.
    const double hours = (ended.value_or(now) - from) * timeScale / 3600.0;
    return hours > 0 ? double(writes) / hours : 0.0;
}

std::string markTextProblem(std::string_view text) {
    if (text.empty()) return "needs a text";
    if (text.size() > kMarkLimit)
        return "takes a text of at most " + std::to_string(kMarkLimit) + " characters";
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "takes one line of text";
    return "";
}

namespace {

std::string_view trimmedView(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool knownField(std::string_view key) {
    return std::find(kFieldKeys.begin(), kFieldKeys.end(), key) != kFieldKeys.end();
}

} // namespace

std::optional<RunField> parseField(std::string_view text, std::string* why) {
    const auto eq = text.find('=');
    const std::string_view key = trimmedView(text.substr(0, eq));
    if (eq == std::string_view::npos || !knownField(key)) {
        std::string names;
        for (const char* k : kFieldKeys)
            names += std::string(names.empty() ? "" : ", ") + k;
        if (why)
            *why = "takes KEY=VALUE, KEY one of " + names + ", not '" + std::string(text) + "'";
        return std::nullopt;
    }
    const std::string_view value = trimmedView(text.substr(eq + 1));
    if (const std::string problem = markTextProblem(value); !problem.empty()) {
        if (why) *why = std::string(key) + " " + problem;
        return std::nullopt;
    }
    return RunField{std::string(key), std::string(value)};
}

std::string fieldText(const RunField& field) {
    return field.key + " = " + field.value;
}

std::optional<RunField> fieldOfText(std::string_view text) {
    const auto eq = text.find(" = ");
    if (eq == std::string_view::npos || !knownField(text.substr(0, eq))) return std::nullopt;
    return RunField{std::string(text.substr(0, eq)), std::string(text.substr(eq + 3))};
}

std::vector<RunField> latestFields(const std::vector<RunEvent>& events) {
    std::vector<RunField> out;
    for (const char* key : kFieldKeys) {
        for (auto e = events.rbegin(); e != events.rend(); ++e) {
            if (e->kind != EventKind::field) continue;
            if (auto f = fieldOfText(e->text); f && f->key == key) {
                out.push_back(std::move(*f));
                break;
            }
        }
    }
    return out;
}
