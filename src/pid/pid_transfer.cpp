#include "pid/pid_transfer.h"

#include "link/link_state.h"
#include "link/reply_checks.h"
#include "link/transaction.h"
#include "params/parameter_display.h"
#include "params/params_state.h"
#include "params/wait_popup.h"
#include "pid/pid_block.h"
#include "runtime/panel_handles.h"
#include "runtime/panel_service.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int kReadAttempts = 2;
constexpr int kSilentRequestsBeforeGivingUp = 3;

bool isPidBlock(const Reply& r) {
    return isReadReply(r.bytes, r.count, gLink.controllerId, kPidRegisterCount);
}

void showOnPanel(const PidField& f) {
    const ParmRecord& rec = gParams.parmRecord;
    if (f.real)
        SetCtrlVal(gPanels.pid, f.entry, double(rec.*f.real));
    else
        SetCtrlVal(gPanels.pid, f.entry, int(rec.*f.word));
}

// What became of one register write, for the closing message ("" when confirmed).
std::string writeOutcome(const Reply& r, const Frame& request) {
    if (r.count == 8 && std::equal(request.begin(), request.end(), r.bytes)) return {};
    if (r.isException()) {
        char text[32];
        std::snprintf(text, sizeof text, "refused (exception %02X)", r.bytes[2]);
        return text;
    }
    return r.count == 0 ? "no reply" : "not confirmed";
}

} // namespace

void ReadPIDParmsFromMeter() {
    showWaitPopup();
    preparation(0.02);
    Reply reply;
    bool good = false;
    for (int attempt = 0; attempt < kReadAttempts && !good; ++attempt) {
        if (attempt > 0) preparation(0.02);
        Frame request = readTemplate(kPidFirstRegister, kPidRegisterCount);
        reply = exchange(request, gLink.controllerId, kPidReplyLength);
        good = isPidBlock(reply);
    }
    if (good) {
        for (int k = 0; k < kPidRegisterCount; ++k) {
            const PidField& f = pidFields()[std::size_t(k)];
            const int16_t reg = signedWord(reply.bytes[3 + 2 * k], reply.bytes[4 + 2 * k]);
            setPidFromRegister(f, gParams.parmRecord, reg, gParams.dpDivisor);
            showOnPanel(f);
            // The main panel shows some of these (the cycle time) as well;
            // both must show what was just read.
            showParameter(f.reg);
        }
    }
    removeWaitPopup();
    // Zeros must never stand in for the controller's tuning, so a failed read
    // changes nothing and says so.
    if (!good)
        MessagePopup("PID Read Error",
                     "The controller did not return the PID parameters.\nThe panel keeps the "
                     "values it showed before.");
}

void WritePIDParmsToMeter() {
    // A value its register cannot hold would wrap around to a different one
    // on the wire; better to send nothing than a wrong tuning.
    const std::string misfits = pidMisfits(gParams.parmRecord, gParams.dpMultiplier);
    if (!misfits.empty()) {
        MessagePopup("PID Write Error",
                     "Too large for their registers: " + misfits + ".\nNothing was sent.");
        return;
    }
    showWaitPopup();
    preparation(0.02);
    std::string problems;
    int silentInARow = 0;
    std::size_t next = 0;
    const auto& fields = pidFields();
    for (; next < fields.size() && silentInARow < kSilentRequestsBeforeGivingUp; ++next) {
        const PidField& f = fields[next];
        Frame request = writeTemplate(f.reg);
        const int16_t value = pidRegisterValue(f, gParams.parmRecord, gParams.dpMultiplier);
        const Reply reply = exchangeWrite(request, gLink.controllerId, value);
        std::copy(reply.bytes, reply.bytes + 8, gTx.writeEcho);
        silentInARow = reply.count == 0 ? silentInARow + 1 : 0;
        const std::string outcome = writeOutcome(reply, request);
        if (!outcome.empty()) problems += std::string("\n") + f.label + ": " + outcome;
    }
    if (next < fields.size()) {
        problems += "\nThe controller stopped answering; not sent:";
        for (; next < fields.size(); ++next)
            problems += std::string("\n") + fields[next].label;
    }
    removeWaitPopup();
    if (!problems.empty())
        MessagePopup("PID Write Error",
                     "These PID parameters may not be in the controller:" + problems);
}
