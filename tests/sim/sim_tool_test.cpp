// The standalone q7sim: prints a device or address that answers, and stops on SIGTERM.
#include "sim_line.h"
#include "support/child_process.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

using namespace simtest;

namespace {

class Q7sim : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* dir = std::getenv("Q7_BINARY_DIR");
        if (!dir) GTEST_SKIP() << "Q7_BINARY_DIR not set";
        binary = std::string(dir) + "/q7sim";
        if (::access(binary.c_str(), X_OK) != 0) GTEST_SKIP() << binary << " not built";
    }
    std::string binary;
};

TEST_F(Q7sim, PrintsAnAnsweringDeviceAndStopsOnSignals) {
    for (int signal : {SIGTERM, SIGINT}) {
        ChildProcess sim({binary, "--variant=D"}, true);
        const std::string device = sim.firstLine();
        ASSERT_FALSE(device.empty());
        {
            Line line(device);
            ASSERT_TRUE(line.isOpen()) << device;
            const Bytes reply = line.transact(readRequest(1, 0x1F00, 1), 7);
            ASSERT_EQ(reply.size(), 7u);
            EXPECT_EQ(reply[3], 'D');
        }
        EXPECT_EQ(sim.stop(signal), 0) << "signal " << signal;
    }
}

TEST_F(Q7sim, ListensOnAPortItPicksAndOutlivesItsMasters) {
    ChildProcess sim({binary, "--listen", "127.0.0.1:0", "--ids", "1,7"}, true);
    const std::string address = sim.firstLine();
    const std::string prefix = "tcp://127.0.0.1:";
    ASSERT_EQ(address.rfind(prefix, 0), 0u) << address;
    const auto port = uint16_t(std::stoi(address.substr(prefix.size())));
    for (int master = 0; master < 2; ++master) {
        RawStream connection(port);
        EXPECT_EQ(connection.transact(
                      {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x07, 0x03, 0x1F, 0x00, 0x00, 0x01}, 11),
                  (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x07, 0x03, 0x02, 0x40, 0x07}))
            << "master " << master;
    }
    EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST_F(Q7sim, RejectsBadArguments) {
    for (const char* bad :
         {"--variant=X", "--id=0", "--baud=fast", "--time-scale=0", "--what", "--ids=1,1",
          "--ids=0", "--ids=3-2", "--ids=1,", "--id=2 --ids=3", "--rtu", "--listen=192.168.1.5:502",
          "--listen=127.0.0.1:65536", "--listen=127.0.0.1", "--slow=1:0", "--slow=1:1.5",
          "--slow=1", "--slow=7:0.3", "--ids=1,7 --slow=7:0.3 --slow=7:0.5"}) {
        // A bad argument that slipped through would leave it serving: bounded.
        const std::string command = "timeout 10 " + binary + " " + bad + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << bad;
    }
}

} // namespace
