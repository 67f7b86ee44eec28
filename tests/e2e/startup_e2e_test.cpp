// The real program binary, started the way an operator starts it, against
// the simulated controller on a pseudo-terminal.
#include "sim/sim_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

template <class Pred> bool waitFor(Pred pred, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return pred();
}

class ProgramRun : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7e2e.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        const char* bin = std::getenv("Q7_BINARY_DIR");
        program = std::string(bin ? bin : ".") + "/q7";
        ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::string cmd = "rm -rf '" + dir + "'";
        (void)std::system(cmd.c_str());
    }

    void start(const std::vector<std::string>& args) {
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(127);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }

    int stop(int signal) {
        kill(pid, signal);
        int status = 0;
        const bool ended = waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10s);
        pid = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir;
    std::string program;
    pid_t pid = -1;
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

TEST_F(ProgramRun, HelpNamesTheOptions) {
    start({"--help"});
    int status = 0;
    ASSERT_TRUE(waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10s));
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
