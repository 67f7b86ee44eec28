#include "runs/controller_zone.h"

#include "link/controller.h"
#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "monitor/checked_writes.h"
#include "monitor/controller_poll.h"
#include "params/bulk_read.h"
#include "params/mode_write.h"
#include "params/parameter_write.h"
#include "params/params_state.h"
#include "params/record_words.h"

namespace {

constexpr uint16_t kModelD = 2; // Controller::controllerVariant()

// One parameter register, read as the bulk read reads it.
std::optional<uint16_t> readParameter(Controller& c, uint16_t reg) {
    const Transaction t(c.line(), settle::bulk);
    const Outcome o = readRegisters(c, reg);
    if (!o.ok()) return std::nullopt;
    storeWord(c, reg, o.words[0]);
    return o.words[0];
}

ZoneWrite judged(const Outcome& o, std::optional<double> held) {
    ZoneWrite w;
    w.held = held;
    if (o.ok()) {
        w.result = ZoneWrite::Result::confirmed;
        return w;
    }
    w.result = o.refused() ? ZoneWrite::Result::refused : ZoneWrite::Result::unconfirmed;
    w.why = describe(o);
    return w;
}

std::string why(const char* what, const Outcome& o) {
    return std::string("it did not give ") + what + " (" + describe(o) + ")";
}

} // namespace

std::variant<ZoneFacts, std::string> ControllerZone::facts() {
    ZoneFacts f;
    if (const Outcome o = readDecimalPoint(c_); !o.ok()) return why("its decimal point", o);
    f.digits = c_.scale().digits();
    if (const Outcome o = readSetValueLimits(c_); !o.ok()) return why("its Lo and Hi limits", o);
    const auto [lo, hi] = setValueLimits(c_);
    f.lo = lo;
    f.hi = hi;
    const auto unit = readParameter(c_, reg::unitCF);
    if (!unit) return std::string("it did not give its unit");
    if ((*unit & 0xFF) > 1)
        return "its unit code " + std::to_string(*unit & 0xFF) + " is neither °C nor °F";
    f.unit = (*unit & 0xFF) == 0 ? TemperatureUnit::celsius : TemperatureUnit::fahrenheit;
    f.hasRamp = c_.controllerVariant() == kModelD;
    if (!f.hasRamp) return f;
    const auto timeUnit = readParameter(c_, reg::timeUnit);
    if (!timeUnit) return std::string("it did not give its time unit");
    // The ramp runs in degrees per second with MM:SS, per minute with HH:MM.
    if ((*timeUnit & 0xFF) > 1)
        return "its time unit code " + std::to_string(*timeUnit & 0xFF) + " is not known";
    f.rampUnitSeconds = (*timeUnit & 0xFF) == 0 ? 1 : 60;
    return f;
}

ZoneReading ControllerZone::read() {
    ZoneReading r;
    // The one poll of a controller, as every watcher of one reads it: it
    // ends at the first read that fails, so a silent zone costs one
    // time-out, and it reads the decimal point again now and then.
    const PollReading p = pollController(c_, PollExtras{true, false});
    if (!p.good() || !p.pv) return r;
    r.pv = p.pv;
    r.sv = p.sv;
    r.status = p.status;
    if (p.mode)
        r.mode = *p.mode == ControlMode::on    ? ZoneMode::on
                 : *p.mode == ControlMode::off ? ZoneMode::off
                                               : ZoneMode::other;
    // The SV register itself, beside the SV the loop works to, which a ramp
    // moves: only a change of the register is a hand on the keys.
    if (const auto w = pollRegister(c_, reg::setValue)) r.svSetting = c_.scale().toValue(*w);
    // The controller tells its output level only as the one it takes in
    // Manual, which a run never uses: no output is recorded rather than that.
    return r;
}

ZoneWrite ControllerZone::writeSv(double value) {
    const CheckedWrite cw = setSetValue(c_, value);
    ZoneWrite w;
    if (!cw.notSent.empty()) {
        w.result = ZoneWrite::Result::notSent;
        w.why = "SV " + cw.notSent;
        return w;
    }
    if (cw.limitsUnread) {
        w.result = ZoneWrite::Result::unreachable;
        w.why = "its Lo and Hi limits were not read first (" + describe(*cw.limitsUnread) + ")";
        return w;
    }
    const Scale scale = c_.scale();
    w = judged(cw.outcome,
               cw.held ? std::optional<double>(scale.toValue(int16_t(*cw.held))) : std::nullopt);
    if (cw.outcome.refused() && cw.outcome.exceptionCode == 3)
        w.why += ": outside its Lo/Hi limits";
    return w;
}

ZoneWrite ControllerZone::writeMode(ZoneMode mode) {
    const Outcome o =
        writeModeGuarded(c_, mode == ZoneMode::on ? ControlMode::on : ControlMode::off);
    return judged(o, std::nullopt);
}

std::optional<double> ControllerZone::readRampRate() {
    const auto word = readParameter(c_, reg::rampRate);
    if (!word) return std::nullopt;
    return c_.scale().toValue(int16_t(*word));
}

ZoneWrite ControllerZone::writeRampRate(double rate) {
    ZoneWrite w;
    if (rate < 0 || !c_.scale().toWord(rate)) {
        w.why = "the ramp rate does not fit its register";
        return w;
    }
    const Transaction t(c_.line(), settle::bulk);
    Transfer transfer(c_);
    const ParmRecord before = c_.parmRecord;
    c_.parmRecord.rampRate = float(rate);
    const Outcome o = writeParameter(transfer, reg::rampRate, before);
    // What it holds after a write it did not confirm is not known here: the
    // run writes the rate again.
    return judged(o, o.ok() ? std::optional<double>(rate) : std::nullopt);
}

std::variant<ZoneCorrections, std::string> ControllerZone::corrections() {
    // Both are scaled by the decimal point facts() read; each is read as the
    // bulk read reads it.
    int16_t words[2] = {};
    const uint16_t regs[2] = {reg::pvOffset, reg::swFilter};
    for (int i = 0; i < 2; ++i) {
        const Transaction t(c_.line(), settle::bulk);
        const Outcome o = readRegisters(c_, regs[i]);
        if (!o.ok()) return why(i == 0 ? "its PV offset" : "its SW filter", o);
        storeWord(c_, regs[i], o.words[0]);
        words[i] = int16_t(o.words[0]);
    }
    const Scale scale = c_.scale();
    return ZoneCorrections{scale.toValue(words[0]), scale.toValue(words[1])};
}
