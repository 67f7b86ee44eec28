// The real program binary, started the way an operator starts it, against
// the simulated controller on a pseudo-terminal.
#include "program_run.h"
#include "sim/sim_controller.h"

#include <algorithm>
#include <fcntl.h>
#include <pty.h>

using namespace e2e;

namespace {

// A pseudo-terminal with nothing behind it: a controller that is off.
struct SilentLine {
    SilentLine() {
        char name[256];
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) device = name;
        if (master >= 0) fcntl(master, F_SETFL, O_NONBLOCK);
    }
    ~SilentLine() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
    // What the program has sent so far.
    std::string sent() {
        std::string bytes;
        char buf[256];
        ssize_t n;
        while ((n = read(master, buf, sizeof buf)) > 0)
            bytes.append(buf, std::size_t(n));
        return bytes;
    }
    int master = -1, slave = -1;
    std::string device;
};

} // namespace

TEST_F(ProgramRun, ConnectsOverAPseudoTerminalAndEndsOnSigterm) {
    sim::SimController controller;
    ASSERT_TRUE(controller.start());
    std::ofstream(dir + "/DftCom.prm") << "3 19200 1";

    start({"--com", "3=" + controller.devicePath()});
    ASSERT_TRUE(waitFor([&] { return slurp(dir + "/DftCom.prm") == "3, 19200, 1"; }, 15s))
        << slurp(dir + "/DftCom.prm");
    const auto log = controller.requestLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "01 03 1F 00 00 01 83 DE"); // the probe comes first

    EXPECT_EQ(stop(SIGTERM), 0);
}

// No window system: one line saying so and status 1, from the launcher and
// from the panels' program alike, with DISPLAY unset or naming no display.
TEST_F(ProgramRun, WithoutADisplayThePanelsSaySoInOneLine) {
    const std::string launcher = program;
    for (const std::string& binary : {launcher, binaryDir() + "/q7-panels"}) {
        for (const std::optional<std::string>& display :
             {std::optional<std::string>(), {":7913"}}) {
            SCOPED_TRACE(binary + " DISPLAY=" + display.value_or("(unset)"));
            program = binary;
            start({}, {{"QT_QPA_PLATFORM", std::nullopt},
                       {"WAYLAND_DISPLAY", std::nullopt},
                       {"DISPLAY", display}});
            EXPECT_EQ(finish(), 1);
            const std::string said = err();
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
            EXPECT_NE(said.find("q7: the panels "), std::string::npos) << said;
        }
    }
}

TEST_F(ProgramRun, HelpNamesTheOptions) {
    start({"--help"});
    int status = 0;
    ASSERT_TRUE(waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10s));
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// SIGTERM and Ctrl+C end the program as Quit does even while a popup holds
// the control thread: the probe went unanswered and "COMMUNICATION ERROR!"
// is showing. Nothing more goes to the controller.
TEST_F(ProgramRun, SignalEndsTheProgramWhileAPopupIsShowing) {
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig == SIGTERM ? "SIGTERM" : "SIGINT");
        SilentLine line;
        ASSERT_FALSE(line.device.empty());
        std::ofstream(dir + "/DftCom.prm") << "3 19200 1";
        start({"--com", "3=" + line.device});
        ASSERT_TRUE(waitFor([&] { return popupShown("COMMUNICATION ERROR!"); }, 20s)) << err();
        const std::string probe("\x01\x03\x1F\x00\x00\x01\x83\xDE", 8);
        const std::string before = line.sent();
        ASSERT_GE(before.size(), 8u);
        EXPECT_EQ(before.substr(0, 8), probe);
        EXPECT_EQ(stop(sig), 0);
        EXPECT_EQ(line.sent(), "") << "nothing sent after the signal";
        EXPECT_EQ(slurp(dir + "/DftCom.prm"), "3 19200 1");
    }
}

// A controller that answers the probe, then falls silent: the parameter read
// holds the control thread in its time-outs when the signal comes.
TEST_F(ProgramRun, SignalEndsTheProgramDuringAStuckTransfer) {
    sim::SimController controller;
    ASSERT_TRUE(controller.start());
    controller.setRequestHook([&controller](int n) {
        if (n > 1) controller.dropReplies(1);
    });
    std::ofstream(dir + "/DftCom.prm") << "3 19200 1";
    start({"--com", "3=" + controller.devicePath()});
    ASSERT_TRUE(waitFor([&] { return controller.requestCount() >= 2; }, 20s));
    EXPECT_EQ(stop(SIGTERM), 0);
}
