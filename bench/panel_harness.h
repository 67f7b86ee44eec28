#pragma once
// What the panel benchmarks share: the real panels and callbacks loaded as the
// program loads them, the simulated controller on a pseudo-terminal as COM 3,
// popups answered from a script, and a scratch working directory so the files
// the program writes land nowhere that matters. Needs a QApplication.
#include "app/panel_objects.h"
#include "panelkit/control_thread.h"
#include "panelkit/panel_test_api.h"
#include "sim/sim_controller.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

class PanelHarness {
  public:
    static constexpr int kSimPort = 3;

    // pollTimers false: the main panel's own polls are switched off so a
    // measurement sees only the work it asked for.
    explicit PanelHarness(bool pollTimers = false, sim::SimOptions options = {});
    ~PanelHarness();
    PanelHarness(const PanelHarness&) = delete;
    PanelHarness& operator=(const PanelHarness&) = delete;

    // Panels loaded, simulator answering, connected: measurements may start.
    bool ready() const { return ready_; }
    sim::SimController& sim() { return *sim_; }
    // What the panels work on: their line, controller and panel state.
    PanelObjects& objects() { return *objects_; }
    Controller& controller() { return objects_->controller; }
    Line& line() { return objects_->line; }
    // Message popups shown so far: a run that raised one timed a failure.
    std::size_t popupCount() const { return popups_.shown.size(); }

    // Runs fn on the control thread, serving the GUI meanwhile, and returns
    // the seconds fn itself took (negative when it did not finish in time).
    double timeOnControlThread(const std::function<void()>& fn);

    // Median seconds of rounds runs of fn, each of which must send exactly
    // requests requests and raise no popup; negative when a run fails that.
    double medianCleanRun(int rounds, int requests, const std::function<void()>& fn);

  private:
    bool connect();

    ControlThread control_;
    std::unique_ptr<PanelObjects> objects_;
    std::unique_ptr<sim::SimController> sim_;
    PopupScript popups_;
    std::string workDir_, oldDir_;
    bool ready_ = false;
};

inline void reportRatio(const char* what, double measured, double floor) {
    std::printf("%-30s measured %7.2f ms  floor %7.2f ms  ratio %.3f\n", what, measured * 1e3,
                floor * 1e3, measured / floor);
}
