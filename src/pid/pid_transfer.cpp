#include "pid/pid_transfer.h"

#include "link/session.h"
#include "link/transfer.h"
#include "link/transfer_pace.h"
#include "params/params_state.h"
#include "pid/pid_block.h"

Outcome readPidBlock() {
    preparation(0.02);
    const Outcome o = readRegisters(reg::pidFirst, kPidRegisterCount);
    // Zeros must never stand in for the controller's tuning.
    if (!o.ok()) return o;
    for (std::size_t k = 0; k < pidFields().size(); ++k) {
        setPidFromRegister(pidFields()[k], gParams.parmRecord, int16_t(o.words[k]),
                           gParams.dpDivisor);
        noteHeld(pidFields()[k].reg);
    }
    return o;
}

PidWriteResult writePidBlock() {
    PidWriteResult result;
    // A value its register cannot hold would wrap around to a different one
    // on the wire; better to send nothing than a wrong tuning.
    result.misfits = pidMisfits(gParams.parmRecord, gParams.dpMultiplier);
    if (!result.misfits.empty()) return result;
    const auto& fields = pidFields();
    for (const PidField& f : fields)
        result.ledger.plan(f.reg);
    preparation(0.02);
    Transfer transfer;
    for (; result.sent < fields.size() && !transfer.silent(); ++result.sent) {
        if (!transferMayGoOn(int(result.sent), int(fields.size()))) {
            result.cancelled = true;
            break;
        }
        const PidField& f = fields[result.sent];
        const Outcome o =
            transfer.write(f.reg, pidRegisterValue(f, gParams.parmRecord, gParams.dpMultiplier));
        result.ledger.note(f.reg, o);
        if (o.ok())
            noteHeld(f.reg);
        else
            result.failed.emplace_back(result.sent, o);
    }
    return result;
}

std::string pidRegisterLabel(uint16_t reg) {
    for (const PidField& f : pidFields())
        if (f.reg == reg) return f.label;
    return "register " + std::to_string(reg);
}
