#include "pid/pid_transfer.h"

#include "link/transaction.h"
#include "link/transfer.h"
#include "link/transfer_pace.h"
#include "params/params_state.h"
#include "pid/pid_block.h"

PidWriteResult writePidBlock(Controller& c) {
    PidWriteResult result;
    // A value its register cannot hold would wrap around to a different one
    // on the wire; better to send nothing than a wrong tuning.
    result.misfits = pidMisfits(c.parmRecord, c.scale());
    if (!result.misfits.empty()) return result;
    const auto& fields = pidFields();
    // The record holds the block to be sent: a value is the controller's
    // again only once it confirms it, so a backup reads the rest first.
    for (const PidField& f : fields) {
        c.forgetHeld(f.reg);
        result.ledger.plan(f.reg);
    }
    const Transaction t(c.line(), settle::bulk);
    Transfer transfer(c);
    for (; result.sent < fields.size() && !transfer.silent(); ++result.sent) {
        if (!c.line().transferMayGoOn(int(result.sent), int(fields.size()))) {
            result.cancelled = true;
            break;
        }
        const PidField& f = fields[result.sent];
        // None is sent wrapped into another value: the misfits were refused above.
        const auto word = pidRegisterValue(f, c.parmRecord, c.scale());
        const Outcome o = word ? transfer.write(f.reg, *word) : Outcome{};
        if (word) result.ledger.note(f.reg, o);
        if (o.ok())
            c.noteHeld(f.reg);
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
