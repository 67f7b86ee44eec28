// Times one redraw of a full strip chart (10,000 points per trace) after a
// new point arrives, and prints it as a ratio to one frame (16 ms): the
// chart must stay smooth while plotting at the longest screen it allows.
#include "runtime/strip_chart.h"

#include <QApplication>
#include <QImage>
#include <QLineSeries>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPoints = 10000;
constexpr int kRounds = 30;
constexpr double kFrame = 0.016;

void report(const char* what, double measured) {
    std::printf("%-28s measured %7.2f ms  floor %7.2f ms  ratio %.3f\n", what, measured * 1e3,
                kFrame * 1e3, measured / kFrame);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StripChart chart;
    chart.resize(1280, 720);
    chart.setPointsPerScreen(kPoints);
    chart.setYRange(0, 250);
    long long n = 0;
    auto next = [&n] {
        const double t = double(n++);
        // A noisy step response: the worst case for any reduction of points.
        const float sample[2] = {
            float(200.0), float(200.0 - 180.0 * std::exp(-t / 2000.0) + 5.0 * std::sin(t * 0.7))};
        return std::vector<float>(sample, sample + 2);
    };
    // One sample a second, each at its own time.
    auto plotNext = [&] {
        const std::vector<float> sample = next();
        chart.plot(sample.data(), 2, double(n - 1));
    };
    for (int i = 0; i < kPoints; ++i)
        plotNext();

    QImage frame(chart.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> t;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        plotNext();
        frame.fill(Qt::white);
        QPainter painter(&frame);
        chart.render(&painter);
        painter.end();
        t.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    std::printf("%d points per trace, %lld drawn, %dx%d\n", chart.pointCount(0),
                (long long)chart.series(1)->count(), chart.width(), chart.height());
    report("plot + full redraw (median)", t[t.size() / 2]);
    report("plot + full redraw (worst)", t.back());
    return 0;
}
