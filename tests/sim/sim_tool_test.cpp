// The standalone q7sim: prints a device that answers, and stops on SIGTERM.
#include "sim_line.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

using namespace simtest;
using namespace std::chrono_literals;

namespace {

class Q7simProcess {
  public:
    explicit Q7simProcess(const std::string& binary, const char* argument) {
        int out[2];
        if (::pipe(out) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            ::execl(binary.c_str(), "q7sim", argument, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        output_ = out[0];
    }
    ~Q7simProcess() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) ::close(output_);
    }

    // The first line of stdout, or "" if none came in time.
    std::string firstLine() {
        std::string text;
        const auto deadline = Clock::now() + 5s;
        while (Clock::now() < deadline) {
            pollfd p{output_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char c;
            if (::read(output_, &c, 1) != 1) break;
            if (c == '\n') return text;
            text += c;
        }
        return "";
    }

    // Exit status after a signal, or -1 if it did not exit in time.
    int terminate(int signal) {
        ::kill(pid_, signal);
        const auto deadline = Clock::now() + 3s;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            poll(nullptr, 0, 10);
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    bool reaped_ = false;
};

TEST(Q7sim, PrintsAnAnsweringDeviceAndStopsOnSignals) {
    const char* dir = std::getenv("Q7_BINARY_DIR");
    if (!dir) GTEST_SKIP() << "Q7_BINARY_DIR not set";
    const std::string binary = std::string(dir) + "/q7sim";
    if (::access(binary.c_str(), X_OK) != 0) GTEST_SKIP() << binary << " not built";

    for (int signal : {SIGTERM, SIGINT}) {
        Q7simProcess sim(binary, "--variant=D");
        const std::string device = sim.firstLine();
        ASSERT_FALSE(device.empty());
        {
            Line line(device);
            ASSERT_TRUE(line.isOpen()) << device;
            const Bytes reply = line.transact(readRequest(1, 0x1F00, 1), 7);
            ASSERT_EQ(reply.size(), 7u);
            EXPECT_EQ(reply[3], 'D');
        }
        EXPECT_EQ(sim.terminate(signal), 0) << "signal " << signal;
    }
}

TEST(Q7sim, RejectsBadArguments) {
    const char* dir = std::getenv("Q7_BINARY_DIR");
    if (!dir) GTEST_SKIP() << "Q7_BINARY_DIR not set";
    const std::string binary = std::string(dir) + "/q7sim";
    if (::access(binary.c_str(), X_OK) != 0) GTEST_SKIP() << binary << " not built";
    for (const char* bad : {"--variant=X", "--id=0", "--baud=fast", "--time-scale=0", "--what"}) {
        const std::string command = binary + " " + bad + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << bad;
    }
}

} // namespace
