// calibration: the calibration book beside the run store (runs/
// calibration_book.h). list and show read it; add and correct put a new
// entry at its end, the entries before it left as they stand. A book that
// does not read is refused and left for a person to put right; no
// controller is asked anything.
#include "base/atomic_file.h"
#include "base/number_text.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/runs_text.h"
#include "runs/calibration_book.h"
#include "runs/run_device.h"

#include <cstdio>
#include <ctime>

namespace {

const char* kName = "calibration";

std::optional<CalibrationBook> readBook(int* status, std::string* text = nullptr) {
    const std::string path = calibrationBookPath();
    auto read = loadCalibrationBook(path);
    if (auto* why = std::get_if<std::string>(&read)) {
        *status = fail(exitstatus::usage, *why + "; it is left as it is for a person to put right");
        return std::nullopt;
    }
    if (text) {
        std::string why;
        text->clear();
        // No file yet is a book with no entries.
        if (!readSmallFile(path, text, 1 << 20, &why) &&
            !std::get<CalibrationBook>(read).entries.empty()) {
            *status = fail(exitstatus::usage, path + ": " + why);
            return std::nullopt;
        }
    }
    return std::move(std::get<CalibrationBook>(read));
}

long today() {
    return localDay(double(std::time(nullptr)));
}

// "in force", "in force, past due", "corrected by entry 4", "replaced by entry 5".
std::string standing(const CalibrationBook& book, const CalibrationEntry& e) {
    if (const CalibrationEntry* by = book.correctionOf(e.number))
        return "corrected by entry " + std::to_string(by->number);
    const CalibrationEntry* now =
        e.channel.empty() ? book.inForce(e.device, e.id) : book.inForceForChannel(e.channel);
    if (now == &e) return e.due < today() ? "in force, past due" : "in force";
    return now ? "replaced by entry " + std::to_string(now->number) : "-";
}

int listBook() {
    int status = exitstatus::ok;
    const auto book = readBook(&status);
    if (!book) return status;
    if (book->entries.empty()) {
        std::fprintf(stderr, "q7: no calibration is on record in %s\n",
                     calibrationBookPath().c_str());
        return exitstatus::ok;
    }
    std::vector<std::vector<std::string>> rows{
        {"entry", "calibrated", "sensor", "date", "due", "certificate", "standing"}};
    for (const CalibrationEntry& e : book->entries)
        rows.push_back({std::to_string(e.number), calibratedWhat(e), e.sensor,
                        calibrationDayText(e.date), calibrationDayText(e.due), e.certificate,
                        standing(*book, e)});
    printColumns(rows);
    return exitstatus::ok;
}

std::optional<int> entryNumber(const std::string& word) {
    const auto n = parseWhole(word);
    if (!n || *n < 1 || *n > 1000000) return std::nullopt;
    return int(*n);
}

int showEntry(const std::string& word) {
    const auto n = entryNumber(word);
    if (!n) return usageError(kName, "show takes an entry's number, not '" + word + "'");
    int status = exitstatus::ok;
    const auto book = readBook(&status);
    if (!book) return status;
    const CalibrationEntry* e = book->entry(*n);
    if (!e)
        return fail(exitstatus::usage, "no entry " + word + " in " + calibrationBookPath() +
                                           " (it holds " + std::to_string(book->entries.size()) +
                                           ")");
    std::printf("entry %d: %s\n", e->number, calibratedWhat(*e).c_str());
    std::printf("  sensor       %s\n", e->sensor.c_str());
    std::printf("  date         %s\n", calibrationDayText(e->date).c_str());
    std::printf("  by           %s\n", e->by.c_str());
    std::printf("  method       %s\n", e->method.c_str());
    std::printf("  certificate  %s\n", e->certificate.c_str());
    std::printf("  due          %s\n", calibrationDayText(e->due).c_str());
    std::printf("  points (\xC2\xB0%c)   reference, as found, as left, correction\n", e->unit);
    for (const CalibrationPoint& p : e->points)
        std::printf("    %s, %s, %s, %s\n", numberText(p.reference).c_str(),
                    numberText(p.found).c_str(), numberText(p.left).c_str(),
                    numberText(p.correction).c_str());
    if (e->corrects) std::printf("  corrects     entry %d: %s\n", *e->corrects, e->why.c_str());
    std::printf("  standing     %s\n", standing(*book, *e).c_str());
    return exitstatus::ok;
}

// The entry the options give, over base (a correction's: the entry it
// corrects). Why not, else empty.
std::string fromOptions(const CommandArgs& args, const std::vector<std::string>& points,
                        CalibrationEntry& e) {
    const auto text = [&](const char* option, std::string& into) -> std::string {
        const auto v = args.value(option);
        if (!v) return "";
        const std::string key = std::string(option).substr(2);
        if (std::string why = calibrationValueRefusal(key, *v); !why.empty()) return why;
        into = *v;
        return "";
    };
    if (args.value("--device") && args.value("--channel"))
        return "--device and --channel do not go together";
    if (const auto d = args.value("--device")) {
        if (std::string why = calibrationValueRefusal("device", *d); !why.empty()) return why;
        // As the run store names the zone: the stable path, or the endpoint.
        e.device = runDevice(*d);
        e.channel.clear();
    }
    if (const auto id = args.value("--id")) {
        const auto n = parseWhole(*id);
        if (!n || *n < 1 || *n > 247) return "--id takes a controller id from 1 to 247";
        e.id = int(*n);
    }
    if (args.value("--channel")) {
        if (std::string why = text("--channel", e.channel); !why.empty()) return why;
        e.device.clear();
        e.id = 0;
    }
    for (const char* o : {"--sensor", "--by", "--method", "--certificate", "--why"}) {
        std::string* into = std::string(o) == "--sensor" ? &e.sensor
                            : std::string(o) == "--by"   ? &e.by
                            : std::string(o) == "--method"
                                ? &e.method
                                : (std::string(o) == "--certificate" ? &e.certificate : &e.why);
        if (std::string why = text(o, *into); !why.empty()) return why;
    }
    for (const char* o : {"--date", "--due"}) {
        const auto v = args.value(o);
        if (!v) continue;
        const auto day = calibrationDay(*v);
        if (!day) return std::string(o) + " takes a date as YYYY-MM-DD, not '" + *v + "'";
        (std::string(o) == "--date" ? e.date : e.due) = *day;
    }
    if (const auto u = args.value("--unit")) {
        if (*u != "C" && *u != "F") return "--unit takes C or F, not '" + *u + "'";
        e.unit = (*u)[0];
    }
    if (!points.empty()) e.points.clear();
    for (const std::string& p : points) {
        CalibrationPoint point;
        if (std::string why = parseCalibrationPoint(p, point); !why.empty())
            return "--point '" + p + "': " + why;
        e.points.push_back(point);
    }
    return "";
}

// Puts the entry at the end of the book, checked with the book as a whole.
int addEntry(const std::string& before, const CalibrationEntry& e) {
    const std::string path = calibrationBookPath();
    std::string text = before;
    if (text.empty())
        text = "# The calibration book: one entry per calibration, never rewritten.\n"
               "# A correction is a new entry: corrects = N and why = ...\n";
    else if (text.back() != '\n')
        text += '\n';
    text += "\n" + calibrationEntryText(e);
    const auto checked = parseCalibrationBook(text, path);
    if (const auto* why = std::get_if<std::string>(&checked))
        return fail(exitstatus::usage,
                    "entry " + std::to_string(e.number) + " is not added: " + *why);
    std::string why;
    if (!writeFileAtomically(path, text, &why))
        return fail(exitstatus::usage, path + " is not changed: " + why);
    std::printf("entry %d added to %s%s\n", e.number, path.c_str(),
                e.corrects ? (", correcting entry " + std::to_string(*e.corrects)).c_str() : "");
    return exitstatus::ok;
}

int addOrCorrect(const Words& words, bool correct) {
    // --point is given once for each point.
    std::vector<std::string> points;
    Words rest;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "--point" && i + 1 < words.size()) {
            points.push_back(words[++i]);
        } else if (words[i].rfind("--point=", 0) == 0) {
            points.push_back(words[i].substr(8));
        } else {
            rest.push_back(words[i]);
        }
    }
    const CommandArgs args =
        parseCommandArgs(rest, {},
                         {"--device", "--id", "--channel", "--sensor", "--date", "--unit", "--by",
                          "--method", "--certificate", "--due", "--why"});
    if (!args.error.empty()) return usageError(kName, args.error);
    const std::string what = correct ? "correct" : "add";
    if (args.positional.size() != (correct ? 1u : 0u))
        return usageError(kName, correct ? "correct takes the number of the entry it corrects"
                                         : "add takes options only, not '" +
                                               args.positional.front() + "'");
    int status = exitstatus::ok;
    std::string before;
    const auto book = readBook(&status, &before);
    if (!book) return status;
    CalibrationEntry e;
    if (correct) {
        const auto n = entryNumber(args.positional[0]);
        const CalibrationEntry* old = n ? book->entry(*n) : nullptr;
        if (!old)
            return fail(exitstatus::usage, "no entry " + args.positional[0] + " in " +
                                               calibrationBookPath() + " to correct");
        if (!args.value("--why")) return usageError(kName, "correct needs --why: what was wrong");
        e = *old;
        e.corrects = *n;
    } else {
        if (args.value("--why")) return usageError(kName, "--why goes with correct");
        e.date = today();
        const bool channel = args.value("--channel").has_value();
        for (const char* o : {"--sensor", "--unit", "--by", "--method", "--certificate", "--due"})
            if (!args.value(o)) return usageError(kName, "add needs " + std::string(o));
        if (!channel && (!args.value("--device") || !args.value("--id")))
            return usageError(kName, "add needs --device and --id, or --channel");
        if (points.empty()) return usageError(kName, "add needs a --point");
    }
    if (std::string why = fromOptions(args, points, e); !why.empty())
        return usageError(kName, what + ": " + why);
    e.number = int(book->entries.size()) + 1;
    return addEntry(before, e);
}

} // namespace

int calibrationCommand(const HeadlessOptions&, const Words& words) {
    const std::string sub = words.empty() ? "list" : words[0];
    if (sub == "list") {
        if (words.size() > 1) return usageError(kName, "list takes nothing more");
        return listBook();
    }
    if (sub == "show") {
        if (words.size() != 2) return usageError(kName, "show takes an entry's number");
        return showEntry(words[1]);
    }
    if (sub == "add") return addOrCorrect(words, false);
    if (sub == "correct") return addOrCorrect(words, true);
    return usageError(kName, "calibration takes list, show N, add or correct N, not '" + sub + "'");
}
