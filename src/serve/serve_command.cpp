#include "serve/serve_command.h"

#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "runs/run_store.h"
#include "serve/modbus_desk.h"
#include "serve/modbus_server.h"
#include "serve/influx_output.h"
#include "serve/mqtt_link.h"
#include "serve/plant.h"
#include "serve/serve_setup.h"
#include "serve/topics.h"
#include "traffic/traffic_tap.h"
#include "web/listen_address.h"
#include "web/plant_view.h"
#include "web/web_view.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <pthread.h>
#include <thread>

namespace {

void logLine(const std::string& text) {
    std::fprintf(stderr, "q7 serve: %s\n", text.c_str());
    std::fflush(stderr);
}

// SIGTERM and SIGINT end the bridge between two requests, SIGHUP has it
// read its config again: blocked in every thread, they are taken by one
// that stops the inbox or asks for the reload. They stay blocked until the
// program ends, so a second one cannot cut the ending short.
class StopOnSignal {
  public:
    StopOnSignal(Inbox& inbox, std::function<void()> reload) : inbox_(inbox) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        // A broker that hangs up mid-write is an error to handle, not a death.
        std::signal(SIGPIPE, SIG_IGN);
        waiter_ = std::thread([this, set, &inbox, reload = std::move(reload)] {
            int signal = 0;
            while (sigwait(&set, &signal) == 0 && signal == SIGHUP && !ending_) {
                logLine("reloading the config");
                reload();
            }
            if (!ending_) logLine("stopping");
            inbox.stop();
        });
    }
    ~StopOnSignal() {
        // Ended for a reason of its own: the waiter is woken the way it waits.
        if (!inbox_.stopped()) {
            ending_ = true;
            pthread_kill(waiter_.native_handle(), SIGTERM);
        }
        waiter_.join();
    }

  private:
    Inbox& inbox_;
    std::atomic<bool> ending_{false};
    std::thread waiter_;
};

} // namespace

int runServe(const HeadlessOptions& options) {
    const CommandArgs args =
        parseCommandArgs(Words(options.words.begin() + 1, options.words.end()), {}, {"--config"});
    if (const int s = expectWords("serve", args, 0, "only --config FILE")) return s;
    const auto file = args.value("--config");
    if (!file) return usageError("serve", "serve needs --config FILE");
    if (options.port || !options.ids.empty() || options.baud || options.simulate)
        return usageError("serve", "serve takes its line from the config, not from --port, "
                                   "--id, --baud or --simulate");
    auto loaded = loadServeConfig(*file);
    if (const auto* why = std::get_if<std::string>(&loaded)) return fail(exitstatus::usage, *why);
    // A rules file that does not read, or whose rules write where a line may
    // not, is refused now, naming its line, not found wanting by each line
    // as it starts.
    auto rules = serveAlarmRules(*file, std::get<ServeConfig>(loaded),
                                 std::get<ServeConfig>(loaded).broker.alarms);
    if (const auto* why = std::get_if<std::string>(&rules)) return fail(exitstatus::usage, *why);
    const ServeConfig config = std::move(std::get<ServeConfig>(loaded));
    TrafficTap ownTap;
    TrafficTap& tap = options.tap ? *options.tap : ownTap;
    std::string why;
    if (!options.traceFile.empty() && !tap.startTrace(options.traceFile, &why))
        return fail(exitstatus::usage, "cannot write the trace " + why);

    Inbox inbox;
    // Made before the web view, whose Qt application it may then make, and
    // outlives the lines, which write into it.
    std::unique_ptr<InfluxOutput> influx;
    if (!config.influx.url.empty()) influx = std::make_unique<InfluxOutput>(config.influx, logLine);
    // Outlives the web view and the lines, which both hold it.
    PlantView view;
    // Outlives the Modbus TCP server and the line it serves, likewise.
    ModbusDesk modbusDesk;
    const bool serveWeb = !config.web.listen.empty();
    Plant plant(*file, config, std::get<AlarmRules>(std::move(rules)), inbox, &tap, logLine,
                serveWeb ? &view : nullptr);
    plant.writeInto(influx.get());
    // Before any other thread starts, so that each inherits the blocked signals.
    StopOnSignal stopOnSignal(inbox, [&plant] { plant.askReload(); });
    if (influx) influx->start();
    std::unique_ptr<WebView> web;
    if (serveWeb) {
        WebServerOptions o;
        o.listen = std::get<ListenAddress>(parseListenAddress(config.web.listen));
        o.runStorePath = kRunStoreFile;
        o.access = {config.web.hosts, config.web.origins};
        o.usersFile = config.web.users;
        o.viewNeedsLogin = config.web.viewNeedsLogin;
        o.certificatePem = config.web.certificatePem;
        o.keyPem = config.web.keyPem;
        o.secure = !o.keyPem.empty();
        o.controlOverPlainHttp = config.web.controlOverPlainHttp;
        if (o.controlOverPlainHttp && !o.secure)
            logLine("warning: [web] control_over_plain_http = yes: logins and changes cross the "
                    "LAN unencrypted, and anyone on it can read a password or a session");
        o.control = [&plant](WebCommand command, WebReply reply) {
            plant.webCommand(std::move(command), std::move(reply));
        };
        auto started = WebView::start(view, std::move(o));
        if (auto* why = std::get_if<std::string>(&started))
            return fail(exitstatus::usage, *file + ":" + std::to_string(config.web.line) +
                                               ": cannot serve the web view on " +
                                               config.web.listen + ": " + *why);
        web = std::move(std::get<std::unique_ptr<WebView>>(started));
        logLine(std::string("web view on ") + (config.web.keyPem.empty() ? "http" : "https") +
                "://" + config.web.listen + "/");
    }
    std::unique_ptr<ModbusServer> modbus;
    if (!config.modbus.listen.empty()) {
        ModbusServerOptions o;
        o.listen = std::get<ListenAddress>(parseListenAddress(config.modbus.listen));
        auto started = ModbusServer::start(modbusDesk, std::move(o));
        if (auto* why = std::get_if<std::string>(&started))
            return fail(exitstatus::usage, *file + ":" + std::to_string(config.modbus.listenLine) +
                                               ": cannot serve Modbus TCP on " +
                                               config.modbus.listen + ": " + *why);
        modbus = std::move(std::get<std::unique_ptr<ModbusServer>>(started));
        plant.serveModbus(modbusDesk);
        logLine("Modbus TCP on " + config.modbus.listen + " for line " + config.modbus.line);
    }
    // Before the broker hears of this bridge: when another program holds
    // every port (another bridge, as like as not), it ends here. A port
    // that is not there yet is tried again at every poll.
    if (!plant.open(&why)) return fail(exitstatus::noController, why);
    BrokerConfig broker = config.broker;
    if (broker.clientId.empty()) broker.clientId = defaultClientId(config.lines.front().name);
    MqttLink link(broker, bridgeAvailableTopic(broker.prefix), inbox, logLine);
    if (serveWeb)
        link.onState(
            [&view](bool connected, std::uint64_t dropped) { view.broker(connected, dropped); });
    if (!link.start(&why)) return fail(exitstatus::usage, why);
    plant.run(link); // every port is closed when it returns
    if (influx) influx->finish();
    link.finish();
    return exitstatus::ok;
}
