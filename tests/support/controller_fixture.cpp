#include "support/controller_fixture.h"

#include "app/callbacks.h"
#include "app/panel_set.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/control_thread.h"
#include "panelkit/panel_runtime.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

void ControllerTest::SetUp() {
    char tmpl[] = "/tmp/q7test.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    workDir = tmpl;
    char cwd[4096];
    oldDir_ = getcwd(cwd, sizeof cwd) ? cwd : "/";
    ASSERT_EQ(chdir(workDir.c_str()), 0);

    objects_ = std::make_unique<PanelObjects>(*servedControlThread());
    registerAllCallbacks(*objects_);
    discardAllPanels();
    ASSERT_TRUE(loadAllPanels(*objects_));
    // Tests count the requests they cause; the panel's own polls would add to them.
    for (CtrlId timer : {MainPanel::pvPollTimer, MainPanel::alarmTimer, MainPanel::autoTuneTimer})
        SetCtrlAttribute(MainPanel::handle, timer, ATTR_ENABLED, 0);
    setPopupScript(&popups);

    clearComMap();
    if (!startSimulator) return;
    sim = std::make_unique<sim::SimController>(simOptions);
    ASSERT_TRUE(sim->start());
    setComDevice(kSimPort, sim->devicePath());
}

void ControllerTest::TearDown() {
    waitIdle();
    CloseCom(line().port());
    setPopupScript(nullptr);
    if (sim) sim->stop();
    sim.reset();
    discardAllPanels();
    objects_.reset();
    clearComMap();
    if (chdir(oldDir_.c_str()) != 0) std::perror("chdir");
    std::string cmd = "rm -rf '" + workDir + "'";
    if (std::system(cmd.c_str()) != 0) std::perror("rm");
}

void ControllerTest::runOnControlThread(std::function<void()> fn) {
    postTask(std::move(fn));
    ASSERT_TRUE(waitIdle());
}

void ControllerTest::commit(int panel, CtrlId control) {
    postCommit(panel, control);
    ASSERT_TRUE(waitIdle());
}

void ControllerTest::rightClick(int panel, CtrlId control) {
    postRightClick(panel, control);
    ASSERT_TRUE(waitIdle());
}

void ControllerTest::connect(uint16_t controllerId) {
    SetCtrlVal(MainPanel::handle, MainPanel::idNumeric, int(controllerId));
    SetCtrlVal(MainPanel::handle, MainPanel::portSelector, kSimPort);
    commit(MainPanel::handle, MainPanel::portSelector);
}

void ControllerTest::shortenTimeOut() {
    SetComTime(line().port(), 0.3);
}

void ControllerTest::faultOnRequests(std::vector<int> nth, std::function<void()> fault) {
    const int base = sim->requestCount();
    sim->setRequestHook([base, nth = std::move(nth), fault = std::move(fault)](int n) {
        if (std::find(nth.begin(), nth.end(), n - base) != nth.end()) fault();
    });
}

std::string ControllerTest::readFile(const std::string& name) const {
    std::ifstream in(workDir + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void ControllerTest::writeFile(const std::string& name, const std::string& content) const {
    std::ofstream out(workDir + "/" + name, std::ios::binary);
    out << content;
}

bool ControllerTest::fileExists(const std::string& name) const {
    return access((workDir + "/" + name).c_str(), F_OK) == 0;
}

int ControllerTest::descriptorsOn(const std::string& device) {
    namespace fs = std::filesystem;
    int count = 0;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec)) {
        const std::string target = fs::read_symlink(fd.path(), ec).string();
        if (!ec && (target == device || target == device + " (deleted)")) ++count;
    }
    return count;
}

std::vector<std::string> ControllerTest::popupTitles() const {
    std::vector<std::string> titles;
    for (const auto& p : popups.shown)
        titles.push_back(p.title);
    return titles;
}

double ControllerTest::shownPv() {
    double v = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::pvDisplay, &v);
    return v;
}

bool ControllerTest::pvDimmed() {
    double v = 0;
    GetCtrlAttribute(MainPanel::handle, MainPanel::pvDisplay, ATTR_DIMMED, &v);
    return v != 0;
}

int ControllerTest::led() {
    int v = -1;
    GetCtrlVal(MainPanel::handle, MainPanel::connectionLed, &v);
    return v;
}
