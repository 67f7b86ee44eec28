#include "params/bulk_write.h"

#include "link/transaction.h"
#include "params/decimal_point.h"
#include "params/params_state.h"
#include "params/register_map.h"

namespace {

constexpr int kSilentLimit = 3; // registers in a row with no reply at all

int16_t registerValue(const ParmRegister& r) {
    const ParmRecord& rec = gParams.parmRecord;
    if (r.isReal()) return encodeReal(r.enc, rec.*(r.real), gParams.dpMultiplier);
    return encodeInt(r.enc, rec.*(r.word));
}

} // namespace

BulkWriteResult WriteParmsToMeter() {
    BulkWriteResult result;
    preparation(0.01);
    int silentInARow = 0;
    for (uint16_t reg : bulkWriteOrder()) {
        const ParmRegister* r = findParmRegister(reg);
        const WriteOutcome outcome = writeRegister(reg, registerValue(*r));
        // The decimal point goes first so every scaled value after it is
        // encoded with the factor the controller will read it with. Unless
        // the controller took it, that factor is not the controller's, and a
        // single value more would land ten times off.
        if (reg == kDecimalPointRegister) {
            result.decimalPoint = outcome;
            if (outcome != WriteOutcome::Confirmed) {
                if (outcome == WriteOutcome::Refused) result.decimalPointRefusal = refusalCode();
                break;
            }
            AdjDecimal();
        }
        silentInARow = outcome == WriteOutcome::NoReply ? silentInARow + 1 : 0;
        if (outcome == WriteOutcome::Refused) result.refused.push_back(reg);
        if (outcome == WriteOutcome::Unconfirmed || outcome == WriteOutcome::NoReply)
            result.unconfirmed.push_back(reg);
        if (silentInARow >= kSilentLimit) {
            result.silent = true;
            break;
        }
    }
    return result;
}
