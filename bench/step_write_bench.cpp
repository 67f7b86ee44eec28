// Times writing the whole step program (8 steps of 5 registers and the
// tolerance band) to the simulated controller at 19200 baud, and prints it as
// a ratio to its floor: the settle pause, then per register 0.03 s + the wire
// time of an 8-byte request and its 8-byte echo + the simulator's latency.
#include "panel_harness.h"

#include "link/controller.h"
#include "link/line.h"
#include "program/panel/ids/step_program_panel.h"
#include "program/panel/script_transfer.h"

#include <QApplication>

#include <cstdio>

namespace {

constexpr int kRounds = 7;
constexpr int kRegisters = 41;
constexpr long kBaud = 19200;

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    sim::SimOptions options;
    options.baudRate = kBaud;
    PanelHarness harness(false, options);
    if (!harness.ready()) return 1;

    const double median = harness.medianCleanRun(kRounds, kRegisters, [&harness] {
        WtCtrlScript(harness.objects().stepProgram, StepProgramPanel::handle, "saveToController",
                     EVENT_COMMIT);
    });
    if (median < 0) {
        std::fprintf(stderr, "the step program write did not make %d writes\n", kRegisters);
        return 1;
    }
    const double wire = (8 + 8) * 11.0 / kBaud;
    const double floor = 0.01 + kRegisters * (0.03 + wire + options.latency);
    reportRatio("step program write (median)", median, floor);
    return 0;
}
