#include "serve/session_line.h"

#include "cli/parameter_listing.h"
#include "cli/value_text.h"
#include "link/line.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "monitor/checked_writes.h"
#include "monitor/live_writes.h"
#include "params/bulk_read.h"
#include "params/encodings.h"
#include "params/mode_write.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "program/mode_polls.h"
#include "program/poll_decode.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"

namespace {

// The COM number the bridge's line goes by; the config names its device.
constexpr int kCom = 1;
// Eight steps of two segments each.
constexpr int kProgramSegments = 16;

double scaled(uint16_t word) {
    return sessionController().scale().toValue(int16_t(word));
}

std::string failure(const Outcome& o) {
    return (o.refused() ? "refused (" : "not confirmed (") + describe(o) + ")";
}

} // namespace

SessionLine::SessionLine(const LineConfig& config, Log log)
    : config_(config), log_(std::move(log)) {
    for (int id : config_.ids)
        controllers_[id];
}

SessionLine::~SessionLine() {
    CloseCom(kCom);
}

bool SessionLine::ready() {
    if (open_ && comIsOpen(kCom) && !comLost(kCom)) return true;
    if (open_) lineGone();
    setComDevice(kCom, config_.port);
    Line& s = session();
    s.setComPort(kCom);
    s.setBaudRate(int32_t(config_.baud));
    std::string why;
    setOpenFailureReport(
        [&](int, const std::string&, const std::string& reason, int) { why = reason; });
    const int opened = s.open();
    setOpenFailureReport({});
    if (opened < 0) {
        // Told once, not on every poll that tries again.
        if (why != closedWhy_)
            log_("cannot open " + config_.port + " (" + why + "); trying again at every poll");
        closedWhy_ = why.empty() ? "?" : why;
        return false;
    }
    log_((closedWhy_.empty() ? "polling " : "open again: polling ") + config_.port + " at " +
         std::to_string(config_.baud) + " baud");
    closedWhy_.clear();
    open_ = true;
    for (auto& [id, c] : controllers_)
        c.probed = false;
    return true;
}

bool SessionLine::lineGone() {
    // The exchange closed the port; it is opened again when the device is back.
    if (open_) log_(config_.port + " is lost; reconnecting when it is back");
    open_ = false;
    for (auto& [id, c] : controllers_) {
        c.silence.lineLost();
        c.probed = false;
    }
    return false;
}

bool SessionLine::note(Controller& c, bool silent, int requests) {
    for (int i = 0; i < (silent ? requests : 1); ++i)
        c.silence.note(silent);
    // A controller that comes back is asked who it is before it is polled again.
    if (c.silence.reached()) c.probed = false;
    return !silent;
}

bool SessionLine::noteRead(Controller& c, const Outcome& o) {
    return o.fault == Fault::lineLost ? lineGone() : note(c, o.silent(), retry::kReadAttempts);
}

bool SessionLine::noteWrite(Controller& c, const Outcome& o) {
    return o.fault == Fault::lineLost ? lineGone() : note(c, o.silent(), retry::kWriteAttempts);
}

bool SessionLine::select(int id) {
    sessionController().setControllerId(uint16_t(id));
    Controller& c = controllers_[id];
    if (c.probed) return true;
    const ProbeResult p = sessionController().probe();
    if (!comIsOpen(kCom)) return lineGone();
    if (p.answered) {
        c.probed = true;
        c.foreign = false;
        return note(c, false);
    }
    if (p.modelCode != 0 && !c.foreign)
        log_("id " + std::to_string(id) + " answers with model code " +
             std::to_string(p.modelCode) + ", which is no Q7 controller");
    c.foreign = p.modelCode != 0;
    note(c, p.modelCode == 0, retry::kProbeAttempts);
    return false;
}

bool SessionLine::available(int id) const {
    const auto it = controllers_.find(id);
    if (it == controllers_.end()) return false;
    const Controller& c = it->second;
    return open_ && c.probed && !c.foreign && !c.silence.reached();
}

Reading SessionLine::poll(int id) {
    Reading r;
    if (!ready() || !select(id)) return r;
    Controller& c = controllers_[id];
    bool going = true;
    // One validated read, as `q7 get` makes it; nothing more once the
    // controller stopped answering, so a silent one costs one request.
    auto read = [&](uint16_t reg) -> std::optional<uint16_t> {
        if (!going) return std::nullopt;
        const Outcome o = validatedReadOutcome(reg);
        going = noteRead(c, o);
        r.answered = r.answered || o.ok();
        return o.ok() ? std::optional<uint16_t>(o.words[0]) : std::nullopt;
    };
    // Every scaled value hangs on the decimal point read now: another
    // controller's, or an old one, would scale it wrongly.
    const Outcome dp = readDecimalPoint();
    going = noteRead(c, dp);
    r.answered = dp.ok();
    if (dp.ok()) r.decimals = sessionController().scale().digits();
    if (const auto w = read(reg::unitCF)) r.unit = temperatureUnit(*w);
    if (const auto w = read(reg::controlMode)) r.mode = *w & 0xFF;
    if (const auto w = read(reg::outputLevel)) r.out = outputLevelPercent(*w);
    if (const auto w = read(reg::status))
        r.programRunning = decodeRunStatus(*w, kProgramSegments).running;
    // PV last: it reaches the broker as soon as it was read.
    if (const auto w = read(reg::svRead); w && dp.ok()) r.sv = scaled(*w);
    if (const auto w = read(reg::pv); w && dp.ok()) r.pv = scaled(*w);
    return r;
}

std::optional<std::vector<Parameter>> SessionLine::readParameters(int id, std::string* why) {
    if (!ready()) {
        *why = "the line's port is not open";
        return std::nullopt;
    }
    if (!select(id)) {
        *why = "the controller does not answer";
        return std::nullopt;
    }
    Controller& c = controllers_[id];
    // As a headless command starts: nothing another controller left in the
    // record passes for this one's.
    sessionController().forgetRecord();
    const BulkReadResult read = ::readParameters();
    if (read.silent) {
        // The transfer ended on the silence rule, which makes the controller silent.
        if (comIsOpen(kCom))
            note(c, true, retry::kSilentExchanges);
        else
            lineGone();
        *why = "the controller stopped answering after " + std::to_string(read.registersRead) +
               " parameters";
        return std::nullopt;
    }
    note(c, false);
    if (!read.failed.empty()) {
        *why = "no good reply for";
        for (uint16_t reg : read.failed)
            *why += (reg == read.failed.front() ? " " : ", ") + parmRegisterName(reg);
        return std::nullopt;
    }
    std::vector<Parameter> out;
    for (ListedParameter& p : listParameters(read))
        out.push_back({p.key, p.name, p.number, p.text, p.unit});
    return out;
}

SettingResult SessionLine::set(int id, Setting what, double value) {
    SettingResult r;
    r.digits = what == Setting::mode ? 0 : 1;
    if (what == Setting::out)
        if (std::string problem = outputLevelProblem(value); !problem.empty()) {
            r.reason = "not sent: " + problem;
            return r;
        }
    if (!ready() || !select(id)) {
        r.reason = open_ ? "not sent: the controller does not answer"
                         : "not sent: the line's port is not open";
        return r;
    }
    Controller& c = controllers_[id];
    sessionController().forgetRecord();
    if (what == Setting::mode) {
        const Outcome o = writeModeGuarded(ControlMode(int(value)));
        noteWrite(c, o);
        r.ok = o.ok();
        if (r.ok) {
            r.holds = value;
            return r;
        }
        r.reason = failure(o);
        if (const auto held = readControlMode()) r.holds = codeOf(*held);
        return r;
    }
    CheckedWrite w;
    if (what == Setting::sv) {
        const Outcome dp = readDecimalPoint();
        if (!noteRead(c, dp) || !dp.ok()) {
            r.reason = "not sent: no good reply for the decimal point (" + describe(dp) + ")";
            return r;
        }
        r.digits = sessionController().scale().digits();
        w = setSetValue(value);
    } else {
        w = setOutputLevel(value);
    }
    if (w.limitsUnread) {
        noteRead(c, *w.limitsUnread);
        r.reason =
            "not sent: no good reply for the Lo/Hi limits (" + describe(*w.limitsUnread) + ")";
        return r;
    }
    if (!w.notSent.empty()) {
        r.reason = "not sent: SV " + w.notSent;
        return r;
    }
    noteWrite(c, w.outcome);
    r.ok = w.outcome.ok();
    if (!r.ok) r.reason = failure(w.outcome);
    if (w.held) r.holds = what == Setting::sv ? scaled(*w.held) : outputLevelPercent(*w.held);
    return r;
}
