#include "lines/controller_poll.h"

#include "base/hex_text.h"
#include "link/control_mode.h"
#include "link/controller.h"
#include "link/registers.h"
#include "link/scale.h"
#include "link/transfer.h"
#include "monitor/live_writes.h"

namespace {

bool isOurModel(uint8_t code) {
    return code == '@' || code == 'D';
}

} // namespace

std::string ControllerReading::problem() const {
    if (foreignModel != 0)
        return "not a Q7 controller (model code 0x" + hexByte(foreignModel) + ")";
    if (fault == Fault::none) return {};
    if (fault == Fault::noReply) return "silent: no reply";
    return describe(fault, exceptionCode);
}

ControllerReading pollController(Controller& c, std::optional<char> knownModel) {
    ControllerReading r;
    r.model = knownModel;
    // One validated read; false (with the turn's fault) once one failed.
    auto read = [&c, &r](uint16_t reg) -> std::optional<uint16_t> {
        if (r.fault != Fault::none) return std::nullopt;
        const Outcome o = validatedReadOutcome(c, reg);
        if (!o.ok()) {
            r.fault = o.fault;
            r.exceptionCode = o.exceptionCode;
            return std::nullopt;
        }
        r.answered = true;
        return o.words[0];
    };
    if (!r.model) {
        const auto word = read(reg::identification);
        if (!word) return r;
        const uint8_t code = uint8_t(*word >> 8);
        if (!isOurModel(code)) {
            // Whatever it is, its registers mean something else.
            r.foreignModel = code;
            return r;
        }
        r.model = char(code);
    }
    const auto dp = read(reg::decimalPoint);
    if (!dp) return r;
    const Scale scale = Scale::ofDecimalPoint(*dp);
    r.digits = scale.digits();
    if (const auto w = read(reg::controlMode)) r.mode = codeOf(controlModeOf(*w));
    if (const auto w = read(reg::outputLevel)) r.out = outputLevelPercent(*w);
    if (const auto w = read(reg::svRead)) r.sv = scale.toValue(int16_t(*w));
    if (const auto w = read(reg::pv)) r.pv = scale.toValue(int16_t(*w));
    return r;
}
