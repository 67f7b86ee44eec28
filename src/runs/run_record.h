#pragma once
// What a run is and what it tells as it goes: its state (all a resumed run
// needs, written to the run store at every change), the samples of each
// poll and its events. The engine hands them to its listeners: the store,
// a command's output, a panel.
#include "runs/plan.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class RunPhase { waiting, running, paused, ended };
// A firing program run from the PC, or the controller's own step program,
// whose table is then the run's program text.
enum class RunKind { program, steps };
enum class RunOutcome { completed, stopped, failed, resumed };

enum class EventKind {
    start,          // the plan began
    segment,        // a segment began
    holdBackStart,  // the plan clock waits for a zone
    holdBackEnd,    // and goes on; the text says how long it waited
    pause,          // the run writes nothing until it is told to go on
    proceed,        // it goes on after a pause
    operatorChange, // SV or the mode changed by hand on a zone
    alarm,          // an alarm rule fired
    silence,        // a zone stopped answering; of the run as a whole, its driver was lost
    answering,      // and answers again
    resume,         // a run of an earlier process goes on
    writeFailed,    // a write the controller did not take or confirm
    end,            // the run ended; the text says how
    calibration,    // at the start: a zone's calibration in force, its PV offset and SW filter
    mark,           // a short text the operator put at a moment of the run
    change,         // a live change to the firing (a segment skipped, a hold extended)
    field,          // a fact about the firing, "KEY = VALUE"; a later one of a key is in force
    other,          // read from a store a newer program wrote: a kind this one does not know
};

// A mark is one short line of text, recorded as it is: at most this many
// bytes, no control characters.
inline constexpr std::size_t kMarkLimit = 200;
// Why text (trimmed) cannot be a mark ("needs a text", "takes a text of at
// most 200 characters", "takes one line of text"); empty when it can.
std::string markTextProblem(std::string_view text);

// The facts a firing may carry (`q7 run --field KEY=VALUE`). Each is an
// event of its own, so a later value of a key adds to the record and never
// replaces the earlier one; a value is one line, as a mark's text is.
inline constexpr std::array<const char*, 10> kFieldKeys{
    "load", "job", "customer", "part", "quantity", "material", "order", "lot", "operator", "notes"};
struct RunField {
    std::string key, value;
    bool operator==(const RunField&) const = default;
};
// KEY=VALUE as given, both trimmed: the field, or nothing with why.
std::optional<RunField> parseField(std::string_view text, std::string* why);
// A field event's text, "job = A-17", and back (nothing: not a field's).
std::string fieldText(const RunField& field);
std::optional<RunField> fieldOfText(std::string_view text);

const char* kindName(RunKind kind);
std::optional<RunKind> kindNamed(const std::string& name);
const char* phaseName(RunPhase phase);
const char* outcomeName(RunOutcome outcome);
const char* eventKindName(EventKind kind);
std::optional<RunPhase> phaseNamed(const std::string& name);
std::optional<RunOutcome> outcomeNamed(const std::string& name);
std::optional<EventKind> eventKindNamed(const std::string& name);

struct ZoneState {
    std::string port; // as the line was named: "COM3", a device, a gateway
    int id = 0;
    double offset = 0; // degrees in the program's unit, added to the plan
    // The set value the controller last confirmed from the run, in its unit.
    std::optional<double> lastWritten;
    // The ramp rate it held before the run (its own unit), written back when
    // the run ends; nothing on a controller without a ramp.
    std::optional<double> rampBefore;
    // The device behind port as the run began (run_device.h); empty in a
    // zone of a store that recorded none, and in a new run's state until the
    // store records it.
    std::string device;
    // The unit its controller shows, as the run opened: what its samples
    // and lastWritten are in. Nothing in a zone an older store recorded
    // without it, and in a new run's state until the controller is read.
    std::optional<TemperatureUnit> unit;
};

struct RunState {
    RunKind kind = RunKind::program;
    std::string programName;
    std::string programText; // the file as it ran
    RunPhase phase = RunPhase::waiting;
    std::optional<RunOutcome> outcome;
    double opened = 0;             // wall-clock seconds (Unix time), as all times here
    std::optional<double> startAt; // a delayed start
    std::optional<double> started; // when the plan began
    std::optional<double> ended;
    // Where the plan of this run began and how far along it it stands: in
    // a repeat, its step (the store's plan_segment) and the clock tell the
    // cycle, so a resumed run goes on in the cycle it was in.
    PlanStart planStart;
    double planClock = 0; // seconds along it
    int segment = 0;      // the program's segment, counted from 0
    std::string pauseReason;
    long writes = 0; // every write to a controller
    double timeScale = 1;
    std::vector<ZoneState> zones;

    // Writes per hour of the run so far: hours of the time it ran (times
    // the time scale), not of the plan, which waits during hold-back.
    double writesPerHour(double now) const;
};

struct RunSample {
    double time = 0;
    int zone = 0;
    std::optional<double> pv, sv, output; // as the zone's controller gave them, in its unit
    std::optional<double> planSv;         // where the plan had the zone then, in its unit
};

struct RunEvent {
    double time = 0;
    std::optional<int> zone; // nothing: the run as a whole
    EventKind kind = EventKind::start;
    int segment = 0;
    std::string text;
};

// The fields in force among a run's events: the latest of each key, in the
// order of kFieldKeys.
std::vector<RunField> latestFields(const std::vector<RunEvent>& events);

// The run as a whole went unheard: the process that drove it was lost, as a
// resume records at the last sample the dead driver took.
inline bool driverLost(const RunEvent& e) {
    return e.kind == EventKind::silence && !e.zone;
}

struct RunUpdate {
    const RunState& state;
    std::vector<RunSample> samples;
    std::vector<RunEvent> events;
    // The state changed beyond the plan clock: a store keeps it durably now.
    bool stateChanged = false;
};

class RunListener {
  public:
    virtual ~RunListener() = default;
    // Once, before the run writes anything to a controller: the run as it
    // begins, the ramp rates it will write back among it.
    virtual void runOpened(const RunState&) {}
    // After each poll, and after each change made from outside (pause, stop).
    virtual void runUpdated(const RunUpdate&) {}
};
