#include "serve/session_line.h"

#include "link/line.h"
#include "link/probe_result.h"
#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "monitor/checked_writes.h"
#include "monitor/controller_poll.h"
#include "monitor/live_writes.h"
#include "params/bulk_read.h"
#include "params/encodings.h"
#include "params/mode_write.h"
#include "params/parameter_listing.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "params/value_text.h"
#include "program/mode_polls.h"
#include "program/poll_decode.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "traffic/traffic_tap.h"

#include <cerrno>
#include <map>

namespace {

std::string failure(const Outcome& o) {
    return (o.refused() ? "refused (" : "not confirmed (") + describe(o) + ")";
}

} // namespace

SessionLine::SessionLine(int com, const LineConfig& config, Log log, std::function<bool()> stopping,
                         TrafficTap* tap)
    : com_(com), tap_(tap), config_(config), log_(std::move(log)), stopping_(std::move(stopping)) {
    // A port that will not open is told in the bridge's log, once, from
    // what its port object keeps; not on stderr at every poll that tries.
    setOpenFailureReport([](int, const std::string&, const std::string&, int) {});
    // A parameter read, the longest transfer, ends between two registers.
    line_.setTransferWatcher([this](int, int) { return !stopping_(); });
    // The trace reads values in the first controller's scale.
    if (tap_ && !config_.ids.empty())
        traceLine(*tap_, controllers_.at(uint16_t(config_.ids.front())));
}

void SessionLine::countFrames() {
    if (countHandle_ == 0)
        countHandle_ =
            line_.addFrameObserver([this](const FrameRecord& r) { statistics_.note(r); });
}

SessionLine::~SessionLine() {
    if (countHandle_ != 0) line_.removeFrameObserver(countHandle_);
    line_.release();
    if (tap_ && !config_.ids.empty())
        untraceLine(*tap_, controllers_.at(uint16_t(config_.ids.front())));
}

bool SessionLine::ready() {
    if (open_ && line_.portUsable()) return true;
    if (open_) lineGone();
    // Only the port's own device is opened again; a pseudo-terminal's number,
    // reused, leads to another program's.
    if (!line_.port().mayOpenAgain()) {
        closedWhy_ = line_.port().notOpenedAgainWhy();
        closedError_ = ENODEV;
        return false;
    }
    setComDevice(com_, config_.port);
    Line& s = line_;
    s.setComPort(com_);
    s.setBaudRate(int32_t(config_.baud));
    const int opened = s.open();
    const std::string why = s.port().openReason();
    const int error = s.port().openErrno();
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
    // Whoever answers on the port now is asked who it is first.
    for (int id : config_.ids)
        controllers_.at(uint16_t(id)).noteModel(0);
    return true;
}

int SessionLine::openFirst(std::string* why) {
    if (ready()) return 0;
    *why = closedWhy_;
    return closedError_;
}

bool SessionLine::lineGone() {
    // The exchange closed the port; it is opened again when the device is back.
    if (open_)
        log_(line_.port().mayOpenAgain()
                 ? config_.port + " is lost; reconnecting when it is back"
                 : config_.port + " is lost: " + line_.port().notOpenedAgainWhy());
    open_ = false;
    for (int id : config_.ids)
        controllers_.at(uint16_t(id)).noteModel(0);
    return false;
}

bool SessionLine::noted(Controller& c, const Outcome& o) {
    if (o.fault == Fault::lineLost) return lineGone();
    // A controller that comes back is asked who it is before it is polled again.
    if (c.health().silent()) c.noteModel(0);
    return !o.silent();
}

Controller* SessionLine::select(int id, std::string* why) {
    Controller& c = controllers_.at(uint16_t(id));
    if (c.controllerVariant() != 0) return &c;
    bool& foreign = foreign_[id];
    const ProbeResult p = c.probe();
    if (!line_.port().isOpen()) {
        *why = "the line is lost";
        lineGone();
        return nullptr;
    }
    if (p.answered) {
        foreign = false;
        return &c;
    }
    if (p.modelCode != 0 && !foreign)
        log_("id " + std::to_string(id) + " answers with model code " +
             std::to_string(p.modelCode) + ", which is no Q7 controller");
    foreign = p.modelCode != 0;
    const std::string reply = probeReplyText(p, uint16_t(id));
    *why = reply.empty() ? describe(p.fault, p.exceptionCode) : reply;
    return nullptr;
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
    Controller* asked = select(id, &r.why);
    if (!asked) return r;
    Controller& c = *asked;
    const PollReading p = pollController(c);
    noted(c, Outcome{p.fault, p.exceptionCode, {}});
    r.answered = p.answered;
    if (!p.answered) r.why = describe(p.fault, p.exceptionCode);
    if (p.foreignModel != 0) r.why = p.problem();
    r.words = p.words;
    r.pv = p.pv;
    r.sv = p.sv;
    r.manualOut = p.out;
    r.out = reportedOutput(p);
    r.decimals = p.digits;
    if (p.unit) r.unit = temperatureUnit(*p.unit);
    if (p.mode) r.mode = codeOf(*p.mode);
    if (p.status) {
        r.alarm1 = (*p.status & reg::alarm1Output) != 0;
        r.alarm2 = (*p.status & reg::alarm2Output) != 0;
        const RunStatus run = decodeRunStatus(*p.status, kProgramSegments);
        r.programRunning = run.running;
        if (run.segment >= 0) {
            r.programStep = run.segment / 2 + 1;
            r.programSegment = run.segment % 2 + 1;
        }
    }
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
    std::string reply;
    Controller* asked = select(id, &reply);
    if (!asked) {
        *why = "the controller does not answer (" + reply + ")";
        return std::nullopt;
    }
    Controller& c = *asked;
    const BulkReadResult read = ::readParameters(c);
    if (read.cancelled) {
        *why = "the bridge is stopping";
        return std::nullopt;
    }
    if (read.silent) {
        // The transfer ended on the silence rule: the controller is asked
        // who it is before anything else, or the port is gone.
        if (line_.port().isOpen())
            c.noteModel(0);
        else
            lineGone();
        *why = "the controller stopped answering after " + std::to_string(read.registersRead) +
               " parameters";
        return std::nullopt;
    }
    if (!read.failed.empty()) {
        *why = "no good reply for";
        for (uint16_t reg : read.failed)
            *why += (reg == read.failed.front() ? " " : ", ") + parmRegisterName(reg);
        return std::nullopt;
    }
    std::vector<Parameter> out;
    for (ListedParameter& p : listParameters(c, read))
        out.push_back({p.key, p.name, p.number, p.text, p.unit});
    return out;
}

Controller* SessionLine::controller(int id, std::string* why) {
    if (stopping_()) {
        *why = "the bridge is stopping";
        return nullptr;
    }
    if (!ready()) {
        *why = "the line's port is not open";
        return nullptr;
    }
    std::string reply;
    Controller* c = select(id, &reply);
    if (!c) *why = "the controller does not answer (" + reply + ")";
    return c;
}

Outcome SessionLine::readWords(int id, uint8_t function, uint16_t reg, uint16_t count) {
    std::string why;
    Controller* c = controller(id, &why);
    if (!c) return Outcome{};
    const Transaction t(line_, settle::poll);
    const Outcome o = Transfer(*c).read(reg, count, function);
    noted(*c, o);
    return o;
}

SettingResult SessionLine::setWord(int id, Setting what, uint16_t word) {
    if (what == Setting::sv) return write(id, what, 0, int16_t(word));
    if (what == Setting::out) return write(id, what, outputLevelPercent(word), std::nullopt);
    // The modes an operator may pick; the program's own is started by its run switch.
    if (word > codeOf(ControlMode::manual)) {
        SettingResult r;
        r.digits = 0;
        r.valueRefused = true;
        r.reason = "not sent: " + std::to_string(word) + " is no mode that may be set";
        return r;
    }
    return write(id, what, word, std::nullopt);
}

SettingResult SessionLine::set(int id, Setting what, double value) {
    return write(id, what, value, std::nullopt);
}

SettingResult SessionLine::write(int id, Setting what, double value,
                                 std::optional<int16_t> svWord) {
    SettingResult r;
    r.digits = what == Setting::mode ? 0 : 1;
    if (what == Setting::out)
        if (std::string problem = outputLevelProblem(value); !problem.empty()) {
            r.reason = "not sent: " + problem;
            r.valueRefused = true;
            return r;
        }
    r.fault = Fault::noReply; // until something came back
    if (stopping_()) {
        r.reason = "not sent: the bridge is stopping";
        return r;
    }
    std::string reply;
    Controller* asked = ready() ? select(id, &reply) : nullptr;
    if (!asked) {
        r.reason = open_ ? "not sent: the controller does not answer (" + reply + ")"
                         : "not sent: the line's port is not open";
        return r;
    }
    Controller& c = *asked;
    if (what == Setting::mode) {
        const Outcome o = writeModeGuarded(c, ControlMode(int(value)));
        noted(c, o);
        r.fault = o.fault;
        r.ok = o.ok();
        r.taken = !o.refused();
        if (r.ok) {
            r.holds = value;
            return r;
        }
        r.reason = failure(o);
        if (const auto held = readControlMode(c)) r.holds = codeOf(*held);
        return r;
    }
    CheckedWrite w;
    if (what == Setting::sv) {
        // The set value is written in the decimal point the controller holds now.
        const Outcome dp = readDecimalPoint(c);
        if (!noted(c, dp) || !dp.ok()) {
            r.reason = "not sent: no good reply for the decimal point (" + describe(dp) + ")";
            r.fault = dp.fault;
            return r;
        }
        r.digits = c.scale().digits();
        if (stopping_()) {
            r.reason = "not sent: the bridge is stopping";
            return r;
        }
        w = setSetValue(c, svWord ? c.scale().toValue(*svWord) : value);
    } else {
        w = setOutputLevel(c, value);
    }
    if (w.limitsUnread) {
        noted(c, *w.limitsUnread);
        r.reason =
            "not sent: no good reply for the Lo/Hi limits (" + describe(*w.limitsUnread) + ")";
        r.fault = w.limitsUnread->fault;
        return r;
    }
    if (!w.notSent.empty()) {
        r.reason = "not sent: SV " + w.notSent;
        r.valueRefused = true;
        r.fault = Fault::none;
        return r;
    }
    noted(c, w.outcome);
    r.fault = w.outcome.fault;
    r.ok = w.outcome.ok();
    r.taken = !w.outcome.refused();
    if (!r.ok) r.reason = failure(w.outcome);
    if (w.held)
        r.holds =
            what == Setting::sv ? c.scale().toValue(int16_t(*w.held)) : outputLevelPercent(*w.held);
    return r;
}
