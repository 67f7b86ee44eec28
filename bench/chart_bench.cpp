// Times redraws of a strip chart that holds a full history (1,000,000 points
// per trace, eleven days at one second) and prints each as a ratio to one
// frame (16 ms): the chart must stay smooth however long the run.
//   - a new point, with the whole history in view (one screen of 1,000,000);
//   - a new point at the live edge (one screen of 300) over the same history;
//   - one wheel notch out from the whole history and back, as the operator
//     browses it;
//   - the point that finds the history full and lets the oldest go.
#include "widgets/strip_chart/strip_chart.h"

#include <QApplication>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kPoints = int(ChartHistory::kCapacity);
// Enough rounds that the 99th percentile is a frame of its own, not the
// worst one: a single worst frame is mostly the scheduler's, a percentile
// is the chart's.
constexpr int kRounds = 200;
// The timed rounds add points; they end with the history just full.
constexpr int kTimedPoints = 2 * kRounds;
constexpr double kFrame = 0.016;

void report(const char* what, double measured) {
    std::printf("%-34s measured %7.2f ms  floor %7.2f ms  ratio %.3f\n", what, measured * 1e3,
                kFrame * 1e3, measured / kFrame);
}

class Bench {
  public:
    Bench() {
        chart_.resize(1280, 720);
        chart_.setPointsPerScreen(kPoints);
        // A fixed wall clock: the bench times drawing, not clock reads.
        chart_.setClocks({[] { return 1.7e9; }, [](double) { return 0L; }});
        for (int i = 0; i < kPoints - kTimedPoints; ++i)
            plotNext();
        chart_.redraw();
    }

    StripChart& chart() { return chart_; }

    void plotNext() {
        const double t = double(n_++);
        // A noisy step response: the worst case for any reduction of points.
        const float sample[2] = {
            200.0f, float(200.0 - 180.0 * std::exp(-t / 200000.0) + 5.0 * std::sin(t * 0.7))};
        chart_.plot(sample, 2, t);
    }

    // One step followed by a full redraw and paint of the chart.
    double once(const std::function<void()>& step) {
        QImage frame(chart_.size(), QImage::Format_ARGB32_Premultiplied);
        const auto start = std::chrono::steady_clock::now();
        step();
        chart_.redraw();
        frame.fill(Qt::white);
        QPainter painter(&frame);
        chart_.render(&painter);
        painter.end();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    // Median, 99th percentile and worst time of kRounds steps, each with its redraw.
    void time(const char* name, const std::function<void()>& step) {
        std::vector<double> t;
        for (int i = 0; i < kRounds; ++i)
            t.push_back(once(step));
        std::sort(t.begin(), t.end());
        std::printf("%s: %d points per trace, %lld drawn\n", name, chart_.pointCount(1),
                    (long long)chart_.series(1)->count());
        report((std::string(name) + " (median)").c_str(), t[t.size() / 2]);
        report((std::string(name) + " (p99)").c_str(),
               t[std::size_t(std::ceil(0.99 * double(t.size()))) - 1]);
        report((std::string(name) + " (worst)").c_str(), t.back());
    }

    void wheel(int delta) {
        const QPointF at(chart_.width() / 2.0, chart_.height() / 2.0);
        QWheelEvent e(at, chart_.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(chart_.viewport(), &e);
    }

  private:
    StripChart chart_;
    long long n_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench bench;
    std::printf("%dx%d chart\n", bench.chart().width(), bench.chart().height());
    bench.time("full history, new point", [&] { bench.plotNext(); });
    bench.chart().setPointsPerScreen(300);
    bench.time("live edge, new point", [&] { bench.plotNext(); });
    bench.chart().setPointsPerScreen(kPoints);
    bench.time("wheel over full history", [&, in = true]() mutable {
        bench.wheel(in ? 120 : -120);
        in = !in;
    });
    report("full history, oldest dropped", bench.once([&] { bench.plotNext(); }));
    std::printf("then %d points per trace\n", bench.chart().pointCount(1));
    return 0;
}
