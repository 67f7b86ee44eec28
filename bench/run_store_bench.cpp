// A 24-hour firing run of 8 zones, polled every second on a virtual clock,
// recorded in a real runs.sqlite: prints the store's size, and the CPU its
// recording takes per hour of the run as a ratio to 1 % of a core (a ratio
// under 1 leaves the poll loop its time on the slowest PC it runs on).
#include "fake_zone.h"
#include "runs/run_recorder.h"
#include "runs/run_store.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace {

constexpr int kZones = 8;
constexpr double kRunHours = 24;
// From 20 to 1000 at 60 an hour takes 16:20, held 7:40 after: 24 hours.
const char* const kProgram = "[program]\nname = Day\nunit = C\nstart = 20\nend = hold\n"
                             "[segments]\n60 1000 7:40\n";

double threadCpu() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The store's recorder, with the CPU each call takes added up.
class TimedRecorder final : public RunListener {
  public:
    explicit TimedRecorder(RunStore& store) : recorder_(store) {}
    void runOpened(const RunState& s) override {
        timed([&] { recorder_.runOpened(s); });
    }
    void runUpdated(const RunUpdate& u) override {
        timed([&] { recorder_.runUpdated(u); });
    }
    double cpu = 0;
    const RunRecorder& recorder() const { return recorder_; }

  private:
    template <typename F> void timed(F f) {
        const double start = threadCpu();
        f();
        cpu += threadCpu() - start;
    }
    RunRecorder recorder_;
};

std::uintmax_t sizeOf(const std::string& path) {
    std::error_code e;
    const auto n = std::filesystem::file_size(path, e);
    return e ? 0 : n;
}

} // namespace

int main() {
    char tmpl[] = "/tmp/q7runbench.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl, path = dir + "/runs.sqlite";
    int status = 0;
    {
        auto opened = RunStore::open(path);
        if (auto* why = std::get_if<std::string>(&opened)) {
            std::fprintf(stderr, "%s\n", why->c_str());
            return 1;
        }
        RunStore& store = *std::get<std::unique_ptr<RunStore>>(opened);
        VirtualClock clock;
        std::vector<EngineZone> zones;
        for (int i = 0; i < kZones; ++i) {
            auto kiln = std::make_shared<FakeKiln>();
            kiln->facts.digits = 1;
            kiln->facts.lo = -100;
            kiln->facts.hi = 1200;
            zones.push_back({std::make_unique<FakeZone>(kiln), "COM1", i + 1, 0});
        }
        RunOptions o;
        o.wallNow = 1.7e9;
        RunEngine engine(std::get<FiringProgram>(parseFiringProgram(kProgram)), kProgram,
                         std::move(zones), o);
        TimedRecorder timed(store);
        engine.addListener(&timed);
        if (const std::string why = engine.open(); !why.empty()) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        const long ticks = long(kRunHours * 3600);
        for (long t = 0; t < ticks && !engine.ended(); ++t) {
            engine.tick();
            clock.advance(1);
        }
        if (!timed.recorder().problem().empty()) {
            std::fprintf(stderr, "%s\n", timed.recorder().problem().c_str());
            status = 1;
        }
        const auto samples = store.samples(*timed.recorder().runId())->size();
        const double perHour = timed.cpu / kRunHours;
        std::printf("%d zones, %.0f h at 1 s: %zu samples, store %.1f MB (%.0f bytes a sample)\n",
                    kZones, kRunHours, samples, double(sizeOf(path) + sizeOf(path + "-wal")) / 1e6,
                    double(sizeOf(path) + sizeOf(path + "-wal")) / double(samples));
        std::printf("%-30s measured %7.2f ms  floor %7.2f ms  ratio %.3f\n",
                    "recording, CPU per run hour", perHour * 1e3, 0.01 * 3600 * 1e3,
                    perHour / (0.01 * 3600));
    }
    std::filesystem::remove_all(dir);
    return status;
}
