#pragma once
// A firing program: the plan a run follows, one `.q7p` file each in the
// program library. The file is a small INI text:
//
//   [program]
//   name = Bisque 04
//   unit = C             # C or F
//   start = pv           # pv, or the temperature the plan starts at
//   holdback = 15        # degrees; 0 = off
//   end = off            # off | hold | sv 200
//   max_holdback = 0:30  # the most a segment may be held back, then end (or: 0:30 hold)
//   max_temp = 1300      # a PV above it ends the run, the controllers Off
//   min_write = 10       # seconds between two set value steps (chosen when absent)
//   power = 11.5         # kW of each zone's elements (optional, for the energy)
//   price = 0.32         # per kWh (optional, for the cost)
//   repeat = 2-3 x 3     # segments 2 to 3 run 3 times, then those after them (optional)
//   [segments]
//   # rate per hour (or full), target, hold H:MM
//   80   100  0:30
//   -150 800  0:00       # a negative rate cools under control
//
// It is read by a bounded parser that takes exactly that layout: anything
// else refuses the whole file and names its line, so a run never starts on
// a plan read in part.
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

enum class TemperatureUnit { celsius, fahrenheit };

enum class EndAction {
    off,  // the controllers are switched Off
    hold, // they hold the set value where the run ended
    sv,   // they are given a safe set value
};

struct ProgramSegment {
    // Degrees per hour, negative for a controlled cool; nothing for `full`,
    // which sets the target at once and lets the kiln go as fast as it can.
    std::optional<double> rate;
    double target = 0;
    double holdSeconds = 0;
    int line = 0; // where it stands in its file, for messages
};

// Segments from..to (counted from 0; from 1 in the file) run `times` times
// over before the segments after them: run_order.h lays it out.
struct ProgramRepeat {
    int from = 0, to = 0;
    int times = 1;
};

struct FiringProgram {
    std::string name;
    TemperatureUnit unit = TemperatureUnit::celsius;
    std::optional<double> start; // nothing: from where the kiln's PV is
    double holdback = 0;         // degrees; 0 is off
    EndAction end = EndAction::off;
    double endSv = 0; // with EndAction::sv
    // The most the plan may be held back in one segment; past it, "failed
    // to reach temperature": the run ends as `end` says, or with
    // maxHoldbackHolds, it pauses (the controllers keep their set value).
    std::optional<double> maxHoldback;
    bool maxHoldbackHolds = false;
    // A PV above it in any zone ends the run with the controllers Off,
    // whatever `end` says; nothing: each controller's Hi limit.
    std::optional<double> maxTemp;
    // Seconds between two set value steps; nothing: chosen for the run
    // (write_estimate.h).
    std::optional<double> minWrite;
    // A run's report tells its energy and cost from these, where its
    // output was sampled; nothing else reads them.
    std::optional<double> power; // kW of each zone's elements
    std::optional<double> price; // per kWh
    std::optional<ProgramRepeat> repeat;
    std::vector<ProgramSegment> segments;
    // Where the keys stand, for messages about their values.
    int startLine = 0, endLine = 0, maxTempLine = 0;
};

inline constexpr int kMaxSegments = 64;
inline constexpr int kMaxRepeats = 1000;
inline constexpr const char* kProgramExtension = ".q7p";

struct ProgramError {
    int line = 0; // 0: the file as a whole
    std::string why;
    // The same without a word of the file ("unit takes C or F"), for a
    // stranger, who is told what is wrong and where but not what the file holds.
    std::string withoutText = {};
};

// The text of a program file, with or without a UTF-8 byte-order mark.
std::variant<FiringProgram, ProgramError> parseFiringProgram(std::string_view text);

// Reads (a regular file of at most 64 KiB) and parses path. The error is one
// line: "PATH: line N: why". text, when given, gets the file's text as read;
// withoutText, the error without a word of the file (ProgramError's).
std::variant<FiringProgram, std::string> loadFiringProgram(const std::string& path,
                                                           std::string* text = nullptr,
                                                           std::string* withoutText = nullptr);

// The program in the file's own layout, which parseFiringProgram reads back
// to the same program.
std::string formatFiringProgram(const FiringProgram& program);
// Written atomically. False, with why, when it could not be.
bool saveFiringProgram(const std::string& path, const FiringProgram& program, std::string* why);

// "C" or "F"; "°C" or "°F".
const char* unitLetter(TemperatureUnit unit);
const char* unitSign(TemperatureUnit unit);
// A number as the files write it: the shortest text that reads back to it.
std::string numberText(double value);
// "segment 3 of 5: 100 °C/h to 1000 °C, hold 0:15"; index counts from 0.
std::string segmentText(const FiringProgram& program, int index);
// A hold as a segment line writes it ("H:MM", minutes below 60): seconds;
// nothing when it is not one. The longest such hold, in seconds.
std::optional<double> parseHoldTime(std::string_view text);
double longestHold();
// A change to a hold, as `q7 run --extend` and the bridge take it: H:MM,
// "-H:MM" to shorten ("+H:MM" as well); seconds, nothing when not one.
std::optional<double> parseHoldChange(std::string_view text);
// A rate as a segment line writes it: degrees per hour, or "full"
// (nothing); false when it is neither. Its range is the reader's to check.
bool parseRateText(std::string_view text, std::optional<double>* rate);
// Seconds as "H:MM", to the nearest minute; "-" for what is no number of
// minutes a count holds.
std::string hoursMinutes(double seconds);
