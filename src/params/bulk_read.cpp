#include "params/bulk_read.h"

#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "link/transfer_pace.h"
#include "params/params_state.h"
#include "params/record_words.h"
#include "params/register_map.h"

Outcome readDecimalPoint(Controller& c) {
    const Transaction t(c.line(), settle::bulk);
    const Outcome o = readRegisters(c, reg::decimalPoint);
    if (!o.ok()) return o;
    storeWord(c, reg::decimalPoint, o.words[0]);
    applyDecimalScale(c);
    return o;
}

Outcome readSetValueLimits(Controller& c) {
    static_assert(reg::hiLimit == reg::loLimit + 1, "one request reads both");
    const Transaction t(c.line(), settle::bulk);
    const Outcome o = readRegisters(c, reg::loLimit, 2);
    if (!o.ok()) return o;
    storeWord(c, reg::loLimit, o.words[0]);
    storeWord(c, reg::hiLimit, o.words[1]);
    return o;
}

Outcome readPidBlock(Controller& c) {
    const Transaction t(c.line(), settle::bulk);
    const Outcome o = readRegisters(c, reg::pidFirst, reg::pidCount);
    // Zeros must never stand in for the controller's tuning.
    if (!o.ok()) return o;
    for (int k = 0; k < reg::pidCount; ++k)
        storeWord(c, uint16_t(reg::pidFirst + k), o.words[std::size_t(k)]);
    return o;
}

BulkReadResult readParameters(Controller& c, const ParameterProgress& progress) {
    BulkReadResult result;
    const Transaction t(c.line(), settle::bulk);
    Transfer transfer(c);
    const int total = int(bulkReadOrder().size());
    for (uint16_t reg : bulkReadOrder()) {
        if (!c.line().transferMayGoOn(result.asked, total)) {
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
        if (reg == reg::controlMode) {
            result.mode = controlModeOf(word);
            c.noteMode(*result.mode);
        } else
            storeWord(c, reg, word);
        if (reg == reg::decimalPoint) applyDecimalScale(c);
        if (progress) progress(reg, word);
    }
    return result;
}
