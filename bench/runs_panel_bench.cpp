// A 24-hour firing run of 8 zones polled every second (691,200 samples) in
// a real runs.sqlite, opened in the Runs panel: the time from the click to
// its chart, figures and events drawn, as a ratio to 500 ms; then one wheel
// notch over the whole run, as a ratio to a frame (16 ms). Each is told as
// the CPU the program spent on it (the reader's thread and the GUI's), which
// a busy machine does not inflate, and as the time it took.
#include "history/chart/run_chart.h"
#include "history/panel/run_chart_view.h"
#include "history/panel/runs_panel.h"
#include "runs/run_store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

constexpr int kZones = 8;
constexpr int kSeconds = 24 * 3600;
constexpr int kRounds = 5;
// From 20 to 1000 at 60 an hour takes 16:20, held 7:40 after: 24 hours.
const char* const kProgram = "[program]\nname = Day\nunit = C\nstart = 20\nholdback = 0\n"
                             "end = hold\n[segments]\n60 1000 7:40\n";
constexpr double kT0 = 1.7e9;

double processCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void report(const char* what, double measured, double floor) {
    std::printf("%-38s measured %7.2f ms  floor %7.2f ms  ratio %.3f\n", what, measured * 1e3,
                floor * 1e3, measured / floor);
}

// The day's run recorded through the store, a minute of polls at a time.
long long recordDay(RunStore& store) {
    RunState st;
    st.programName = "Day";
    st.programText = kProgram;
    st.opened = kT0;
    for (int z = 0; z < kZones; ++z)
        st.zones.push_back({"COM1", z + 1, 0, {}, {}, {}, {}});
    const auto id = store.create(st, std::nullopt, nullptr);
    if (!id) return 0;
    st.phase = RunPhase::running;
    st.started = kT0;
    st.planStart = PlanStart{0, 20, 0};
    RunUpdate u{st, {}, {}, false};
    u.events.push_back({kT0, std::nullopt, EventKind::start, 0, ""});
    for (int t = 0; t < kSeconds; ++t) {
        const double plan = std::min(1000.0, 20 + t / 60.0);
        for (int z = 0; z < kZones; ++z)
            u.samples.push_back(
                {kT0 + t, z, plan - 2 + 3 * std::sin(t * 0.01 + z), plan, 40.0 + z, plan});
        const bool last = t + 1 == kSeconds;
        if (t == 58800) u.events.push_back({kT0 + t, std::nullopt, EventKind::segment, 0, ""});
        if (last) {
            st.phase = RunPhase::ended;
            st.outcome = RunOutcome::completed;
            st.ended = kT0 + t;
            u.events.push_back({kT0 + t, std::nullopt, EventKind::end, 0, "completed"});
        }
        if (t % 60 == 59 || last) {
            if (!store.record(*id, u, nullptr)) return 0;
            u.samples.clear();
            u.events.clear();
        }
    }
    return *id;
}

// Runs the event loop until done() holds; false after a minute.
bool spinUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > 60000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The panel drawn as it would be on screen.
void paint(QWidget& panel) {
    QImage frame(panel.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&frame);
    panel.render(&painter);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    char tmpl[] = "/tmp/q7runspanelbench.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl, path = dir + "/runs.sqlite";
    long long id = 0;
    {
        auto opened = RunStore::open(path);
        if (auto* why = std::get_if<std::string>(&opened)) {
            std::fprintf(stderr, "%s\n", why->c_str());
            return 1;
        }
        id = recordDay(*std::get<std::unique_ptr<RunStore>>(opened));
    }
    if (!id) return 1;
    int status = 0;
    {
        RunsPanel panel(QString::fromStdString(path));
        panel.resize(1000, 580);
        panel.show();
        if (!spinUntil([&] { return !panel.listedRuns().empty(); })) return 1;
        std::printf("%d zones, 24 h at 1 s: %d samples; the panel %dx%d\n", kZones,
                    kZones * kSeconds, panel.width(), panel.height());
        // The GUI thread sleeps until the run is shown, as it does for an
        // operator, so that only the work is counted.
        QEventLoop waiting;
        QObject::connect(&panel, &RunsPanel::runShown, &waiting, &QEventLoop::quit);
        std::vector<double> opens, cpus;
        for (int i = 0; i < kRounds; ++i) {
            // Each round reads the run afresh, as a click on its row does.
            QElapsedTimer t;
            t.start();
            const double cpu = processCpu();
            panel.openRun(id);
            waiting.exec();
            paint(panel);
            cpus.push_back(processCpu() - cpu);
            opens.push_back(double(t.nsecsElapsed()) * 1e-9);
        }
        std::sort(opens.begin(), opens.end());
        std::sort(cpus.begin(), cpus.end());
        report("open and draw the run, CPU (median)", cpus[cpus.size() / 2], 0.5);
        report("open and draw the run, CPU (worst)", cpus.back(), 0.5);
        report("open and draw the run, time (median)", opens[opens.size() / 2], 0.5);

        auto* view = panel.findChild<RunChartView*>("chartView");
        std::vector<double> wheels;
        for (int i = 0; i < 20; ++i) {
            const QPointF at = view->mapFromScene(
                view->runChart().mapToScene(view->runChart().plotArea().center()));
            QWheelEvent e(at, view->mapToGlobal(at), QPoint(), QPoint(0, i % 2 ? -120 : 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QElapsedTimer t;
            t.start();
            QApplication::sendEvent(view->viewport(), &e);
            paint(*view);
            wheels.push_back(double(t.nsecsElapsed()) * 1e-9);
        }
        std::sort(wheels.begin(), wheels.end());
        report("wheel notch over the run (median)", wheels[wheels.size() / 2], 0.016);
        if (view->runChart().windowTo() - view->runChart().windowFrom() <= 0) status = 1;
    }
    std::filesystem::remove_all(dir);
    return status;
}
