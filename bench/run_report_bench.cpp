// A 24-hour run of 8 zones sampled every second (691,200 samples) in a real
// runs.sqlite: the run chart's data built from its samples and reduced to a
// plot's columns, against 100 ms; its report read from the store and drawn
// as a PDF, against 2 s. Prints measured / floor ratios (under 1 is within),
// in CPU time of the thread that does the work.
#include "history/chart/run_chart.h"
#include "history/report/run_report.h"
#include "history/run_history.h"

#include <QApplication>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace {

constexpr int kZones = 8;
constexpr int kSeconds = 24 * 3600;
constexpr double kT0 = 1.7e9;
// 20 to 1000 at 60 an hour takes 16:20, held 7:40 after: 24 hours.
const char* const kProgram = "[program]\nname = Day\nunit = C\nstart = 20\nend = hold\n"
                             "power = 6\nprice = 0.3\n[segments]\n60 1000 7:40\n";

// CPU seconds of this thread: on a machine shared with others, what the
// work itself costs.
double cpuNow() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
double seconds(double since) {
    return cpuNow() - since;
}

void line(const char* what, double measured, double floor) {
    std::printf("%-44s measured %8.1f ms  floor %7.1f ms  ratio %.3f\n", what, measured * 1e3,
                floor * 1e3, measured / floor);
}

} // namespace

int main(int argc, char** argv) {
    // The report draws with no window, as q7 runs report does.
    int qtArgc = 3;
    char name[] = "bench", option[] = "-platform", platform[] = "offscreen";
    char* qtArgv[] = {name, option, platform, nullptr};
    QApplication app(qtArgc, qtArgv);
    (void)argc;
    (void)argv;

    char tmpl[] = "/tmp/q7reportbench.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl;
    int status = 0;
    {
        auto opened = RunStore::open(dir + "/runs.sqlite");
        if (auto* why = std::get_if<std::string>(&opened)) {
            std::fprintf(stderr, "%s\n", why->c_str());
            return 1;
        }
        RunStore& store = *std::get<std::unique_ptr<RunStore>>(opened);
        RunState st;
        st.programName = "Day";
        st.programText = kProgram;
        st.opened = kT0;
        st.zones.resize(kZones);
        const long long id = *store.create(st, std::nullopt, nullptr);
        st.phase = RunPhase::running;
        st.started = kT0;
        // An hour to a transaction: the samples as a day's polls left them,
        // PV a little off the plan with a wobble, output in Manual.
        std::vector<RunSample> all;
        all.reserve(std::size_t(kSeconds) * kZones);
        for (int hour = 0; hour < 24; ++hour) {
            RunUpdate u{st, {}, {}, false};
            if (hour == 0) u.events.push_back({kT0, std::nullopt, EventKind::start, 0, ""});
            if (hour == 16)
                u.events.push_back(
                    {kT0 + 16 * 3600 + 1200, std::nullopt, EventKind::segment, 0, ""});
            for (int s = hour * 3600; s < (hour + 1) * 3600; ++s) {
                const double plan = std::min(1000.0, 20 + s / 60.0);
                for (int z = 0; z < kZones; ++z)
                    u.samples.push_back(
                        {kT0 + s, z, plan - z - 2 * std::sin(s / 600.0 + z), plan, 40 + z, plan});
            }
            if (hour == 23) {
                st.phase = RunPhase::ended;
                st.outcome = RunOutcome::completed;
                st.ended = kT0 + kSeconds;
                u.events.push_back({kT0 + kSeconds, std::nullopt, EventKind::end, 0, "completed"});
            }
            all.insert(all.end(), u.samples.begin(), u.samples.end());
            if (!store.record(id, u, nullptr)) return 1;
        }
        const auto run = store.load(id);
        const auto events = *store.events(id);

        auto t = cpuNow();
        const auto read = store.samples(id);
        line("samples read from the store", seconds(t), 2);
        if (read.failed() || read->size() != all.size()) status = 1;
        t = cpuNow();
        const RunChartData data = runChartData(*run, all, events);
        const double built = seconds(t);
        t = cpuNow();
        std::size_t points = 0;
        for (const ZoneSeries& z : data.zones)
            points += z.pv.decimated(0, data.length, 1000).size() +
                      z.plan.decimated(0, data.length, 1000).size();
        const double reduced = seconds(t);

        RunChart chart;
        chart.resize(1000, 600);
        chart.setRun(data);
        t = cpuNow();
        for (int i = 0; i < 10; ++i)
            chart.setWindow(3600.0 * i, 3600.0 * i + 7200);
        const double zoom = seconds(t) / 10;

        t = cpuNow();
        const auto report = loadRunReport(store, id);
        const double loaded = seconds(t);
        t = cpuNow();
        const std::string pdf = runReportPdf(*report);
        const double drawn = seconds(t);

        std::printf("%d zones, 24 h at 1 s: %zu samples, %zu points drawn, PDF %zu bytes\n", kZones,
                    all.size(), points, pdf.size());
        line("chart data built from the samples", built, 0.1);
        line("the whole run reduced to 1000 columns", reduced, 0.1);
        line("zoom: a 2-hour window re-reduced, each", zoom, 0.1);
        line("report: read from the store", loaded, 2);
        line("report: drawn as a PDF", drawn, 2);
        line("report: read and drawn", loaded + drawn, 2);
        if (pdf.rfind("%PDF-", 0) != 0) status = 1;
    }
    std::filesystem::remove_all(dir);
    return status;
}
