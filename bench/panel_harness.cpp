#include "panel_harness.h"

#include "app/callbacks.h"
#include "app/panel_set.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/panel_runtime.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <unistd.h>
#include <vector>

PanelHarness::PanelHarness(bool pollTimers, sim::SimOptions options) {
    char tmpl[] = "/tmp/q7bench.XXXXXX";
    if (!mkdtemp(tmpl)) return;
    workDir_ = tmpl;
    char cwd[4096];
    oldDir_ = getcwd(cwd, sizeof cwd) ? cwd : "/";
    if (chdir(workDir_.c_str()) != 0) return;

    startPanelService(control_);
    objects_ = std::make_unique<PanelObjects>(control_);
    registerAllCallbacks(*objects_);
    if (!loadAllPanels(*objects_)) {
        std::fprintf(stderr, "cannot load the panels\n");
        return;
    }
    if (!pollTimers)
        for (CtrlId timer :
             {MainPanel::pvPollTimer, MainPanel::alarmTimer, MainPanel::autoTuneTimer})
            SetCtrlAttribute(MainPanel::handle, timer, ATTR_ENABLED, 0);
    setPopupScript(&popups_);

    sim_ = std::make_unique<sim::SimController>(options);
    if (!sim_->start()) {
        std::fprintf(stderr, "cannot start the simulated controller\n");
        return;
    }
    clearComMap();
    setComDevice(kSimPort, sim_->devicePath());
    ready_ = connect();
    if (!ready_) std::fprintf(stderr, "cannot connect to the simulated controller\n");
}

PanelHarness::~PanelHarness() {
    waitIdle();
    CloseCom(line().port());
    setPopupScript(nullptr);
    if (sim_) sim_->stop();
    discardAllPanels();
    stopPanelService();
    objects_.reset();
    clearComMap();
    if (!oldDir_.empty() && chdir(oldDir_.c_str()) != 0) std::perror("chdir");
    if (!workDir_.empty()) {
        const std::string cmd = "rm -rf '" + workDir_ + "'";
        if (std::system(cmd.c_str()) != 0) std::perror("rm");
    }
}

bool PanelHarness::connect() {
    SetCtrlVal(MainPanel::handle, MainPanel::idNumeric, 1);
    SetCtrlVal(MainPanel::handle, MainPanel::portSelector, kSimPort);
    postCommit(MainPanel::handle, MainPanel::portSelector);
    return waitIdle() && objects_->line.linkUp();
}

double PanelHarness::timeOnControlThread(const std::function<void()>& fn) {
    auto seconds = std::make_shared<std::atomic<double>>(-1.0);
    postTask([fn, seconds] {
        const auto start = std::chrono::steady_clock::now();
        fn();
        seconds->store(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    });
    if (!waitIdle(std::chrono::seconds(60))) return -1.0;
    return seconds->load();
}

double PanelHarness::medianCleanRun(int rounds, int requests, const std::function<void()>& fn) {
    std::vector<double> t;
    for (int i = 0; i < rounds; ++i) {
        const int before = sim_->requestCount();
        const std::size_t popupsBefore = popupCount();
        const double s = timeOnControlThread(fn);
        if (s < 0 || sim_->requestCount() - before != requests || popupCount() != popupsBefore)
            return -1;
        t.push_back(s);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}
