#include "monitor/controller_poll.h"

#include "base/hex_text.h"
#include "link/controller.h"
#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "monitor/live_writes.h"
#include "params/params_state.h"
#include "params/record_words.h"

#include <chrono>
#include <vector>

namespace {

static_assert(reg::decimalPoint == reg::unitCF + 1, "one request reads both");
static_assert(reg::controlMode == reg::outputLevel + 1, "one request reads both");
static_assert(reg::svRead == reg::pv + 1 && reg::status == reg::pv + 3,
              "one request reads PV to the status word");

bool isOurModel(uint8_t code) {
    return code == '@' || code == 'D';
}

// The reads of one poll, each retried by the policy; the first that fails
// is the poll's fault, and nothing more is asked after it.
class PollReads {
  public:
    PollReads(Controller& c, PollReading& r) : c_(c), r_(r) {}
    std::optional<std::vector<uint16_t>> read(uint16_t reg, uint16_t count = 1) {
        if (r_.fault != Fault::none) return std::nullopt;
        Outcome o = readRegisters(c_, reg, count);
        if (!o.ok()) {
            r_.fault = o.fault;
            r_.exceptionCode = o.exceptionCode;
            return std::nullopt;
        }
        r_.answered = true;
        for (std::size_t i = 0; i < o.words.size(); ++i)
            r_.words.emplace_back(uint16_t(reg + i), o.words[i]);
        return std::move(o.words);
    }
    std::optional<uint16_t> one(uint16_t reg) {
        const auto words = read(reg);
        return words ? std::optional<uint16_t>(words->front()) : std::nullopt;
    }

  private:
    Controller& c_;
    PollReading& r_;
};

bool unitIsFresh(const Controller& c) {
    const auto& at = c.pollFacts.unitRead;
    return at && c.isHeld(reg::decimalPoint) &&
           std::chrono::duration<double>(lineClock().now() - *at).count() < kUnitRereadSeconds;
}

// PV, SV and the status word in one request; nothing, with the fault
// cleared, when the controller does not take such a read.
std::optional<std::vector<uint16_t>> readLiveBlock(Controller& c, PollReading& r) {
    const Outcome o = readRegisters(c, reg::pv, 4);
    if (o.ok()) {
        c.pollFacts.liveBlock = true;
        r.answered = true;
        for (std::size_t i = 0; i < o.words.size(); ++i)
            r.words.emplace_back(uint16_t(reg::pv + i), o.words[i]);
        return o.words;
    }
    // A refusal, or a whole reply of another length: it reads them one by one.
    if (o.fault == Fault::exception || o.fault == Fault::mismatch) {
        c.pollFacts.liveBlock = false;
        r.answered = true;
    } else {
        r.fault = o.fault;
    }
    return std::nullopt;
}

void readLive(Controller& c, const PollExtras& extras, PollReading& r, PollReads& reads) {
    std::optional<uint16_t> pv, sv, status;
    if (c.pollFacts.liveBlock.value_or(true)) {
        if (const auto words = readLiveBlock(c, r)) {
            pv = (*words)[0];
            sv = (*words)[1];
            status = (*words)[3];
        }
        if (r.fault != Fault::none) return;
    }
    if (c.pollFacts.liveBlock == false) {
        sv = reads.one(reg::svRead);
        pv = reads.one(reg::pv);
        if (extras.status) status = reads.one(reg::status);
    }
    if (c.isHeld(reg::decimalPoint)) {
        if (pv) r.pv = c.scale().toValue(int16_t(*pv));
        if (sv) r.sv = c.scale().toValue(int16_t(*sv));
    }
    if (r.pv) c.live.pv.note(*r.pv);
    if (r.sv) c.live.sv.note(*r.sv);
    if (status) c.live.status.note(*status);
    // Read with PV and SV in one request, it is there whether asked for or not.
    r.status = status;
}

} // namespace

std::string PollReading::problem() const {
    if (foreignModel != 0)
        return "not a Q7 controller (model code 0x" + hexByte(foreignModel) + ")";
    if (fault == Fault::none) return {};
    if (fault == Fault::noReply) return "silent: no reply";
    return describe(fault, exceptionCode);
}

PollReading pollController(Controller& c, const PollExtras& extras) {
    PollReading r;
    PollReads reads(c, r);
    {
        const Transaction t(c.line(), settle::poll);
        if (c.controllerVariant() == 0) {
            if (const auto word = reads.one(reg::identification)) {
                const uint8_t code = uint8_t(*word >> 8);
                // Whatever it is, its registers mean something else.
                if (!isOurModel(code))
                    r.foreignModel = code;
                else
                    c.noteModel(code);
            }
        }
        if (r.good() && !unitIsFresh(c)) {
            if (const auto words = reads.read(reg::unitCF, 2)) {
                storeWord(c, reg::unitCF, (*words)[0]);
                storeWord(c, reg::decimalPoint, (*words)[1]);
                applyDecimalScale(c);
                c.pollFacts.unitRead = lineClock().now();
            }
        }
        if (r.good() && extras.modeAndOutput) {
            if (const auto words = reads.read(reg::outputLevel, 2)) {
                r.out = outputLevelPercent((*words)[0]);
                r.mode = controlModeOf((*words)[1]);
                c.noteMode(*r.mode);
            }
        }
        if (r.good()) readLive(c, extras, r, reads);
    }
    if (c.controllerVariant() != 0) r.model = c.controllerVariant() == 1 ? '@' : 'D';
    if (c.isHeld(reg::decimalPoint)) r.digits = c.scale().digits();
    if (c.isHeld(reg::unitCF)) r.unit = c.parmRecord.unitCF;
    // What answers at its id once it is back may be another device.
    if (c.health().silent()) c.noteModel(0);
    return r;
}
