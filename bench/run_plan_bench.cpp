// A firing program of 20 segments run on the simulated controller at 60
// times life, polled every second: each set value written is compared with
// the plan at its poll (or, for the target written as a segment ends, with
// that target), and the largest difference is printed as a ratio to one
// display digit. Steps are rounded to a digit, so anything above 0.5 is a
// write that does not lie on the plan.
#include "link/controller.h"
#include "link/line.h"
#include "runs/controller_zone.h"
#include "runs/run_engine.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "sim/sim_controller.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {

constexpr double kTimeScale = 60;
constexpr long kBaud = 19200;
const char* const kProgram = "[program]\nname = Twenty\nunit = C\nstart = 20\nend = hold\n"
                             "[segments]\n"
                             "600 60 0:00\n300 90 0:01\n900 150 0:00\n-300 120 0:02\n"
                             "600 200 0:00\nfull 220 0:01\n-600 180 0:00\n450 240 0:00\n"
                             "300 260 0:02\n-900 200 0:00\n600 250 0:00\n1200 300 0:00\n"
                             "-300 280 0:01\n600 320 0:00\nfull 340 0:01\n-600 300 0:00\n"
                             "300 330 0:00\n-450 270 0:02\n-600 200 0:00\n-900 100 0:00\n";

// The controller's zone, with each set value written held against the plan.
class WatchedZone final : public Zone {
  public:
    explicit WatchedZone(Controller& c) : inner_(c) {}
    std::variant<ZoneFacts, std::string> facts() override {
        auto f = inner_.facts();
        if (auto* facts = std::get_if<ZoneFacts>(&f)) digit = std::pow(10.0, -facts->digits);
        return f;
    }
    ZoneReading read() override { return inner_.read(); }
    ZoneWrite writeSv(double v) override {
        if (engine) {
            double off = std::abs(v - engine->plannedSv());
            if (endedTarget) off = std::min(off, std::abs(v - *endedTarget));
            worst = std::max(worst, off / digit);
            ++writes;
        }
        return inner_.writeSv(v);
    }
    ZoneWrite writeMode(ZoneMode m) override { return inner_.writeMode(m); }
    std::optional<double> readRampRate() override { return inner_.readRampRate(); }
    ZoneWrite writeRampRate(double r) override { return inner_.writeRampRate(r); }

    const RunEngine* engine = nullptr;
    std::optional<double> endedTarget; // of the segment the poll before was in
    double digit = 0.1;
    double worst = 0;
    long writes = 0;

  private:
    ControllerZone inner_;
};

} // namespace

int main() {
    sim::SimOptions options;
    options.baudRate = kBaud;
    options.timeScale = kTimeScale;
    sim::SimController simulator(options);
    if (!simulator.start()) return 1;
    setComDevice(1, simulator.devicePath());
    Line line;
    line.setComPort(1);
    line.setBaudRate(kBaud);
    if (line.open() < 0) return 1;
    Controller controller(line);
    controller.setControllerId(1);
    if (!controller.probe().answered) return 1;

    auto watched = std::make_unique<WatchedZone>(controller);
    WatchedZone& zone = *watched;
    std::vector<EngineZone> zones;
    zones.push_back({std::move(watched), "COM1", 1, 0});
    RunOptions o;
    o.timeScale = kTimeScale;
    const FiringProgram program = std::get<FiringProgram>(parseFiringProgram(kProgram));
    RunEngine engine(program, kProgram, std::move(zones), o);
    if (const std::string why = engine.open(); !why.empty()) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    zone.engine = &engine;
    while (!engine.ended()) {
        zone.endedTarget = program.segments[std::size_t(engine.state().segment)].target;
        engine.tick();
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    CloseCom(line.port());
    simulator.stop();
    const bool completed = engine.state().outcome == RunOutcome::completed;
    std::printf("%zu segments at %.0f times life: %s, %ld set value writes\n",
                program.segments.size(), kTimeScale, completed ? "completed" : "not completed",
                zone.writes);
    std::printf("%-30s measured %7.2f digits  floor %7.2f digits  ratio %.3f\n",
                "largest SV off the plan", zone.worst, 1.0, zone.worst);
    return completed ? 0 : 1;
}
