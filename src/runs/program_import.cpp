#include "runs/program_import.h"

#include "base/json_text.h"
#include "base/number_text.h"
#include "runs/run_order.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <vector>

namespace {

// More points than 64 segments and their holds can use.
constexpr int kMaxPoints = 1000;

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// A rate to a thousandth of a degree an hour: over a day's ramp that moves
// its end by well under a second, and the file stays readable.
double tidyRate(double perHour) {
    return std::round(perHour * 1000) / 1000;
}

// The program as the file reader takes it, or what it refuses; `where`
// names the point or row behind each segment.
std::variant<FiringProgram, std::string> checked(const FiringProgram& p,
                                                 const std::vector<std::string>& where) {
    if (p.segments.empty()) return std::string("it holds no segment");
    if (p.segments.size() > std::size_t(kMaxSegments))
        return "it makes " + formatWhole(static_cast<long long>(p.segments.size())) +
               " segments; a program " + "holds at most " + formatWhole(kMaxSegments);
    const std::string text = formatFiringProgram(p);
    auto parsed = parseFiringProgram(text);
    if (auto* e = std::get_if<ProgramError>(&parsed)) {
        // The segments are the file's last lines, one each.
        int lines = 0;
        for (const char c : text)
            lines += c == '\n';
        const int index = e->line - (lines - int(p.segments.size())) - 1;
        if (index >= 0 && index < int(where.size()))
            return where[std::size_t(index)] + ": " + e->why;
        return e->why;
    }
    return std::get<FiringProgram>(std::move(parsed));
}

std::optional<TemperatureUnit> unitNamed(const std::string& cell) {
    const std::string c = lowered(cell);
    const bool f = c.find("\xc2\xb0"
                          "f") != std::string::npos ||
                   c.find("(f") != std::string::npos || c.find("f/h") != std::string::npos;
    const bool k = c.find("\xc2\xb0"
                          "c") != std::string::npos ||
                   c.find("(c") != std::string::npos || c.find("c/h") != std::string::npos;
    if (f == k) return std::nullopt;
    return f ? TemperatureUnit::fahrenheit : TemperatureUnit::celsius;
}

std::vector<std::string> cells(std::string_view row, char separator) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const auto at = row.find(separator, from);
        out.emplace_back(
            trimmed(row.substr(from, at == std::string_view::npos ? row.npos : at - from)));
        if (at == std::string_view::npos) return out;
        from = at + 1;
    }
}

} // namespace

std::variant<FiringProgram, std::string> importProfile(std::string_view json, TemperatureUnit unit,
                                                       const std::string& name) {
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(json.data(), qsizetype(json.size())), &error);
    if (doc.isNull())
        return "not JSON: " + error.errorString().toStdString() + " at byte " +
               formatWhole(static_cast<long long>(error.offset));
    if (!doc.isObject()) return std::string("not a profile: it is no JSON object");
    const QJsonObject o = doc.object();
    if (o.contains("type") && o.value("type").toString() != "profile")
        return std::string("not a profile: its \"type\" is not \"profile\"");
    if (!o.value("data").isArray()) return std::string("not a profile: it has no \"data\" array");
    const QJsonArray data = o.value("data").toArray();
    if (data.size() < 2) return std::string("a profile needs two points at least");
    if (data.size() > kMaxPoints)
        return "it holds " + formatWhole(static_cast<long long>(data.size())) +
               " points; at most " + formatWhole(kMaxPoints) + " are taken";
    std::vector<std::pair<double, double>> points;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const std::string where = "point " + formatWhole(static_cast<long long>(i + 1));
        const QJsonArray pt = data.at(i).toArray();
        if (!data.at(i).isArray() || pt.size() != 2 || !pt.at(0).isDouble() || !pt.at(1).isDouble())
            return where + ": a point is [seconds, temperature]";
        const double t = pt.at(0).toDouble(), v = pt.at(1).toDouble();
        if (!std::isfinite(t) || !std::isfinite(v) || t < 0)
            return where + ": its time is no count of seconds from the start";
        if (!points.empty() && t < points.back().first)
            return where + ": its time is before the point before it";
        points.emplace_back(t, v);
    }

    FiringProgram p;
    p.name = !name.empty() ? name : o.value("name").toString().toStdString();
    if (p.name.empty()) p.name = "imported";
    p.unit = unit;
    p.start = points.front().second;
    std::vector<std::string> where;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const auto [t0, v0] = points[i - 1];
        const auto [t1, v1] = points[i];
        const std::string at = "point " + formatWhole(static_cast<long long>(i + 1));
        if (v1 == v0) {
            // A level stretch: the hold of the segment that reached it.
            if (p.segments.empty()) {
                p.segments.push_back({std::nullopt, v0, 0, 0});
                where.push_back(at);
            }
            p.segments.back().holdSeconds += t1 - t0;
            continue;
        }
        ProgramSegment s;
        s.target = v1;
        if (t1 > t0) s.rate = tidyRate((v1 - v0) / (t1 - t0) * 3600);
        p.segments.push_back(s);
        where.push_back(at);
    }
    for (ProgramSegment& s : p.segments)
        s.holdSeconds = std::round(s.holdSeconds / 60) * 60;
    return checked(p, where);
}

std::variant<FiringProgram, std::string> importSegmentsCsv(std::string_view csv,
                                                           std::optional<TemperatureUnit> unit,
                                                           const std::string& name) {
    std::vector<std::string> rows;
    for (std::size_t from = 0; from < csv.size();) {
        const auto end = csv.find('\n', from);
        rows.push_back(std::string(csv.substr(from, end == csv.npos ? csv.npos : end - from)));
        from = end == csv.npos ? csv.size() : end + 1;
    }
    if (!rows.empty() && rows[0].rfind("\xef\xbb\xbf", 0) == 0) rows[0].erase(0, 3);
    std::size_t header = 0;
    while (header < rows.size() && trimmed(rows[header]).empty())
        ++header;
    if (header == rows.size()) return std::string("it is empty");
    const char separator =
        rows[header].find(',') == std::string::npos && rows[header].find(';') != std::string::npos
            ? ';'
            : ',';
    int rate = -1, target = -1, hold = -1;
    std::optional<TemperatureUnit> named;
    const std::vector<std::string> head = cells(rows[header], separator);
    for (std::size_t i = 0; i < head.size(); ++i) {
        const std::string cell = lowered(head[i]);
        const std::string word = cell.substr(0, cell.find_first_of(" (["));
        int* column = word == "rate"     ? &rate
                      : word == "target" ? &target
                      : word == "hold"   ? &hold
                                         : nullptr;
        if (!column) continue;
        if (*column >= 0) return "row 1: the column \"" + word + "\" is named twice";
        *column = int(i);
        if (const auto u = unitNamed(head[i])) {
            if (named && *named != *u) return std::string("row 1: the columns name two units");
            named = u;
        }
    }
    if (rate < 0 || target < 0 || hold < 0)
        return std::string("row 1: the header names the columns rate, target and hold");
    if (!named && !unit) return std::string("row 1: the header names no unit (°C or °F)");

    FiringProgram p;
    p.name = name.empty() ? "imported" : name;
    p.unit = named ? *named : *unit;
    std::string text = "[program]\nname = " + p.name + "\nunit = " + unitLetter(p.unit) +
                       "\nstart = pv\nholdback = 0\nend = off\n[segments]\n";
    std::vector<std::string> where;
    for (std::size_t r = header + 1; r < rows.size(); ++r) {
        if (trimmed(rows[r]).empty()) continue;
        const std::string at = "row " + formatWhole(static_cast<long long>(r + 1));
        std::vector<std::string> c = cells(rows[r], separator);
        // Where ';' parts the cells, ',' is the decimal point.
        if (separator == ';')
            for (std::string& v : c)
                for (char& ch : v)
                    if (ch == ',') ch = '.';
        const auto cell = [&](int i) { return std::size_t(i) < c.size() ? c[std::size_t(i)] : ""; };
        const std::string line = cell(rate) + " " + cell(target) + " " + cell(hold);
        if (line.find_first_of("#\r\n") != std::string::npos || cell(rate).empty() ||
            cell(target).empty() || cell(hold).empty())
            return at + ": it needs a rate, a target and a hold";
        text += line + "\n";
        where.push_back(at);
        if (where.size() > std::size_t(kMaxSegments))
            return at + ": a program holds at most " + formatWhole(kMaxSegments) + " segments";
    }
    auto parsed = parseFiringProgram(text);
    if (auto* e = std::get_if<ProgramError>(&parsed)) {
        int before = 0;
        for (const char ch : text.substr(0, text.find("[segments]\n")))
            before += ch == '\n';
        const int index = e->line - before - 2;
        if (index >= 0 && index < int(where.size()))
            return where[std::size_t(index)] + ": " + e->why;
        return e->why;
    }
    FiringProgram read = std::get<FiringProgram>(std::move(parsed));
    if (read.segments.empty()) return std::string("it holds no segment");
    return read;
}

std::string exportProfile(const FiringProgram& program, double from) {
    double t = 0, v = program.start.value_or(from);
    std::string data = "[[0," + numberText(v) + "]";
    const auto point = [&] {
        data += ",[" + numberText(std::round(t)) + "," + numberText(v) + "]";
    };
    // The points of a run: a repeat's segments as many times as it runs them.
    for (const ProgramStep& step : runOrder(program)) {
        const ProgramSegment& s = program.segments[std::size_t(step.segment)];
        if (s.rate && *s.rate != 0) t += std::fabs(s.target - v) / std::fabs(*s.rate) * 3600;
        v = s.target;
        point();
        if (s.holdSeconds > 0) {
            t += s.holdSeconds;
            point();
        }
    }
    return "{\"type\":\"profile\",\"name\":" + jsonString(program.name) + ",\"data\":" + data +
           "]}\n";
}

std::string exportSegmentsCsv(const FiringProgram& program) {
    const std::string sign(trimmed(unitSign(program.unit)));
    std::string out = "rate (" + sign + "/h),target (" + sign + "),hold (H:MM)\n";
    // A CSV has no repeat: its segments are written out as a run takes them.
    for (const ProgramStep& step : runOrder(program)) {
        const ProgramSegment& s = program.segments[std::size_t(step.segment)];
        out += (s.rate ? numberText(*s.rate) : std::string("full")) + "," + numberText(s.target) +
               "," + hoursMinutes(s.holdSeconds) + "\n";
    }
    return out;
}
