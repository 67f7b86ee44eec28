// Times the read of every parameter the main panel shows against the
// simulated controller at 19200 baud, and prints it as a ratio to the sum of
// its floors: the settle pause, then per register 0.03 s + the wire time of
// an 8-byte request and a 7-byte reply + the simulator's latency.
#include "panel_harness.h"

#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/bulk_read_view.h"

#include <QApplication>

#include <cstdio>

namespace {

constexpr int kRounds = 7;
constexpr int kRegisters = 26;
constexpr long kBaud = 19200;

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    sim::SimOptions options;
    options.baudRate = kBaud;
    PanelHarness harness(false, options);
    if (!harness.ready()) return 1;

    const double median = harness.medianCleanRun(
        kRounds, kRegisters, [&harness] { ReadParmsFromMeter(harness.controller()); });
    if (median < 0) {
        std::fprintf(stderr, "the bulk read did not make %d clean reads\n", kRegisters);
        return 1;
    }
    const double wire = (8 + 7) * 11.0 / kBaud;
    const double floor = 0.02 + kRegisters * (0.03 + wire + options.latency);
    reportRatio("bulk parameter read (median)", median, floor);
    return 0;
}
