#include "monitor/live_writes.h"

#include "link/registers.h"
#include "params/encodings.h"

// The level is in tenths of a percent whatever the decimal point.
Outcome writeOutputLevel(Transfer& transfer, float percent) {
    return transfer.write(reg::outputLevel, encodeReal(Encoding::Tenths, percent, 1.0f));
}

float outputLevelPercent(uint16_t word) {
    return decodeReal(Encoding::Tenths, uint8_t(word >> 8), uint8_t(word & 0xFF), 1.0f);
}
