#include "link/transfer.h"

#include "link/registers.h"
#include "link/reply_judge.h"
#include "link/retry_policy.h"
#include "link/transaction.h"

#include <algorithm>

Outcome Transfer::read(uint16_t reg, uint16_t count, uint8_t function) {
    Line& line = controller_.line();
    Outcome outcome;
    for (int attempt = 1; attempt <= retry::kReadAttempts && !silent(); ++attempt) {
        if (attempt > 1) line.settle(settle::retryRead);
        Frame request = makeTemplate(0x01, function, reg, count);
        completeRequest(request, controller_.controllerId());
        outcome =
            line.exchange(request, impliedReplyLength(request), FlushFirst::yes, attempt).outcome();
        note(outcome);
        if (outcome.ok() || outcome.fault == Fault::lineLost) break;
    }
    return outcome;
}

Outcome Transfer::write(uint16_t reg, int16_t value) {
    if (silent()) return Outcome{};
    Frame request = writeTemplate(reg);
    completeWrite(request, controller_.controllerId(), value);
    // Cleared first, so an old echo is never judged as this one's.
    controller_.noteWriteEcho({});
    const ExchangeResult r = controller_.line().exchange(request, 8, FlushFirst::yes, 1);
    std::array<uint8_t, 8> echo{};
    std::copy(r.bytes, r.bytes + echo.size(), echo.begin());
    controller_.noteWriteEcho(echo);
    const Outcome outcome = r.outcome();
    note(outcome);
    // Whatever the echo said, the unit or the decimal point may have
    // changed: the next poll reads them again.
    if (reg == reg::unitCF || reg == reg::decimalPoint) controller_.pollFacts.unitRead.reset();
    return outcome;
}

bool Transfer::silent() const {
    return silence_.reached();
}

void Transfer::note(const Outcome& outcome) {
    controller_.health().note(outcome.fault, controller_.line().comPort());
    if (outcome.fault == Fault::lineLost)
        silence_.lineLost();
    else
        silence_.note(outcome.silent());
}

Outcome readRegisters(Controller& controller, uint16_t reg, uint16_t count) {
    return Transfer(controller).read(reg, count);
}

Outcome writeRegister(Controller& controller, uint16_t reg, int16_t value) {
    return Transfer(controller).write(reg, value);
}

Outcome pollRegisterOutcome(Controller& controller, uint16_t reg) {
    const Transaction t(controller.line(), settle::poll);
    return readRegisters(controller, reg);
}

std::optional<int16_t> pollRegister(Controller& controller, uint16_t reg) {
    const Outcome outcome = pollRegisterOutcome(controller, reg);
    if (!outcome.ok()) return std::nullopt;
    return outcome.value();
}

RawReply rawExchange(Controller& controller, const Frame& request, int replyLength) {
    Line& line = controller.line();
    const ExchangeResult r = line.exchange(request, replyLength, FlushFirst::no, 1);
    controller.health().note(r.verdict, line.comPort());
    RawReply raw;
    std::copy(r.bytes, r.bytes + r.count, raw.bytes);
    raw.count = r.count;
    raw.verdict = r.verdict;
    raw.exceptionFrame = isExceptionFrame(r.bytes, r.count);
    return raw;
}
