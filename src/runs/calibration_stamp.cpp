#include "runs/calibration_stamp.h"

#include "base/number_text.h"

namespace {

std::string signedNumber(double v) {
    return (v > 0 ? "+" : "") + numberText(v);
}

} // namespace

std::string calibrationSummary(const CalibrationEntry& e) {
    const std::string sign = e.unit == 'F' ? " \xC2\xB0"
                                             "F"
                                           : " \xC2\xB0"
                                             "C";
    std::string t = "entry " + std::to_string(e.number) + ": " + e.sensor + ", done " +
                    calibrationDayText(e.date) + " by " + e.by + " (" + e.method +
                    "), certificate " + e.certificate + ", due " + calibrationDayText(e.due) +
                    "; corrections at ";
    for (std::size_t i = 0; i < e.points.size(); ++i)
        t += (i ? ", " : "") + numberText(e.points[i].reference) + sign + " " +
             signedNumber(e.points[i].correction);
    return t;
}

CalibrationStamp calibrationStamp(const std::variant<CalibrationBook, std::string>& book,
                                  const std::vector<StampedZone>& zones, double now) {
    CalibrationStamp out;
    const auto* read = std::get_if<CalibrationBook>(&book);
    if (!read) {
        const std::string why = std::get<std::string>(book);
        out.events.push_back({now, std::nullopt, EventKind::calibration, 0,
                              "the calibration book does not read (" + why +
                                  "): no calibration is on record for this run"});
        out.warnings.push_back("the calibration book does not read: " + why);
    }
    const long today = localDay(now);
    for (const StampedZone& z : zones) {
        std::string text = z.name + ": ";
        const CalibrationEntry* entry = read ? read->inForce(z.device, z.id) : nullptr;
        text += entry ? "calibration " + calibrationSummary(*entry) : "no calibration on record";
        if (const auto* c = std::get_if<ZoneCorrections>(&z.corrections)) {
            text += "; PV offset " + formatFixed(c->pvOffset, z.digits) + unitSign(z.unit) +
                    ", SW filter " + formatFixed(c->swFilter, z.digits);
        } else {
            text += "; its PV offset and SW filter were not read: " +
                    std::get<std::string>(z.corrections);
        }
        out.events.push_back({now, z.index, EventKind::calibration, 0, text});
        if (entry && entry->due < today) {
            const std::string due = z.name + ": calibration entry " +
                                    std::to_string(entry->number) + " (certificate " +
                                    entry->certificate + ") was due " +
                                    calibrationDayText(entry->due) + ": it is past due";
            out.events.push_back({now, z.index, EventKind::calibration, 0, due});
            out.warnings.push_back(due);
        }
    }
    return out;
}
