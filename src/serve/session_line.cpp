#include "serve/session_line.h"

#include "cli/parameter_listing.h"
#include "cli/value_text.h"
#include "link/line.h"
#include "link/probe_result.h"
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
#include "traffic/traffic_tap.h"

namespace {

// The COM number the bridge's line goes by; the config names its device.
constexpr int kCom = 1;
// Eight steps of two segments each.
constexpr int kProgramSegments = 16;

std::string failure(const Outcome& o) {
    return (o.refused() ? "refused (" : "not confirmed (") + describe(o) + ")";
}

} // namespace

SessionLine::SessionLine(const LineConfig& config, Log log, std::function<bool()> stopping)
    : config_(config), log_(std::move(log)), stopping_(std::move(stopping)) {
    for (int id : config_.ids)
        polled_[id];
    // A parameter read, the longest transfer, ends between two registers.
    line_.setTransferWatcher([this](int, int) { return !stopping_(); });
    traceLine(controller_);
}

SessionLine::~SessionLine() {
    CloseCom(kCom);
    untraceLine(controller_);
}

bool SessionLine::ready() {
    if (open_ && comIsOpen(kCom) && !comLost(kCom)) return true;
    if (open_) lineGone();
    setComDevice(kCom, config_.port);
    Line& s = line_;
    s.setComPort(kCom);
    s.setBaudRate(int32_t(config_.baud));
    std::string why;
    int error = 0;
    setOpenFailureReport([&](int, const std::string&, const std::string& reason, int err) {
        why = reason;
        error = err;
    });
    const int opened = s.open();
    setOpenFailureReport({});
    if (opened < 0) {
        // Told once, not on every poll that tries again.
        if (why != closedWhy_)
            log_("cannot open " + config_.port + " (" + why + "); trying again at every poll");
        closedWhy_ = why.empty() ? "?" : why;
        closedError_ = error;
        return false;
    }
    log_((closedWhy_.empty() ? "polling " : "open again: polling ") + config_.port + " at " +
         std::to_string(config_.baud) + " baud");
    closedWhy_.clear();
    closedError_ = 0;
    open_ = true;
    for (auto& [id, entry] : polled_)
        entry.probed = false;
    return true;
}

int SessionLine::openFirst(std::string* why) {
    if (ready()) return 0;
    *why = closedWhy_;
    return closedError_;
}

bool SessionLine::lineGone() {
    // The exchange closed the port; it is opened again when the device is back.
    if (open_) log_(config_.port + " is lost; reconnecting when it is back");
    open_ = false;
    for (auto& [id, entry] : polled_) {
        entry.silence.lineLost();
        entry.probed = false;
    }
    return false;
}

bool SessionLine::note(Polled& entry, bool silent, int requests) {
    for (int i = 0; i < (silent ? requests : 1); ++i)
        entry.silence.note(silent);
    // A controller that comes back is asked who it is before it is polled again.
    if (entry.silence.reached()) entry.probed = false;
    return !silent;
}

bool SessionLine::noteRead(Polled& entry, const Outcome& o) {
    return o.fault == Fault::lineLost ? lineGone() : note(entry, o.silent(), retry::kReadAttempts);
}

bool SessionLine::noteWrite(Polled& entry, const Outcome& o) {
    return o.fault == Fault::lineLost ? lineGone() : note(entry, o.silent(), retry::kWriteAttempts);
}

bool SessionLine::select(int id, std::string* why) {
    controller_.setControllerId(uint16_t(id));
    Polled& entry = polled_[id];
    if (entry.probed) return true;
    const ProbeResult p = controller_.probe();
    if (!comIsOpen(kCom)) {
        *why = "the line is lost";
        return lineGone();
    }
    if (p.answered) {
        entry.probed = true;
        entry.foreign = false;
        return note(entry, false);
    }
    if (p.modelCode != 0 && !entry.foreign)
        log_("id " + std::to_string(id) + " answers with model code " +
             std::to_string(p.modelCode) + ", which is no Q7 controller");
    entry.foreign = p.modelCode != 0;
    note(entry, p.modelCode == 0, retry::kProbeAttempts);
    const std::string reply = probeReplyText(p, uint16_t(id));
    *why = reply.empty() ? describe(p.fault, p.exceptionCode) : reply;
    return false;
}

Reading SessionLine::poll(int id) {
    Reading r;
    if (stopping_()) {
        r.stopped = true;
        return r;
    }
    if (!ready()) {
        r.why = "the port is not open (" + closedWhy_ + ")";
        return r;
    }
    if (!select(id, &r.why)) return r;
    Polled& entry = polled_[id];
    bool going = true;
    std::string fault; // what came back in place of the last reply that failed
    auto judge = [&](const Outcome& o) {
        going = noteRead(entry, o) && !stopping_();
        if (o.ok())
            r.answered = true;
        else
            fault = describe(o);
    };
    // One validated read, as `q7 get` makes it; nothing more once the
    // controller stopped answering, so a silent one costs one request.
    auto read = [&](uint16_t reg) -> std::optional<uint16_t> {
        if (!going) return std::nullopt;
        const Outcome o = validatedReadOutcome(controller_, reg);
        judge(o);
        return o.ok() ? std::optional<uint16_t>(o.words[0]) : std::nullopt;
    };
    // Every scaled value hangs on the decimal point read now: another
    // controller's, or an old one, would scale it wrongly.
    const Outcome dp = readDecimalPoint(controller_);
    judge(dp);
    if (dp.ok()) r.decimals = controller_.scale().digits();
    if (const auto w = read(reg::unitCF)) r.unit = temperatureUnit(*w);
    if (const auto w = read(reg::controlMode)) r.mode = *w & 0xFF;
    if (const auto w = read(reg::outputLevel)) r.out = outputLevelPercent(*w);
    if (const auto w = read(reg::status))
        r.programRunning = decodeRunStatus(*w, kProgramSegments).running;
    // PV last: it reaches the broker as soon as it was read.
    if (const auto w = read(reg::svRead); w && dp.ok())
        r.sv = controller_.scale().toValue(int16_t(*w));
    if (const auto w = read(reg::pv); w && dp.ok()) r.pv = controller_.scale().toValue(int16_t(*w));
    if (!r.answered) r.why = fault;
    return r;
}

std::optional<std::vector<Parameter>> SessionLine::readParameters(int id, std::string* why) {
    if (stopping_()) {
        *why = "the bridge is stopping";
        return std::nullopt;
    }
    if (!ready()) {
        *why = "the line's port is not open";
        return std::nullopt;
    }
    if (std::string reply; !select(id, &reply)) {
        *why = "the controller does not answer (" + reply + ")";
        return std::nullopt;
    }
    Polled& entry = polled_[id];
    // As a headless command starts: nothing another controller left in the
    // record passes for this one's.
    controller_.forgetRecord();
    const BulkReadResult read = ::readParameters(controller_);
    if (read.cancelled) {
        *why = "the bridge is stopping";
        return std::nullopt;
    }
    if (read.silent) {
        // The transfer ended on the silence rule, which makes the controller silent.
        if (comIsOpen(kCom))
            note(entry, true, retry::kSilentExchanges);
        else
            lineGone();
        *why = "the controller stopped answering after " + std::to_string(read.registersRead) +
               " parameters";
        return std::nullopt;
    }
    note(entry, false);
    if (!read.failed.empty()) {
        *why = "no good reply for";
        for (uint16_t reg : read.failed)
            *why += (reg == read.failed.front() ? " " : ", ") + parmRegisterName(reg);
        return std::nullopt;
    }
    std::vector<Parameter> out;
    for (ListedParameter& p : listParameters(controller_, read))
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
    if (stopping_()) {
        r.reason = "not sent: the bridge is stopping";
        return r;
    }
    std::string reply;
    if (!ready() || !select(id, &reply)) {
        r.reason = open_ ? "not sent: the controller does not answer (" + reply + ")"
                         : "not sent: the line's port is not open";
        return r;
    }
    Polled& entry = polled_[id];
    controller_.forgetRecord();
    if (what == Setting::mode) {
        const Outcome o = writeModeGuarded(controller_, ControlMode(int(value)));
        noteWrite(entry, o);
        r.ok = o.ok();
        if (r.ok) {
            r.holds = value;
            return r;
        }
        r.reason = failure(o);
        if (const auto held = readControlMode(controller_)) r.holds = codeOf(*held);
        return r;
    }
    CheckedWrite w;
    if (what == Setting::sv) {
        const Outcome dp = readDecimalPoint(controller_);
        if (!noteRead(entry, dp) || !dp.ok()) {
            r.reason = "not sent: no good reply for the decimal point (" + describe(dp) + ")";
            return r;
        }
        r.digits = controller_.scale().digits();
        if (stopping_()) {
            r.reason = "not sent: the bridge is stopping";
            return r;
        }
        w = setSetValue(controller_, value);
    } else {
        w = setOutputLevel(controller_, value);
    }
    if (w.limitsUnread) {
        noteRead(entry, *w.limitsUnread);
        r.reason =
            "not sent: no good reply for the Lo/Hi limits (" + describe(*w.limitsUnread) + ")";
        return r;
    }
    if (!w.notSent.empty()) {
        r.reason = "not sent: SV " + w.notSent;
        return r;
    }
    noteWrite(entry, w.outcome);
    r.ok = w.outcome.ok();
    if (!r.ok) r.reason = failure(w.outcome);
    if (w.held)
        r.holds = what == Setting::sv ? controller_.scale().toValue(int16_t(*w.held))
                                      : outputLevelPercent(*w.held);
    return r;
}
