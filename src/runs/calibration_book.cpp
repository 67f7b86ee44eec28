#include "runs/calibration_book.h"

#include "base/atomic_file.h"
#include "base/line_reader.h"
#include "base/number_text.h"
#include "runs/program_file.h"
#include "runs/run_device.h"
#include "runs/run_store.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <set>
#include <sys/stat.h>

namespace {

constexpr std::size_t kTextLimit = 200;

// Days from the civil date (proleptic Gregorian), after H. Hinnant.
long daysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + long(doe) - 719468;
}

bool isText(const std::string& key) {
    return key == "sensor" || key == "by" || key == "method" || key == "certificate" ||
           key == "why" || key == "device" || key == "channel";
}

} // namespace

std::string calibrationBookPath() {
    const std::string& store = runStorePath();
    const auto slash = store.rfind('/');
    if (slash == std::string::npos) return kCalibrationBookFile;
    return store.substr(0, slash + 1) + kCalibrationBookFile;
}

std::optional<long> calibrationDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    const auto num = [&](std::size_t at, std::size_t n) {
        long v = 0;
        for (std::size_t i = at; i < at + n; ++i)
            v = v * 10 + (text[i] - '0');
        return v;
    };
    const long y = num(0, 4), m = num(5, 2), d = num(8, 2);
    if (y < 1970 || m < 1 || m > 12 || d < 1) return std::nullopt;
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > lengths[m - 1] + (m == 2 && leap)) return std::nullopt;
    return daysFromCivil(y, unsigned(m), unsigned(d));
}

std::string calibrationDayText(long day) {
    const std::time_t t = std::time_t(day) * 86400;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

long localDay(double wall) {
    const std::time_t t = std::time_t(wall);
    std::tm tm{};
    localtime_r(&t, &tm);
    return daysFromCivil(tm.tm_year + 1900L, unsigned(tm.tm_mon + 1), unsigned(tm.tm_mday));
}

std::string parseCalibrationPoint(std::string_view text, CalibrationPoint& p) {
    const std::vector<std::string_view> w = splitTokens(text);
    const char* form = "a point is REFERENCE found VALUE left VALUE correction VALUE";
    if (w.size() != 7 || w[1] != "found" || w[3] != "left" || w[5] != "correction") return form;
    double* into[] = {&p.reference, &p.found, &p.left, &p.correction};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto v = parseReal(w[i * 2]);
        if (!v) return "'" + std::string(w[i * 2]) + "' is no number; " + form;
        *into[i] = *v;
    }
    return "";
}

std::string calibrationPointText(const CalibrationPoint& p) {
    return numberText(p.reference) + " found " + numberText(p.found) + " left " +
           numberText(p.left) + " correction " + numberText(p.correction);
}

std::string calibratedWhat(const CalibrationEntry& e) {
    return e.channel.empty() ? e.device + " id " + std::to_string(e.id) : "channel " + e.channel;
}

std::string calibrationValueRefusal(const std::string& key, std::string_view value) {
    if (trimmed(value).empty()) return key + " needs a value";
    if (trimmed(value) != value) return key + " may not begin or end with a blank";
    if (value.size() > kTextLimit)
        return key + " is longer than " + std::to_string(kTextLimit) + " characters";
    for (std::size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (c < 0x20 || c == 0x7F) return key + " holds a control character";
        // A '#' after a blank starts a comment in the file.
        if (c == '#' && (i == 0 || value[i - 1] == ' ' || value[i - 1] == '\t'))
            return key + " may hold a '#' only inside a word";
    }
    return "";
}

std::string calibrationEntryText(const CalibrationEntry& e) {
    std::string t = "[entry " + std::to_string(e.number) + "]\n";
    if (e.channel.empty()) {
        t += "device = " + e.device + "\nid = " + std::to_string(e.id) + "\n";
    } else {
        t += "channel = " + e.channel + "\n";
    }
    t += "sensor = " + e.sensor + "\ndate = " + calibrationDayText(e.date) +
         "\nunit = " + std::string(1, e.unit) + "\n";
    for (const CalibrationPoint& p : e.points)
        t += "point = " + calibrationPointText(p) + "\n";
    t += "by = " + e.by + "\nmethod = " + e.method + "\ncertificate = " + e.certificate +
         "\ndue = " + calibrationDayText(e.due) + "\n";
    if (e.corrects) t += "corrects = " + std::to_string(*e.corrects) + "\nwhy = " + e.why + "\n";
    return t;
}

const CalibrationEntry* CalibrationBook::entry(int n) const {
    if (n < 1 || std::size_t(n) > entries.size()) return nullptr;
    return &entries[std::size_t(n - 1)];
}

const CalibrationEntry* CalibrationBook::correctionOf(int n) const {
    for (const CalibrationEntry& e : entries)
        if (e.corrects == n) return &e;
    return nullptr;
}

namespace {

template <typename Match> const CalibrationEntry* newest(const CalibrationBook& book, Match match) {
    const CalibrationEntry* best = nullptr;
    for (const CalibrationEntry& e : book.entries) {
        if (!match(e) || book.correctionOf(e.number)) continue;
        if (!best || e.date >= best->date) best = &e;
    }
    return best;
}

} // namespace

const CalibrationEntry* CalibrationBook::inForce(const std::string& device, int id) const {
    return newest(*this, [&](const CalibrationEntry& e) {
        return e.channel.empty() && e.id == id && sameRunDevice(e.device, device);
    });
}

const CalibrationEntry* CalibrationBook::inForceForChannel(const std::string& channel) const {
    return newest(*this, [&](const CalibrationEntry& e) { return e.channel == channel; });
}

std::variant<CalibrationBook, std::string> parseCalibrationBook(std::string_view text,
                                                                const std::string& fileName) {
    CalibrationBook book;
    std::set<std::string> keys; // of the entry being read
    const auto refuse = [&](int line, const std::string& why) {
        return fileName + " line " + std::to_string(line) + ": " + why;
    };
    // An entry is whole once its section ends.
    const auto finish = [&]() -> std::string {
        if (book.entries.empty()) return "";
        const CalibrationEntry& e = book.entries.back();
        const std::string name = "entry " + std::to_string(e.number);
        const bool channel = keys.count("channel") != 0;
        if (channel && (keys.count("device") || keys.count("id")))
            return refuse(e.line, name + " names a channel and a device: it is one or the other");
        if (!channel && (!keys.count("device") || !keys.count("id")))
            return refuse(e.line, name + " needs a device and an id, or a channel");
        for (const char* k : {"sensor", "date", "unit", "by", "method", "certificate", "due"})
            if (!keys.count(k)) return refuse(e.line, name + " has no '" + k + "'");
        if (e.points.empty()) return refuse(e.line, name + " has no 'point'");
        if (e.due < e.date) return refuse(e.line, name + " is due before it was done");
        if (keys.count("corrects") != keys.count("why"))
            return refuse(e.line, name + (e.corrects ? " corrects an entry without saying why"
                                                     : " gives a 'why' but corrects nothing"));
        return "";
    };
    LineReader lines(text);
    while (const auto read = lines.next()) {
        const int lineNo = read->number;
        if (read->kind == TextLine::Kind::section) {
            if (std::string why = finish(); !why.empty()) return why;
            const std::vector<std::string_view> w = splitTokens(read->head);
            const int next = int(book.entries.size()) + 1;
            const auto n = w.size() == 2 && w[0] == "entry" ? parseWhole(w[1]) : std::nullopt;
            if (!n) return refuse(lineNo, "a section is [entry N], not " + std::string(read->text));
            if (*n != next)
                return refuse(lineNo, "entry " + std::string(w[1]) + " where entry " +
                                          std::to_string(next) +
                                          " comes: entries are numbered in order");
            book.entries.push_back({});
            book.entries.back().number = next;
            book.entries.back().line = lineNo;
            keys.clear();
            continue;
        }
        if (read->kind != TextLine::Kind::entry)
            return refuse(lineNo, "'" + std::string(read->text) + "' is no key = value");
        const std::string key(read->key);
        const std::string_view value = read->value;
        if (book.entries.empty()) return refuse(lineNo, key + " comes before any [entry N]");
        CalibrationEntry& e = book.entries.back();
        static const std::set<std::string> known = {
            "device", "id",     "channel",     "sensor", "date",     "unit", "point",
            "by",     "method", "certificate", "due",    "corrects", "why"};
        if (!known.count(key))
            return refuse(lineNo, "unknown key '" + key +
                                      "' (an entry has device, id or channel, sensor, date, "
                                      "unit, point, by, method, certificate, due, corrects, why)");
        if (!keys.insert(key).second && key != "point")
            return refuse(lineNo, key + " is given twice");
        if (value.empty()) return refuse(lineNo, key + " needs a value");
        if (isText(key)) {
            if (std::string why = calibrationValueRefusal(key, value); !why.empty())
                return refuse(lineNo, why);
            std::string* into = key == "sensor"        ? &e.sensor
                                : key == "by"          ? &e.by
                                : key == "method"      ? &e.method
                                : key == "certificate" ? &e.certificate
                                : key == "why"         ? &e.why
                                : key == "device"      ? &e.device
                                                       : &e.channel;
            *into = std::string(value);
        } else if (key == "id") {
            const auto id = parseWhole(value);
            if (!id || *id < 1 || *id > 247)
                return refuse(lineNo, "id takes a controller id from 1 to 247");
            e.id = int(*id);
        } else if (key == "date" || key == "due") {
            const auto day = calibrationDay(value);
            if (!day) return refuse(lineNo, key + " takes a date as YYYY-MM-DD");
            (key == "date" ? e.date : e.due) = *day;
        } else if (key == "unit") {
            if (value != "C" && value != "F") return refuse(lineNo, "unit takes C or F");
            e.unit = value[0];
        } else if (key == "point") {
            CalibrationPoint p;
            if (std::string why = parseCalibrationPoint(value, p); !why.empty())
                return refuse(lineNo, why);
            for (const CalibrationPoint& q : e.points)
                if (q.reference == p.reference)
                    return refuse(lineNo,
                                  "the point at " + numberText(p.reference) + " is given twice");
            e.points.push_back(p);
        } else { // corrects
            const auto n = parseWhole(value);
            if (!n || *n < 1 || *n >= e.number)
                return refuse(lineNo, "corrects takes the number of an earlier entry");
            if (const CalibrationEntry* by = book.correctionOf(int(*n)))
                return refuse(lineNo, "entry " + formatWhole(*n) + " is corrected by entry " +
                                          std::to_string(by->number) + " already; correct that");
            e.corrects = int(*n);
        }
    }
    if (!lines.problem().empty()) return refuse(lines.problemLine(), lines.problem());
    if (std::string why = finish(); !why.empty()) return why;
    return book;
}

std::variant<CalibrationBook, std::string> loadCalibrationBook(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return CalibrationBook{};
    std::string text, why;
    if (!readSmallFile(path, &text, 1 << 20, &why)) return path + ": " + why;
    return parseCalibrationBook(text, path);
}
