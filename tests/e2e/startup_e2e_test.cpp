// The real program binary, started the way an operator starts it, against
// the simulated controller on a pseudo-terminal.
#include "program_run.h"
#include "sim/sim_controller.h"

using namespace e2e;

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

TEST_F(ProgramRun, HelpNamesTheOptions) {
    start({"--help"});
    int status = 0;
    ASSERT_TRUE(waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10s));
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
