#include "monitor/live_writes.h"

#include "link/controller.h"
#include "link/line.h"
#include "link/registers.h"
#include "link/scale.h"

// The level is in tenths of a percent whatever the decimal point. Callers
// keep it within 0 to 100 %, which its register holds; anything else is not
// sent at all.
Outcome writeOutputLevel(Transfer& transfer, float percent) {
    const auto word = Scale::tenths().toWord(double(percent));
    if (!word) return Outcome{};
    return transfer.write(reg::outputLevel, *word);
}

uint16_t writtenWord(Controller& c) {
    const auto echo = c.writeEcho();
    return uint16_t(echo[4] << 8 | echo[5]);
}

float outputLevelPercent(uint16_t word) {
    return float(Scale::tenths().toValue(int16_t(word)));
}
