#include "mainpanel/group_setters.h"

#include "base/number_text.h"
#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "mainpanel/decimal_point.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/parameter_display.h"
#include "mainpanel/write_report.h"
#include "params/encodings.h"
#include "params/parameter_write.h"
#include "params/params_state.h"
#include "params/register_map.h"

#include <initializer_list>
#include <string>

namespace {

struct Row {
    uint16_t reg;
    CtrlId control;
    CtrlId minorControl; // second field of a time word
};

TimePair readTimeFields(const Row& row) {
    TimePair t{};
    GetCtrlVal(MainPanel::handle, row.control, &t.major);
    GetCtrlVal(MainPanel::handle, row.minorControl, &t.minor);
    return t;
}

// A time the register cannot hold is refused before anything is sent: its
// wrapped value would set a different time than the one the fields show.
bool refuseUnfitTime(Controller& c, std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        if (row.minorControl.empty()) continue;
        const TimePair typed = readTimeFields(row);
        if (joinTimeWord(typed.major, typed.minor)) continue;
        showParameter(c, row.reg); // back to what the controller holds
        MessagePopup("Entry Refused",
                     parmRegisterName(row.reg) + " " + timeWordText(typed) +
                         " does not fit the register (" + timeWordText(splitTimeWord(-32768)) +
                         " to " + timeWordText(splitTimeWord(32767)) + ").\nNothing was sent.");
        return true;
    }
    return false;
}

// A field that shows no value holds a number nobody read or typed: the
// group is not sent with it.
bool refuseEmptyField(std::initializer_list<Row> rows) {
    for (const Row& row : rows)
        for (CtrlId c : {row.control, row.minorControl}) {
            double shows = 1;
            if (c.empty() || GetCtrlAttribute(MainPanel::handle, c, ATTR_SHOWS_VALUE, &shows) < 0 ||
                shows != 0)
                continue;
            MessagePopup("Entry Refused",
                         parmRegisterName(row.reg) +
                             " shows no value: it has not been read from the controller.\nRead "
                             "the parameters, or type a value, then press Update again.\nNothing "
                             "was sent.");
            return true;
        }
    return false;
}

// A Lo limit at or above the Hi limit leaves the controller no set value it
// takes, and every SV write after it would be refused: compared as the
// register words the two entries would send.
bool refuseCrossedLimits(Controller& c) {
    double lo = 0, hi = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::loLimitNumeric, &lo);
    GetCtrlVal(MainPanel::handle, MainPanel::hiLimitNumeric, &hi);
    const Scale scale = c.scale();
    // The entries take only what their registers hold.
    const auto low = scale.toWord(lo), high = scale.toWord(hi);
    if (low && high && *low < *high) return false;
    const int digits = scale.digits();
    showParameter(c, reg::loLimit); // both back to what the controller holds
    showParameter(c, reg::hiLimit);
    MessagePopup("Entry Refused", "The Lo limit " + formatFixed(lo, digits) +
                                      " is not below the Hi limit " + formatFixed(hi, digits) +
                                      ": the controller would then take no set value.\nNothing "
                                      "was sent.");
    return true;
}

// Reads the row's field(s) into the record.
void storeRow(Controller& c, const Row& row) {
    const ParmRegister* r = findParmRegister(row.reg);
    ParmRecord& rec = c.parmRecord;
    if (r->isReal()) {
        double v = 0;
        GetCtrlVal(MainPanel::handle, row.control, &v);
        rec.*(r->real) = float(v);
        return;
    }
    const TimePair t = readTimeFields(row);
    rec.*(r->word) = joinTimeWord(t.major, t.minor).value_or(rec.*(r->word));
}

// The registers the controller confirmed keep their new values; the others
// go back, in the record and their fields, to what the controller holds.
void writeGroup(Controller& c, const char* group, std::initializer_list<Row> rows,
                bool (*refuseGroup)(Controller&) = nullptr) {
    if (refuseEmptyField(rows) || refuseUnfitTime(c, rows) || (refuseGroup && refuseGroup(c)))
        return;
    Transaction t(c.line(), settle::bulk);
    Transfer transfer(c);
    const ParmRecord before = c.parmRecord;
    int refused = 0, missing = 0;
    std::string unconfirmed;
    for (const Row& row : rows) {
        storeRow(c, row);
        const Outcome outcome = writeParameter(transfer, row.reg, before);
        if (outcome.ok()) continue;
        showParameter(c, row.reg);
        if (outcome.refused()) {
            ++refused;
        } else {
            ++missing;
            unconfirmed += (unconfirmed.empty() ? "" : ", ") + parmRegisterName(row.reg);
        }
    }
    // The line is free while the operator reads what became of the group.
    t.release();
    showGroupWrite(group, int(rows.size()), refused, missing);
    if (refused) reportRefusal();
    if (!unconfirmed.empty()) reportUnconfirmed(unconfirmed);
}

} // namespace

int updateSoftStart(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        writeGroup(c, "ramp and soft start group",
                   {{reg::rampRate, MainPanel::rampRateNumeric, {}},
                    {reg::softStartTime, MainPanel::softStartMajor, MainPanel::softStartMinor}});
    return 0;
}

int UpdateOption(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        writeGroup(c, "option group",
                   {{reg::hiLimit, MainPanel::hiLimitNumeric, {}},
                    {reg::loLimit, MainPanel::loLimitNumeric, {}},
                    {reg::pvOffset, MainPanel::pvOffsetNumeric, {}},
                    {reg::swFilter, MainPanel::swFilterNumeric, {}}},
                   refuseCrossedLimits);
    // The controller refuses a set value outside its limits, so the SV entry
    // takes them as its range.
    if (event == EVENT_COMMIT) applySetValueLimits(c);
    return 0;
}

int UpdateAlarm(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        writeGroup(c, "alarm group",
                   {{reg::a1SetPoint, MainPanel::alarmSetPointNumeric, {}},
                    {reg::a1Hysteresis, MainPanel::hysteresisNumeric, {}},
                    {reg::a1DelayTime, MainPanel::alarmDelayMajor, MainPanel::alarmDelayMinor}});
    return 0;
}
