#include "params/group_setters.h"

#include "link/register_write.h"
#include "link/transaction.h"
#include "params/encodings.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "runtime/ids/main_panel.h"
#include "runtime/panel_handles.h"

#include <initializer_list>
#include <string>

namespace {

struct Row {
    uint16_t reg;
    CtrlId control;
    CtrlId minorControl; // second field of a time word
};

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
    int major = 0, minor = 0;
    GetCtrlVal(main, row.control, &major);
    GetCtrlVal(main, row.minorControl, &minor);
    rec.*(r->word) = joinTimeWord(major, minor);
    return rec.*(r->word);
}

void writeGroup(std::initializer_list<Row> rows) {
    preparation(0.02);
    bool refused = false;
    std::string unconfirmed;
    for (const Row& row : rows) {
        const WriteOutcome outcome = writeRegister(row.reg, storeRow(row));
        if (outcome == WriteOutcome::Refused) refused = true;
        if (outcome == WriteOutcome::Unconfirmed || outcome == WriteOutcome::NoReply)
            unconfirmed += (unconfirmed.empty() ? "" : ", ") + parmRegisterName(row.reg);
    }
    if (refused) reportWrite(WriteOutcome::Refused, "");
    if (!unconfirmed.empty()) reportWrite(WriteOutcome::Unconfirmed, unconfirmed);
}

} // namespace

int updateSoftStart(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        writeGroup({{0x0E, MainPanel::rampRateNumeric, {}},
                    {0x0F, MainPanel::softStartMajor, MainPanel::softStartMinor}});
    return 0;
}

int UpdateOption(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        writeGroup({{0x24, MainPanel::hiLimitNumeric, {}},
                    {0x23, MainPanel::loLimitNumeric, {}},
                    {0x01, MainPanel::pvOffsetNumeric, {}},
                    {0x29, MainPanel::swFilterNumeric, {}}});
    return 0;
}

int UpdateAlarm(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        writeGroup({{0x04, MainPanel::alarmSetPointNumeric, {}},
                    {0x05, MainPanel::hysteresisNumeric, {}},
                    {0x08, MainPanel::alarmDelayMajor, MainPanel::alarmDelayMinor}});
    return 0;
}
