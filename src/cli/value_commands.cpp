// get and set: the live values and the three the operator sets on the main
// panel, each write judged by its echo and the value then held told.
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/value_text.h"
#include "link/registers.h"
#include "link/session.h"
#include "link/transfer.h"
#include "monitor/live_writes.h"
#include "params/bulk_read.h"
#include "params/choice_codes.h"
#include "params/mode_write.h"
#include "params/parameter_write.h"
#include "params/params_state.h"
#include "params/record_words.h"
#include "program/mode_polls.h"
#include "runtime/number_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

enum class Kind { scaled, tenths, mode, status };

struct Named {
    const char* name;
    const char* label; // for messages
    uint16_t reg;
    Kind kind;
};

constexpr Named kNamed[] = {
    {"pv", "PV", reg::pv, Kind::scaled},
    {"sv", "SV", reg::svRead, Kind::scaled},
    {"mode", "the control mode", reg::controlMode, Kind::mode},
    {"out", "the output level", reg::outputLevel, Kind::tenths},
    {"status", "the run status", reg::status, Kind::status},
};

const Named* findNamed(const std::string& name) {
    for (const Named& n : kNamed)
        if (name == n.name) return &n;
    return nullptr;
}

std::string valueText(Kind kind, uint16_t word) {
    switch (kind) {
    case Kind::scaled:
        return scaledText(int16_t(word));
    case Kind::tenths:
        return tenthsText(float(int16_t(word)) / 10.0f);
    case Kind::mode:
        return choiceText(choices::controlMode, word & 0xFF);
    case Kind::status:
        break;
    }
    return statusText(word);
}

// Reads one named value as the panel's polls do. ok with the text, or the
// status to end with.
int readNamed(const Named& n, std::string* text) {
    const Outcome o = validatedReadOutcome(n.reg);
    if (!o.ok())
        return fail(statusOf(o),
                    std::string("no good reply for ") + n.label + " (" + describe(o) + ")");
    *text = valueText(n.kind, o.words[0]);
    return exitstatus::ok;
}

// What the controller holds after a write it did not take: read back on the
// write's own transfer, so a silent controller costs no more requests. The
// set value's checked write has read it back already unless it was refused.
std::optional<uint16_t> heldAfter(Transfer& transfer, const Named& n, const Outcome& o) {
    if (n.kind != Kind::scaled) return readBack(transfer, reg::outputLevel);
    if (o.refused()) return readBack(transfer, reg::setValue);
    if (isHeld(reg::setValue)) return uint16_t(recordWord(reg::setValue));
    return std::nullopt;
}

int writeFailure(const Named& n, const Outcome& o, const std::string& value,
                 std::optional<uint16_t> held) {
    std::string why = describe(o);
    // The controller takes a set value only within its Lo and Hi limits.
    if (n.kind == Kind::scaled && o.refused() && o.exceptionCode == 3)
        why += ": outside its Lo/Hi limits";
    const char* verb = o.refused() ? "refused " : "did not confirm ";
    const std::string holds = held ? "; it holds " + valueText(n.kind, *held) : "";
    return fail(statusOf(o), "the controller " + std::string(verb) + n.label + " " + value + " (" +
                                 why + ")" + holds);
}

// The value the write's echo carries, which the controller confirmed.
uint16_t echoedWord() {
    const auto echo = session().writeEcho();
    return uint16_t(echo[4] << 8 | echo[5]);
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<int> modeCode(const std::string& word) {
    // Program is not among them: `q7 program run` starts it.
    constexpr int kProgram = 5;
    for (const Choice& c : choices::controlMode)
        if (c.code != kProgram && lowered(c.label) == lowered(word)) return c.code;
    return std::nullopt;
}

int setMode(ControllerLine& line, const std::string& word) {
    const auto mode = modeCode(word);
    if (!mode)
        return usageError("set", "mode takes off, on, at1, at2 or manual, not '" + word + "'");
    if (const int s = line.connect()) return s;
    Outcome o;
    {
        BusyGuard guard;
        preparation(0.01);
        o = writeControlMode(*mode);
    }
    if (!o.ok()) {
        const auto held = readControlMode();
        const std::string holds =
            held ? " It holds " + choiceText(choices::controlMode, *held) + "." : "";
        return fail(statusOf(o), modeWriteFailure(o, *mode) + holds);
    }
    std::printf("mode %s\n", choiceText(choices::controlMode, *mode).c_str());
    return exitstatus::ok;
}

// The controller takes a set value only within its Lo and Hi limits: read
// them first, as the panel has, and refuse what lies outside before sending.
int refuseOutsideLimits(const ControllerLine& line, double value, const std::string& typed) {
    const Outcome o = readSetValueLimits();
    if (o.silent()) return line.stoppedAnswering("before its Lo and Hi limits were read");
    if (!o.ok())
        return fail(statusOf(o), "the controller did not give its Lo and Hi limits (" +
                                     describe(o) + "); nothing was sent");
    const auto [low, high] = setValueLimits();
    // Compared as the register words: the value as sent, and half a step
    // of the register either side of the limits it holds.
    const double step = 1.0 / double(gParams.dpMultiplier);
    const double sent = std::round(value / step) * step;
    if (sent >= low - step / 2 && sent <= high + step / 2) return exitstatus::ok;
    return fail(exitstatus::usage, "SV " + typed + " is outside the controller's Lo/Hi limits (" +
                                       scaledText(float(low)) + " to " + scaledText(float(high)) +
                                       "); nothing was sent");
}

int setNumber(ControllerLine& line, const Named& n, const std::string& typed) {
    const auto value = typedNumber(typed);
    if (!value)
        return usageError("set", n.name + std::string(" takes a number, not '") + typed + "'");
    // The output level needs no decimal point; the set value is scaled by it.
    if (n.kind == Kind::tenths && (*value < 0.0 || *value > 100.0))
        return fail(exitstatus::usage,
                    "the output level is 0.0 to 100.0 %, not " + typed + "; nothing was sent");
    if (const int s = line.connect()) return s;
    Transfer transfer;
    Outcome o;
    if (n.kind == Kind::scaled) {
        if (const int s = line.readScale()) return s;
        const auto [low, high] = temperatureLimits();
        if (*value < low || *value > high)
            return fail(exitstatus::usage,
                        "SV " + typed + " does not fit its register with " +
                            (scaledDigits() ? "one decimal place" : "no decimal place") + " (" +
                            formatFixed(low, scaledDigits()) + " to " +
                            formatFixed(high, scaledDigits()) + "); nothing was sent");
        if (const int s = refuseOutsideLimits(line, *value, typed)) return s;
        // The panel's own checked write of the set value. The typed decimal
        // is rounded to the register's digits first: the record's float
        // would otherwise round 123.45 down.
        const double m = gParams.dpMultiplier;
        const ParmRecord before = gParams.parmRecord;
        gParams.parmRecord.sv = float(std::round(*value * m) / m);
        o = writeParameter(transfer, reg::setValue, before);
    } else {
        o = writeOutputLevel(transfer, float(*value));
    }
    if (!o.ok()) return writeFailure(n, o, typed, heldAfter(transfer, n, o));
    std::printf("%s %s\n", n.name, valueText(n.kind, echoedWord()).c_str());
    return exitstatus::ok;
}

} // namespace

int getCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args = parseCommandArgs(words, {}, {});
    if (!args.error.empty()) return usageError("get", args.error);
    if (args.positional.empty()) return usageError("get", "get takes one or more names");
    std::vector<const Named*> asked;
    bool scaled = false;
    for (const std::string& name : args.positional) {
        const Named* n = findNamed(name);
        if (!n) return usageError("get", "no value is called '" + name + "'");
        asked.push_back(n);
        scaled = scaled || n->kind == Kind::scaled;
    }
    ControllerLine line(options);
    if (const int s = line.connect()) return s;
    if (scaled)
        if (const int s = line.readScale()) return s;
    for (const Named* n : asked) {
        std::string text;
        if (const int s = readNamed(*n, &text)) return s;
        std::printf("%s %s\n", n->name, text.c_str());
    }
    return exitstatus::ok;
}

int setCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args = parseCommandArgs(words, {}, {});
    if (const int s = expectWords("set", args, 2, "a NAME and a VALUE")) return s;
    const std::string& name = args.positional[0];
    const std::string& value = args.positional[1];
    ControllerLine line(options);
    if (name == "mode") return setMode(line, value);
    if (name == "sv" || name == "out") return setNumber(line, *findNamed(name), value);
    return usageError("set", "set takes sv, mode or out, not '" + name + "'");
}
