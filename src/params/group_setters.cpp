#include "params/group_setters.h"

#include "link/registers.h"
#include "link/session.h"
#include "link/transfer.h"
#include "params/encodings.h"
#include "params/ids/main_panel.h"
#include "params/parameter_display.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "params/write_report.h"
#include "runtime/panel_handles.h"

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
    GetCtrlVal(gPanels.main, row.control, &t.major);
    GetCtrlVal(gPanels.main, row.minorControl, &t.minor);
    return t;
}

// A time the register cannot hold is refused before anything is sent: its
// wrapped value would set a different time than the one the fields show.
bool refuseUnfitTime(std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        if (row.minorControl.empty()) continue;
        const TimePair typed = readTimeFields(row);
        if (joinTimeWord(typed.major, typed.minor)) continue;
        showParameter(row.reg); // back to what the controller holds
        MessagePopup("Entry Refused",
                     parmRegisterName(row.reg) + " " + timeWordText(typed) +
                         " does not fit the register (" + timeWordText(splitTimeWord(-32768)) +
                         " to " + timeWordText(splitTimeWord(32767)) + ").\nNothing was sent.");
        return true;
    }
    return false;
}

// Reads the row's field(s) into the record and returns the register value.
int16_t storeRow(const Row& row) {
    const ParmRegister* r = findParmRegister(row.reg);
    ParmRecord& rec = gParams.parmRecord;
    const int main = gPanels.main;
    if (r->isReal()) {
        double v = 0;
        GetCtrlVal(main, row.control, &v);
        rec.*(r->real) = float(v);
        return encodeReal(r->enc, rec.*(r->real), gParams.dpMultiplier);
    }
    const TimePair t = readTimeFields(row);
    rec.*(r->word) = joinTimeWord(t.major, t.minor).value_or(rec.*(r->word));
    return rec.*(r->word);
}

void writeGroup(std::initializer_list<Row> rows) {
    if (refuseUnfitTime(rows)) return;
    preparation(0.02);
    Transfer transfer;
    bool refused = false;
    std::string unconfirmed;
    for (const Row& row : rows) {
        const Outcome outcome = transfer.write(row.reg, storeRow(row));
        if (outcome.refused())
            refused = true;
        else if (!outcome.ok())
            unconfirmed += (unconfirmed.empty() ? "" : ", ") + parmRegisterName(row.reg);
    }
    if (refused) reportRefusal();
    if (!unconfirmed.empty()) reportUnconfirmed(unconfirmed);
}

} // namespace

int updateSoftStart(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        writeGroup({{reg::rampRate, MainPanel::rampRateNumeric, {}},
                    {reg::softStartTime, MainPanel::softStartMajor, MainPanel::softStartMinor}});
    return 0;
}

int UpdateOption(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        writeGroup({{reg::hiLimit, MainPanel::hiLimitNumeric, {}},
                    {reg::loLimit, MainPanel::loLimitNumeric, {}},
                    {reg::pvOffset, MainPanel::pvOffsetNumeric, {}},
                    {reg::swFilter, MainPanel::swFilterNumeric, {}}});
    return 0;
}

int UpdateAlarm(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        writeGroup({{reg::a1SetPoint, MainPanel::alarmSetPointNumeric, {}},
                    {reg::a1Hysteresis, MainPanel::hysteresisNumeric, {}},
                    {reg::a1DelayTime, MainPanel::alarmDelayMajor, MainPanel::alarmDelayMinor}});
    return 0;
}
