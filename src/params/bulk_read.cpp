#include "params/bulk_read.h"

#include "link/registers.h"
#include "link/session.h"
#include "link/transfer.h"
#include "params/params_state.h"
#include "params/register_map.h"

namespace {

void store(uint16_t reg, uint16_t word) {
    const ParmRegister* r = findParmRegister(reg);
    if (!r) return;
    const uint8_t high = uint8_t(word >> 8), low = uint8_t(word & 0xFF);
    ParmRecord& rec = gParams.parmRecord;
    if (r->isReal())
        rec.*(r->real) = decodeReal(r->enc, high, low, gParams.dpDivisor);
    else
        rec.*(r->word) = decodeInt(r->enc, high, low);
}

} // namespace

BulkReadResult readParameters(const ParameterProgress& progress) {
    BulkReadResult result;
    preparation(0.02);
    Transfer transfer;
    for (uint16_t reg : bulkReadOrder()) {
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
            result.mode = uint8_t(word & 0xFF);
        else
            store(reg, word);
        if (reg == reg::decimalPoint) applyDecimalScale();
        if (progress) progress(reg, word);
    }
    return result;
}
