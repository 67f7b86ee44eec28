#include "params/bulk_read.h"

#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "link/transfer_pace.h"
#include "params/params_state.h"
#include "params/record_words.h"
#include "params/register_map.h"

Outcome readDecimalPoint() {
    const Transaction t(session(), settle::bulk);
    const Outcome o = readRegisters(reg::decimalPoint);
    if (!o.ok()) return o;
    storeWord(reg::decimalPoint, o.words[0]);
    applyDecimalScale();
    return o;
}

Outcome readSetValueLimits() {
    static_assert(reg::hiLimit == reg::loLimit + 1, "one request reads both");
    const Transaction t(session(), settle::bulk);
    const Outcome o = readRegisters(reg::loLimit, 2);
    if (!o.ok()) return o;
    storeWord(reg::loLimit, o.words[0]);
    storeWord(reg::hiLimit, o.words[1]);
    return o;
}

Outcome readPidBlock() {
    const Transaction t(session(), settle::bulk);
    const Outcome o = readRegisters(reg::pidFirst, reg::pidCount);
    // Zeros must never stand in for the controller's tuning.
    if (!o.ok()) return o;
    for (int k = 0; k < reg::pidCount; ++k)
        storeWord(uint16_t(reg::pidFirst + k), o.words[std::size_t(k)]);
    return o;
}

BulkReadResult readParameters(const ParameterProgress& progress) {
    BulkReadResult result;
    const Transaction t(session(), settle::bulk);
    Transfer transfer;
    const int total = int(bulkReadOrder().size());
    for (uint16_t reg : bulkReadOrder()) {
        if (!transferMayGoOn(result.asked, total)) {
            result.cancelled = true;
            break;
        }
        ++result.asked;
        const Outcome o = transfer.read(reg);
        if (!o.ok()) {
            if (transfer.silent()) {
                result.silent = true;
                break;
            }
            result.failed.push_back(reg);
            continue;
        }
        ++result.registersRead;
        const uint16_t word = o.words[0];
        if (reg == reg::controlMode)
            result.mode = controlModeOf(word);
        else
            storeWord(reg, word);
        if (reg == reg::decimalPoint) applyDecimalScale();
        if (progress) progress(reg, word);
    }
    return result;
}
