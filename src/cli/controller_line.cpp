#include "cli/controller_line.h"

#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/signal_stop.h"
#include "connection/com_settings_file.h"
#include "link/controller.h"
#include "link/line.h"
#include "params/bulk_read.h"
#include "serial/com_map.h"
#include "serial/net_endpoint.h"
#include "serial/port_discovery.h"
#include "serial/serial_service.h"
#include "sim/sim_controller.h"
#include "traffic/traffic_tap.h"

#include <cerrno>
#include <cstdio>

namespace {

// Why the port did not open, and what to do about it.
std::string openAdvice(int error, const std::string& device) {
    if (isNetworkDevice(device)) return ": check the gateway's address and port, and that it is on";
    switch (error) {
    case EACCES:
        return ": add yourself to the 'dialout' group (sudo adduser $USER dialout) and log in "
               "again";
    case EBUSY:
        return ": another program has it open; end that one first";
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return ": 'q7 ports' lists the ports found; name the device with --com N=DEVICE";
    default:
        return "";
    }
}

// What to look at when the probe was answered, but not by a Q7 controller.
// Behind a gateway the baud rate is the gateway's setting, not --baud's.
std::string probeAdvice(Fault fault, bool gateway) {
    switch (fault) {
    case Fault::damaged:
        return gateway ? "check the gateway's serial settings (baud rate, parity) and its cable"
                       : "check the baud rate (--baud) and the cable";
    case Fault::wrongSlave:
        return "another device answers on this line; check the id (--id)";
    default:
        return "check the id (--id)";
    }
}

} // namespace

ControllerLine::ControllerLine(const HeadlessOptions& options)
    : tap_(options.tap ? *options.tap : ownTap_), traceFile_(options.traceFile),
      simulate_(options.simulate) {
    const ComSettingsFields saved = loadComSettings().value_or(ComSettingsFields{});
    mapSavedEndpoint(saved);
    port_ = options.port ? *options.port : saved.port ? int(*saved.port) : 1;
    ids_ = options.ids;
    if (ids_.empty()) {
        ids_.push_back(saved.controllerId ? int(*saved.controllerId) : 1);
        if (saved.badControllerId) badSavedId_ = *saved.badControllerId;
    }
    id_ = ids_.front();
    current_ = &controllers_.at(uint16_t(id_));
    baud_ = options.baud ? *options.baud : saved.baudRate ? long(*saved.baudRate) : 19200;
    if (!options.baud && saved.badBaudRate)
        std::fprintf(stderr, "q7: %s: the baud rate %s is not one the line runs at; using %ld\n",
                     kComSettingsFile, saved.badBaudRate->c_str(), baud_);
    parity_ = saved.parity.value_or(0);
    stopBits_ = saved.stopBits.value_or(2);
    // A signal a SignalStop caught ends a transfer between two registers.
    line_.setTransferWatcher([](int, int) { return SignalStop::received() == 0; });
    traceLine(tap_, controller());
}

ControllerLine::~ControllerLine() {
    line_.release();
    untraceLine(tap_, controller());
    setOpenFailureReport({});
    if (simulator_) simulator_->stop();
}

std::string ControllerLine::portText() const {
    return "COM" + std::to_string(port_) + " (" + comDevice(port_) + ")";
}

bool ControllerLine::throughGateway() const {
    return isNetworkDevice(comDevice(port_));
}

std::string ControllerLine::where() const {
    return portText() + ", id " + std::to_string(id_);
}

void ControllerLine::useId(int id) {
    if (id == id_) return;
    untraceLine(tap_, controller());
    id_ = id;
    current_ = &controllers_.at(uint16_t(id));
    // The trace reads values in the scale of the controller asked.
    traceLine(tap_, controller());
}

int ControllerLine::connect() {
    // The file's id is the one to ask; one that is no id is never replaced
    // by a guess, which would address another controller.
    if (!badSavedId_.empty())
        return fail(exitstatus::usage, std::string(kComSettingsFile) +
                                           " holds the controller id \"" + badSavedId_ +
                                           "\", which is no id (1 to 247); name one with --id");
    if (const int s = open()) return s;
    const ProbeResult probe = controller().probe();
    if (!probe.answered) {
        // Something answered: what it was says more than a cable to check.
        if (const std::string reply = probeReplyText(probe, uint16_t(id_)); !reply.empty())
            return fail(exitstatus::noController, where() + " answers with " + reply + ": " +
                                                      probeAdvice(probe.fault, throughGateway()));
        if (throughGateway())
            return fail(exitstatus::noController,
                        "no answer from the controller on " + where() +
                            " through the gateway: check the gateway's serial settings (baud "
                            "rate, parity) and its cable, the controller's power and the id "
                            "(--id)");
        return fail(exitstatus::noController,
                    "no answer from the controller on " + where() + " at " + std::to_string(baud_) +
                        " baud: check the cable, its power, the id (--id) and the baud rate "
                        "(--baud)");
    }
    model_ = char(probe.modelCode);
    return exitstatus::ok;
}

int ControllerLine::open() {
    if (opened_) return exitstatus::ok;
    if (!traceFile_.empty() && !tap_.tracing()) {
        std::string why;
        if (!tap_.startTrace(traceFile_, &why))
            return fail(exitstatus::usage, "cannot write the trace " + why);
        traceLine(tap_, controller());
    }
    if (simulate_) {
        sim::SimOptions options;
        options.variant = *simulate_;
        // Several ids on the command line: the simulator answers them all.
        if (ids_.size() == 1)
            options.slaveId = uint8_t(id_);
        else
            options.ids.assign(ids_.begin(), ids_.end());
        options.baudRate = baud_;
        options.timeScale = simTimeScale_;
        simulator_ = std::make_unique<sim::SimController>(options);
        if (!simulator_->start())
            return fail(exitstatus::noController, "cannot start the simulated controller");
        setSimulatedDevice(simulator_->devicePath());
    } else {
        // Adapters get their COM numbers as in the port selector and `q7 ports`.
        setFoundPorts(discoverPorts(discoveryRoots()));
    }

    Line& s = line_;
    s.setComPort(uint16_t(port_));
    s.setBaudRate(int32_t(baud_));
    s.setCharacterFrame(parity_, stopBits_);
    if (const int status = openPort("")) return status;
    opened_ = true;
    return exitstatus::ok;
}

int ControllerLine::reopen() {
    if (!opened_ || line_.portUsable()) return exitstatus::ok;
    if (!line_.port().mayOpenAgain())
        return fail(exitstatus::noController, "cannot open COM" + std::to_string(port_) +
                                                  " again (" + line_.port().notOpenedAgainWhy() +
                                                  ")");
    return openPort(" again");
}

// Opens the line's port, told as "cannot open COM3 again (why)" on failure.
int ControllerLine::openPort(const char* again) {
    std::string why;
    int error = 0;
    setOpenFailureReport([&](int, const std::string&, const std::string& reason, int err) {
        why = reason;
        error = err;
    });
    const int opened = line_.open();
    setOpenFailureReport({});
    if (opened == kComBadPort)
        return fail(exitstatus::noController,
                    "COM" + std::to_string(port_) + " is no port: use --port 1 to 255");
    if (opened < 0)
        return fail(exitstatus::noController, "cannot open COM" + std::to_string(port_) + again +
                                                  " (" + why + ")" +
                                                  openAdvice(error, comDevice(port_)));
    return exitstatus::ok;
}

int ControllerLine::readScale() {
    const Outcome o = readDecimalPoint(controller());
    if (o.ok()) return exitstatus::ok;
    if (o.silent()) return stoppedAnswering("before its decimal point was read");
    return fail(exitstatus::notConfirmed, "the controller did not give its decimal point (" +
                                              describe(o) + "); nothing was changed");
}

int ControllerLine::stoppedAnswering(const std::string& what) const {
    return fail(exitstatus::noController, "the controller on " + where() + " stopped answering " +
                                              what + ": check the cable and its power");
}
