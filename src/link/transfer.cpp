#include "link/transfer.h"

#include "link/exchange.h"
#include "link/reply_judge.h"
#include "link/retry_policy.h"
#include "link/session.h"
#include "link/session_state.h"

#include <algorithm>

Outcome Transfer::read(uint16_t reg, uint16_t count) {
    Outcome outcome;
    for (int attempt = 1; attempt <= retry::kReadAttempts && !silent(); ++attempt) {
        if (attempt > 1) preparation(retry::kRetryPause);
        Frame request = readTemplate(reg, count);
        completeRequest(request, addressedId());
        outcome =
            exchangeFrame(request, impliedReplyLength(request), FlushFirst::yes, attempt).outcome();
        note(outcome);
        if (outcome.ok() || outcome.fault == Fault::lineLost) break;
    }
    return outcome;
}

Outcome Transfer::write(uint16_t reg, int16_t value) {
    if (silent()) return Outcome{};
    Frame request = writeTemplate(reg);
    completeWrite(request, addressedId(), value);
    // Cleared first, so an old echo is never judged as this one's.
    auto& echo = sessionState().writeEcho;
    echo = {};
    const Exchanged r = exchangeFrame(request, 8, FlushFirst::yes, 1);
    std::copy(r.bytes, r.bytes + echo.size(), echo.begin());
    const Outcome outcome = r.outcome();
    note(outcome);
    return outcome;
}

bool Transfer::silent() const {
    return silence_.reached();
}

void Transfer::note(const Outcome& outcome) {
    if (outcome.fault == Fault::lineLost)
        silence_.lineLost();
    else
        silence_.note(outcome.silent());
}

Outcome readRegisters(uint16_t reg, uint16_t count) {
    return Transfer().read(reg, count);
}

Outcome writeRegister(uint16_t reg, int16_t value) {
    return Transfer().write(reg, value);
}

Outcome validatedReadOutcome(uint16_t reg) {
    BusyGuard guard;
    preparation(0.03);
    return readRegisters(reg);
}

std::optional<int16_t> validatedRead(uint16_t reg) {
    const Outcome outcome = validatedReadOutcome(reg);
    if (!outcome.ok()) return std::nullopt;
    return outcome.value();
}

RawReply rawExchange(const Frame& request, int replyLength) {
    const Exchanged r = exchangeFrame(request, replyLength, FlushFirst::no, 1);
    RawReply raw;
    std::copy(r.bytes, r.bytes + r.count, raw.bytes);
    raw.count = r.count;
    raw.verdict = r.verdict;
    raw.exceptionFrame = isExceptionFrame(r.bytes, r.count);
    return raw;
}
