#include "params/bulk_write.h"

#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "link/transfer_pace.h"
#include "params/params_state.h"
#include "params/record_words.h"
#include "params/register_map.h"

BulkWriteResult WriteParmsToMeter(Controller& c, const WriteProgress& progress) {
    BulkWriteResult result;
    for (uint16_t reg : bulkWriteOrder())
        result.ledger.plan(reg);
    const Transaction t(c.line(), settle::quick);
    Transfer transfer(c);
    const int total = int(bulkWriteOrder().size());
    int done = 0;
    for (uint16_t reg : bulkWriteOrder()) {
        if (!c.line().transferMayGoOn(done++, total)) {
            result.cancelled = true;
            break;
        }
        // Each value was checked against its register as its file was read;
        // one that does not fit is not sent, rather than wrapped into another.
        const std::optional<int16_t> word = recordWord(c, reg);
        const Outcome outcome = word ? transfer.write(reg, *word) : Outcome{};
        if (word) result.ledger.note(reg, outcome);
        if (progress) progress(reg, outcome);
        // The decimal point goes first so every scaled value after it is
        // encoded with the factor the controller will read it with. Unless
        // the controller took it, that factor is not the controller's, and a
        // single value more would land ten times off.
        if (reg == reg::decimalPoint) {
            result.decimalPoint = outcome;
            if (!outcome.ok()) break;
            applyDecimalScale(c);
        }
        if (outcome.refused())
            result.refused.push_back(reg);
        else if (!outcome.ok())
            result.unconfirmed.push_back(reg);
        if (transfer.silent()) {
            result.silent = true;
            break;
        }
    }
    return result;
}
