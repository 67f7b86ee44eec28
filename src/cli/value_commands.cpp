// get and set: the live values and the three the operator sets on the main
// panel, each write judged by its echo and the value then held told.
#include "base/typed_number.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/each_controller.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "monitor/checked_writes.h"
#include "params/choice_codes.h"
#include "params/mode_write.h"
#include "params/value_text.h"
#include "program/mode_polls.h"
#include "program/poll_decode.h"

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

std::string valueText(Scale scale, Kind kind, uint16_t word) {
    switch (kind) {
    case Kind::scaled:
        return scaledText(scale, int16_t(word));
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
int readNamed(Controller& c, const Named& n, std::string* text) {
    const Outcome o = pollRegisterOutcome(c, n.reg);
    if (!o.ok())
        return fail(statusOf(o),
                    std::string("no good reply for ") + n.label + " (" + describe(o) + ")");
    *text = valueText(c.scale(), n.kind, o.words[0]);
    return exitstatus::ok;
}

int writeFailure(Scale scale, const Named& n, const Outcome& o, const std::string& value,
                 std::optional<uint16_t> held) {
    std::string why = describe(o);
    // The controller takes a set value only within its Lo and Hi limits.
    if (n.kind == Kind::scaled && o.refused() && o.exceptionCode == 3)
        why += ": outside its Lo/Hi limits";
    const char* verb = o.refused() ? "refused " : "did not confirm ";
    const std::string holds = held ? "; it holds " + valueText(scale, n.kind, *held) : "";
    return fail(statusOf(o), "the controller " + std::string(verb) + n.label + " " + value + " (" +
                                 why + ")" + holds);
}

int setMode(ControllerLine& line, const std::string& word) {
    Controller& c = line.controller();
    const auto mode = settableMode(word);
    if (!mode)
        return usageError("set", "mode takes off, on, at1, at2 or manual, not '" + word + "'");
    if (const int s = line.connect()) return s;
    const Outcome o = writeModeGuarded(c, *mode);
    if (!o.ok()) {
        const auto held = readControlMode(c);
        const std::string holds =
            held ? " It holds " + choiceText(choices::controlMode, codeOf(*held)) + "." : "";
        return fail(statusOf(o), modeWriteFailure(o, *mode) + holds);
    }
    std::printf("mode %s\n", choiceText(choices::controlMode, codeOf(*mode)).c_str());
    return exitstatus::ok;
}

// The controller takes a set value only within its Lo and Hi limits: read
// them first, as the panel has, and refuse what lies outside before sending.
int setNumber(ControllerLine& line, const Named& n, const std::string& typed) {
    Controller& c = line.controller();
    const TypedNumber number = parseTypedNumber(typed);
    if (!number.value)
        return usageError("set", "'" + typed + "': " + n.name + " " + number.problem);
    const double value = *number.value;
    // The output level needs no decimal point; the set value is scaled by it.
    if (n.kind == Kind::tenths)
        if (const std::string problem = outputLevelProblem(value); !problem.empty())
            return fail(exitstatus::usage, problem + ", not " + typed + "; nothing was sent");
    if (const int s = line.connect()) return s;
    CheckedWrite w;
    if (n.kind == Kind::scaled) {
        if (const int s = line.readScale()) return s;
        w = setSetValue(c, value);
        if (w.limitsUnread) {
            if (w.limitsUnread->silent())
                return line.stoppedAnswering("before its Lo and Hi limits were read");
            return fail(statusOf(*w.limitsUnread), "the controller did not give its Lo and Hi "
                                                   "limits (" +
                                                       describe(*w.limitsUnread) +
                                                       "); nothing was sent");
        }
        if (!w.notSent.empty())
            return fail(exitstatus::usage, "SV " + typed + " " + w.notSent + "; nothing was sent");
    } else {
        w = setOutputLevel(c, value);
    }
    if (!w.outcome.ok()) return writeFailure(c.scale(), n, w.outcome, typed, w.held);
    std::printf("%s %s\n", n.name, valueText(c.scale(), n.kind, *w.held).c_str());
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
    return forEachController(line, [&](int id) {
        if (const int s = line.connect()) return s;
        if (scaled)
            if (const int s = line.readScale()) return s;
        std::string shown;
        for (const Named* n : asked) {
            std::string text;
            if (const int s = readNamed(line.controller(), *n, &text)) return s;
            // One controller's values on one line, after its id; one
            // controller's one per line, as ever.
            if (severalControllers(line))
                shown += " " + std::string(n->name) + " " + text;
            else
                std::printf("%s %s\n", n->name, text.c_str());
        }
        if (!shown.empty()) std::printf("%d%s\n", id, shown.c_str());
        return exitstatus::ok;
    });
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
