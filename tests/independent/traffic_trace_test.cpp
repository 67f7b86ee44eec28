// The trace and the line statistics against a slave that shares no code with
// the program: what the trace says was sent is what the slave received, and
// the replies the slave kept back are counted exactly.
#include "independent_slave.h"
#include "mainpanel/ids/main_panel.h"
#include "serial/com_map.h"
#include "support/controller_fixture.h"
#include "traffic/traffic_tap.h"

#include <fstream>

namespace {

class TrafficIndependent : public ControllerTest {
  protected:
    void SetUp() override {
        startSimulator = false;
        ControllerTest::SetUp();
    }
    void TearDown() override {
        objects().tap.stopTrace();
        ControllerTest::TearDown();
    }
    void startSlave(const std::vector<std::string>& options = {}) {
        slave = std::make_unique<IndependentSlave>(options);
        ASSERT_FALSE(slave->device().empty()) << slave->why();
        setComDevice(kSimPort, slave->device());
    }
    std::unique_ptr<IndependentSlave> slave;
};

// The bytes of every "TX" line, in order.
std::vector<std::string> sentInTrace(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> sent;
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tx = line.find(",TX,");
        if (tx == std::string::npos) continue;
        const std::size_t from = tx + 4;
        sent.push_back(line.substr(from, line.find(',', from) - from));
    }
    return sent;
}

} // namespace

TEST_F(TrafficIndependent, TraceSaysWhatTheSlaveReceived) {
    startSlave();
    std::string why;
    ASSERT_TRUE(objects().tap.startTrace(workDir + "/trace.csv", &why)) << why;
    connect(1);
    commit(MainPanel::handle, MainPanel::readButton);
    const std::vector<std::string> received = slave->requests();
    ASSERT_GT(received.size(), 26u);
    EXPECT_EQ(sentInTrace(workDir + "/trace.csv"), received);
}

TEST_F(TrafficIndependent, EveryKeptBackReplyIsCountedWithItsRetry) {
    startSlave({"--drop-every", "5"});
    connect(1);
    shortenTimeOut();
    const std::size_t before = slave->requests().size();
    objects().tap.statistics().reset();
    commit(MainPanel::handle, MainPanel::readButton);
    const std::size_t after = slave->requests().size();
    int64_t dropped = 0;
    for (std::size_t n = before + 1; n <= after; ++n)
        dropped += n % 5 == 0;
    ASSERT_GT(dropped, 3);

    const LineCounts c = objects().tap.statistics().counts();
    EXPECT_EQ(c.requests, int64_t(after - before));
    EXPECT_EQ(c.noReplies, dropped);
    EXPECT_EQ(c.retries, dropped); // every read kept back is asked once more
    EXPECT_EQ(c.good, int64_t(after - before) - dropped);
}
