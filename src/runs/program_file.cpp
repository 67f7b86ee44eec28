#include "runs/program_file.h"

#include "base/atomic_file.h"
#include "base/line_reader.h"
#include "base/number_text.h"
#include "runs/plan.h"
#include "runs/run_order.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

namespace {

constexpr std::size_t kMaxNameLength = 64;
constexpr double kMaxHoldback = 1000;
constexpr double kMaxRate = 99999;
constexpr double kMinWrite = 1, kMaxMinWrite = 3600;
constexpr double kMaxPower = 10000, kMaxPrice = 1000;
constexpr long long kMaxHoldHours = 999;
// No firing lasts longer than this: a ramp that would is a rate mistyped,
// refused before a plan is laid out of it.
constexpr double kLongestRampHours = 30 * 24;
// No controller register holds more than this many whole degrees.
constexpr double kHighestTemperature = 32767;

using Error = ProgramError;

// The file's own words in a message are marked as they go in: the message
// for whoever reads the file quotes them, the one for a stranger (the
// broker's result) leaves them out. A program's line holds no control
// character, so no word of it holds a mark.
constexpr char kWordsOpen = '\x01', kWordsClose = '\x02';

std::string quoted(std::string_view words) {
    return kWordsOpen + std::string(words) + kWordsClose;
}

// The message with the marked words quoted, or (withWords false) left out:
// "…, not 'x'" loses its tail, a key that leads the message is "a key", and
// one that follows "has no key" is "of that name".
std::string unmarked(const std::string& why, bool withWords) {
    std::string out;
    for (std::size_t i = 0; i < why.size();) {
        const std::size_t open = why.find(kWordsOpen, i);
        if (open == std::string::npos) {
            out += why.substr(i);
            break;
        }
        const std::size_t close = std::min(why.find(kWordsClose, open), why.size() - 1);
        out += why.substr(i, open - i);
        if (withWords) {
            out += "'" + why.substr(open + 1, close - open - 1) + "'";
        } else if (out.size() >= 6 && out.compare(out.size() - 6, 6, ", not ") == 0) {
            out.resize(out.size() - 6);
        } else {
            out += out.empty() ? "a key" : "of that name";
        }
        i = close + 1;
    }
    return out;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

double absoluteZero(TemperatureUnit unit) {
    return unit == TemperatureUnit::celsius ? -273.15 : -459.67;
}

// Why a temperature in the program's unit cannot be one; empty when it can.
std::string temperatureProblem(double v, TemperatureUnit unit, const std::string& what) {
    if (v >= absoluteZero(unit) && v <= kHighestTemperature) return "";
    return what + " " + numberText(v) + " lies outside " + numberText(absoluteZero(unit)) + " to " +
           numberText(kHighestTemperature) + unitSign(unit);
}

// A temperature in the program's unit; empty when it is one, else why not.
std::string temperature(std::string_view token, TemperatureUnit unit, const char* what,
                        double* out) {
    const auto v = parseReal(token);
    if (!v) return std::string(what) + " takes a temperature, such as 1000, not " + quoted(token);
    if (std::string why = temperatureProblem(*v, unit, what); !why.empty()) return why;
    *out = *v;
    return "";
}

// "H:MM": hours, then exactly two digits of minutes below 60.
std::optional<double> holdTime(std::string_view token) {
    const auto colon = token.find(':');
    if (colon == std::string_view::npos || colon == 0 || token.size() - colon != 3)
        return std::nullopt;
    const std::string_view h = token.substr(0, colon), m = token.substr(colon + 1);
    for (const char c : token.substr(0, colon))
        if (c < '0' || c > '9') return std::nullopt;
    if (m[0] < '0' || m[0] > '5' || m[1] < '0' || m[1] > '9') return std::nullopt;
    const auto hours = parseWhole(h);
    if (!hours || *hours > kMaxHoldHours) return std::nullopt;
    return double(*hours) * 3600 + ((m[0] - '0') * 10 + (m[1] - '0')) * 60;
}

} // namespace

std::optional<double> parseHoldTime(std::string_view text) {
    return holdTime(text);
}

std::optional<double> parseHoldChange(std::string_view text) {
    const bool shorter = !text.empty() && text.front() == '-';
    if (!text.empty() && (shorter || text.front() == '+')) text.remove_prefix(1);
    const auto t = holdTime(text);
    if (!t) return std::nullopt;
    return shorter ? -*t : *t;
}

bool parseRateText(std::string_view text, std::optional<double>* rate) {
    if (lower(text) == "full") {
        rate->reset();
        return true;
    }
    const auto r = parseReal(text);
    if (!r) return false;
    *rate = *r;
    return true;
}

double longestHold() {
    return double(kMaxHoldHours) * 3600 + 59 * 60;
}

namespace {

struct Reader {
    FiringProgram p;
    bool haveUnit = false;
    std::set<std::string> keys;
    // Values whose check needs the unit, which may stand below them.
    std::string_view startText, holdbackText, endText, maxTempText;
    int holdbackLine = 0;
    // Its segments are checked once they are all read.
    int repeatLine = 0;

    std::string key(std::string_view key, std::string_view value, int line) {
        const std::string k = lower(key);
        if (!keys.insert(k).second) return quoted(key) + " is set twice";
        if (value.empty()) return quoted(key) + " has no value";
        if (k == "name") {
            if (value.empty() || value.size() > kMaxNameLength)
                return "name takes 1 to 64 characters";
            p.name = std::string(value);
        } else if (k == "unit") {
            const std::string u = lower(value);
            if (u != "c" && u != "f") return "unit takes C or F, not " + quoted(value);
            p.unit = u == "c" ? TemperatureUnit::celsius : TemperatureUnit::fahrenheit;
            haveUnit = true;
        } else if (k == "start") {
            startText = value;
            p.startLine = line;
        } else if (k == "holdback") {
            holdbackText = value;
            holdbackLine = line;
        } else if (k == "end") {
            endText = value;
            p.endLine = line;
        } else if (k == "max_holdback") {
            const auto words = splitTokens(value);
            const auto time = holdTime(words[0]);
            const std::string then = words.size() == 2 ? lower(words[1]) : "end";
            if (words.size() > 2 || !time || *time <= 0 || (then != "end" && then != "hold"))
                return "max_holdback takes H:MM (more than 0:00), then end or hold, such as "
                       "0:30 or 1:00 hold, not " +
                       quoted(value);
            p.maxHoldback = *time;
            p.maxHoldbackHolds = then == "hold";
        } else if (k == "max_temp") {
            maxTempText = value;
            p.maxTempLine = line;
        } else if (k == "min_write") {
            const auto s = parseReal(value);
            if (!s || *s < kMinWrite || *s > kMaxMinWrite)
                return "min_write takes seconds from 1 to 3600, not " + quoted(value);
            p.minWrite = *s;
        } else if (k == "power") {
            const auto kw = parseReal(value);
            if (!kw || *kw <= 0 || *kw > kMaxPower)
                return "power takes the kW of each zone's elements, more than 0 and up to "
                       "10000, not " +
                       quoted(value);
            p.power = *kw;
        } else if (k == "price") {
            const auto per = parseReal(value);
            if (!per || *per < 0 || *per > kMaxPrice)
                return "price takes the price of a kWh, from 0 to 1000, not " + quoted(value);
            p.price = *per;
        } else if (k == "repeat") {
            if (auto why = repeat(value); !why.empty()) return why;
            repeatLine = line;
        } else {
            return "[program] has no key " + quoted(key) +
                   " (name, unit, start, holdback, end, max_holdback, max_temp, min_write, power, "
                   "price, repeat)";
        }
        return "";
    }

    // "FROM-TO x N", blanks anywhere.
    std::string repeat(std::string_view value) {
        std::string v;
        for (const char c : value)
            if (c != ' ' && c != '\t') v += c == 'X' ? 'x' : c;
        const auto x = v.find('x'), dash = v.find('-');
        std::optional<long long> from, to, times;
        if (x != std::string::npos && dash != std::string::npos && dash < x) {
            from = parseWhole(std::string_view(v).substr(0, dash));
            to = parseWhole(std::string_view(v).substr(dash + 1, x - dash - 1));
            times = parseWhole(std::string_view(v).substr(x + 1));
        }
        if (!from || !to || !times || v[0] == '+' || v[dash + 1] == '+' || v[dash + 1] == '-' ||
            v[x + 1] == '+' || v[x + 1] == '-')
            return "repeat takes FROM-TO x N (segments FROM to TO run N times), such as 2-3 x 3, "
                   "not " +
                   quoted(value);
        if (*times < 1 || *times > kMaxRepeats)
            return "repeat runs its segments 1 to 1000 times, not " + formatWhole(*times);
        if (*from > *to)
            return "repeat runs segments " + formatWhole(*from) + " to " + formatWhole(*to) +
                   ": FROM is the first of them, such as " + formatWhole(*to) + "-" +
                   formatWhole(*from);
        // Ranges past any program are told with the segments' count, below.
        p.repeat = ProgramRepeat{int(std::clamp(*from, 0LL, 1000000LL)) - 1,
                                 int(std::clamp(*to, 0LL, 1000000LL)) - 1, int(*times)};
        return "";
    }

    std::optional<Error> repeatSegments() {
        if (!p.repeat) return std::nullopt;
        const int n = int(p.segments.size());
        for (const int s : {p.repeat->from, p.repeat->to})
            if (s < 0 || s >= n)
                return Error{repeatLine, "repeat names segment " + formatWhole(s + 1) +
                                             ", but the program has " + formatWhole(n) +
                                             (n == 1 ? " segment" : " segments")};
        return std::nullopt;
    }

    // The keys whose values are temperatures, once the unit is known.
    std::optional<Error> unitValues() {
        if (!startText.empty() && lower(startText) != "pv") {
            double v = 0;
            if (auto why = temperature(startText, p.unit, "start", &v); !why.empty())
                return Error{p.startLine, why + " (or pv: from where the kiln is)"};
            p.start = v;
        }
        if (!holdbackText.empty()) {
            const auto v = parseReal(holdbackText);
            if (!v || *v < 0 || *v > kMaxHoldback)
                return Error{holdbackLine, "holdback takes degrees from 0 (off) to 1000, not " +
                                               quoted(holdbackText)};
            p.holdback = *v;
        }
        if (!maxTempText.empty()) {
            double v = 0;
            if (auto why = temperature(maxTempText, p.unit, "max_temp", &v); !why.empty())
                return Error{p.maxTempLine, why};
            p.maxTemp = v;
        }
        if (!endText.empty()) {
            const auto words = splitTokens(endText);
            const std::string what = lower(words[0]);
            if (words.size() == 1 && what == "off") {
                p.end = EndAction::off;
            } else if (words.size() == 1 && what == "hold") {
                p.end = EndAction::hold;
            } else if (words.size() == 2 && what == "sv") {
                p.end = EndAction::sv;
                if (auto why = temperature(words[1], p.unit, "end sv", &p.endSv); !why.empty())
                    return Error{p.endLine, why};
            } else {
                return Error{p.endLine,
                             "end takes off, hold or sv TEMPERATURE, not " + quoted(endText)};
            }
        }
        return std::nullopt;
    }

    std::string segment(std::string_view line, int lineNo) {
        if (int(p.segments.size()) == kMaxSegments) return "a program holds up to 64 segments";
        const auto words = splitTokens(line);
        if (words.size() != 3)
            return "a segment is three fields, rate per hour (or full), target and hold H:MM";
        ProgramSegment s;
        s.line = lineNo;
        if (lower(words[0]) != "full") {
            const auto r = parseReal(words[0]);
            if (!r || *r == 0 || std::fabs(*r) > kMaxRate)
                return "the rate takes degrees per hour (-99999 to 99999, not 0; negative "
                       "cools) or full, not " +
                       quoted(words[0]);
            // Whatever the kiln's temperature as the segment begins (a run
            // that starts or resumes from PV), so slow a rate never ends.
            if (std::fabs(*r) * kLongestRampHours < 1)
                return "the rate is so slow that a ramp of one degree would take longer than any "
                       "firing (30 days)";
            s.rate = *r;
        }
        // Its range is checked once the whole file, the unit with it, is read.
        const auto t = parseReal(words[1]);
        if (!t) return "the target takes a temperature, such as 1000, not " + quoted(words[1]);
        s.target = *t;
        const auto hold = holdTime(words[2]);
        if (!hold) return "the hold takes H:MM, such as 0:30 or 12:00, not " + quoted(words[2]);
        s.holdSeconds = *hold;
        p.segments.push_back(s);
        return "";
    }

    std::optional<Error> segmentValues() {
        std::optional<double> before = p.start;
        // In the order a run goes: a repeat's first segment follows its last
        // one again, which the second cycle shows (the later ones are the same).
        FiringProgram twice = p;
        if (twice.repeat) twice.repeat->times = std::min(twice.repeat->times, 2);
        for (const ProgramStep& step : runOrder(twice)) {
            const ProgramSegment& s = p.segments[std::size_t(step.segment)];
            const std::string again = step.cycle == 2 && step.segment == p.repeat->from
                                          ? " (as the repeat runs it again after segment " +
                                                formatWhole(p.repeat->to + 1) + ")"
                                          : "";
            if (auto why = temperatureProblem(s.target, p.unit, "the target"); !why.empty())
                return Error{s.line, why};
            // Its PV would end the run as it got there.
            if (p.maxTemp && s.target > *p.maxTemp)
                return Error{s.line, "the target " + numberText(s.target) + " is above max_temp " +
                                         numberText(*p.maxTemp)};
            // A rate says which way the kiln goes: a climb to a lower
            // target would be read as a cool at that rate, or the other way.
            if (before && s.rate && *s.rate > 0 && s.target < *before)
                return Error{s.line, "the rate " + numberText(*s.rate) + " climbs, but " +
                                         numberText(s.target) + " is below the " +
                                         numberText(*before) +
                                         " before it: a cool takes a negative rate" + again};
            if (before && s.rate && *s.rate < 0 && s.target > *before)
                return Error{s.line, "the rate " + numberText(*s.rate) + " cools, but " +
                                         numberText(s.target) + " is above the " +
                                         numberText(*before) + " before it" + again};
            // A program that starts from PV is timed from a room's
            // temperature, as its listing is.
            const double from = before.value_or(roomTemperature(p.unit));
            if (s.rate && std::fabs(s.target - from) / std::fabs(*s.rate) > kLongestRampHours)
                return Error{
                    s.line,
                    "at " + numberText(*s.rate) + unitSign(p.unit) + "/h the ramp from " +
                        numberText(from) + " to " + numberText(s.target) + " would take " +
                        hoursMinutes(std::fabs(s.target - from) / std::fabs(*s.rate) * 3600) +
                        ", longer than any firing (30 days)" + again};
            before = s.target;
        }
        return std::nullopt;
    }
};

} // namespace

namespace {

// The program, or the error with the file's words marked.
std::variant<FiringProgram, ProgramError> parseMarked(std::string_view text) {
    Reader r;
    enum class Section { none, program, segments } in = Section::none;
    bool seenProgram = false, seenSegments = false;
    int programLine = 0;
    LineReader lines(text);
    while (const auto read = lines.next()) {
        const int lineNo = read->number;
        const std::string_view line = read->text;
        if (read->kind == TextLine::Kind::section) {
            const std::string head = lower(read->head);
            bool& seen = head == "program" ? seenProgram : seenSegments;
            if (head != "program" && head != "segments")
                return Error{lineNo, "sections are [program] and [segments]"};
            if (seen) return Error{lineNo, "a second [" + head + "] section"};
            seen = true;
            in = head == "program" ? Section::program : Section::segments;
            if (in == Section::program) programLine = lineNo;
            continue;
        }
        if (in == Section::none) return Error{lineNo, "this stands before the [program] section"};
        const std::string why = in == Section::segments ? r.segment(line, lineNo) : [&] {
            if (read->kind != TextLine::Kind::entry)
                return std::string("expected 'key = value' or a [section]");
            return r.key(read->key, read->value, lineNo);
        }();
        if (!why.empty()) return Error{lineNo, why};
    }
    if (!lines.problem().empty()) return Error{lines.problemLine(), lines.problem()};
    if (!seenProgram) return Error{0, "there is no [program] section"};
    if (r.p.name.empty()) return Error{programLine, "[program] names no name"};
    if (!r.haveUnit) return Error{programLine, "[program] names no unit (C or F)"};
    if (auto e = r.unitValues()) return *e;
    if (r.p.segments.empty()) return Error{0, "there are no segments under [segments]"};
    if (auto e = r.repeatSegments()) return *e;
    if (auto e = r.segmentValues()) return *e;
    return r.p;
}

} // namespace

std::variant<FiringProgram, ProgramError> parseFiringProgram(std::string_view text) {
    auto parsed = parseMarked(text);
    if (auto* e = std::get_if<ProgramError>(&parsed)) {
        e->withoutText = unmarked(e->why, false);
        e->why = unmarked(e->why, true);
    }
    return parsed;
}

std::variant<FiringProgram, std::string>
loadFiringProgram(const std::string& path, std::string* text, std::string* withoutText) {
    std::string content;
    if (!readSmallFile(path, &content)) {
        const std::string why = notARegularFile(path);
        const std::string error =
            path + ": cannot be read: " +
            (why.empty() ? std::string("it does not exist, cannot be opened, or is larger "
                                       "than 64 KiB")
                         : why);
        if (withoutText) *withoutText = error;
        return error;
    }
    if (text) *text = content;
    auto parsed = parseFiringProgram(content);
    if (auto* e = std::get_if<ProgramError>(&parsed)) {
        const std::string where =
            path + ": " + (e->line ? "line " + formatWhole(e->line) + ": " : std::string());
        if (withoutText) *withoutText = where + e->withoutText;
        return where + e->why;
    }
    return std::get<FiringProgram>(std::move(parsed));
}

std::string formatFiringProgram(const FiringProgram& p) {
    std::string t = "[program]\n";
    t += "name = " + p.name + "\n";
    t += std::string("unit = ") + unitLetter(p.unit) + "\n";
    t += "start = " + (p.start ? numberText(*p.start) : std::string("pv")) + "\n";
    t += "holdback = " + numberText(p.holdback) + "\n";
    if (p.end == EndAction::sv)
        t += "end = sv " + numberText(p.endSv) + "\n";
    else
        t += std::string("end = ") + (p.end == EndAction::off ? "off" : "hold") + "\n";
    if (p.maxHoldback)
        t += "max_holdback = " + hoursMinutes(*p.maxHoldback) +
             (p.maxHoldbackHolds ? " hold" : "") + "\n";
    if (p.maxTemp) t += "max_temp = " + numberText(*p.maxTemp) + "\n";
    if (p.minWrite) t += "min_write = " + numberText(*p.minWrite) + "\n";
    if (p.power) t += "power = " + numberText(*p.power) + "\n";
    if (p.price) t += "price = " + numberText(*p.price) + "\n";
    if (p.repeat)
        t += "repeat = " + formatWhole(p.repeat->from + 1) + "-" + formatWhole(p.repeat->to + 1) +
             " x " + formatWhole(p.repeat->times) + "\n";
    t += "[segments]\n# rate per hour (or full), target, hold H:MM\n";
    for (const ProgramSegment& s : p.segments)
        t += (s.rate ? numberText(*s.rate) : std::string("full")) + " " + numberText(s.target) +
             " " + hoursMinutes(s.holdSeconds) + "\n";
    return t;
}

bool saveFiringProgram(const std::string& path, const FiringProgram& program, std::string* why) {
    const std::string text = formatFiringProgram(program);
    // Only what reads back as it stands is saved: a name or a value the
    // reader would refuse or take otherwise never reaches the library.
    const auto back = parseFiringProgram(text);
    if (const auto* e = std::get_if<ProgramError>(&back)) {
        if (why) *why = path + " is not saved: " + e->why;
        return false;
    }
    if (formatFiringProgram(std::get<FiringProgram>(back)) != text) {
        if (why) *why = path + " is not saved: its name would not read back as it is";
        return false;
    }
    return writeFileAtomically(path, text, why);
}

const char* unitLetter(TemperatureUnit unit) {
    return unit == TemperatureUnit::celsius ? "C" : "F";
}

const char* unitSign(TemperatureUnit unit) {
    return unit == TemperatureUnit::celsius ? " \xC2\xB0"
                                              "C"
                                            : " \xC2\xB0"
                                              "F";
}

std::string numberText(double value) {
    char buf[400];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    return ec == std::errc() ? std::string(buf, end) : std::string("nan");
}

std::string segmentText(const FiringProgram& program, int index) {
    const int n = int(program.segments.size());
    if (index < 0 || index >= n) return "no segment";
    const ProgramSegment& s = program.segments[std::size_t(index)];
    const std::string sign = unitSign(program.unit);
    return "segment " + formatWhole(index + 1) + " of " + formatWhole(n) + ": " +
           (s.rate ? numberText(*s.rate) + sign + "/h" : std::string("full")) + " to " +
           numberText(s.target) + sign + ", hold " + hoursMinutes(s.holdSeconds);
}

std::string hoursMinutes(double seconds) {
    const auto rounded = roundedCount(seconds / 60);
    if (!rounded) return "-";
    const long long minutes = *rounded < 0 ? -*rounded : *rounded;
    const std::string mm = formatWhole(minutes % 60);
    return (*rounded < 0 ? "-" : "") + formatWhole(minutes / 60) + ":" +
           (mm.size() < 2 ? "0" : "") + mm;
}
