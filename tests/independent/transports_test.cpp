// COM numbers that reach the controller through a gateway, each against a
// real server: Modbus TCP against pymodbus and the simulator listening on
// loopback, RTU over TCP through ser2net in front of the simulator's line.
#include "cli/cli_run.h"
#include "connection/panel/auto_reconnect.h"
#include "independent_slave.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "serial/com_map.h"
#include "serial/port_list.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"
#include "support/raw_stream.h"
#include "support/ser2net_gateway.h"

#include <fstream>

namespace {

using namespace std::chrono_literals;
using Requests = std::vector<std::string>;
const std::string kDot = " \xC2\xB7 ";

// The lines of the trace file that carry a reply.
Requests repliesInTrace(const std::string& path) {
    std::ifstream in(path);
    Requests replies;
    for (std::string line; std::getline(in, line);)
        if (line.find(",RX,") != std::string::npos) replies.push_back(line);
    return replies;
}

// A command in a scratch folder of its own.
class Gateway : public cli::CliTest {};

} // namespace

TEST_F(Gateway, ModbusTcpGatewayFramesEachRequestUnderItsOwnTransaction) {
    IndependentSlave slave({"--tcp", "--set", "0x1001=312"});
    ASSERT_FALSE(slave.device().empty()) << slave.why();
    const cli::Ran r =
        run({"--com", "6=" + slave.device(), "--port", "6", "--trace", "t.csv", "get", "sv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "sv 31.2\n");
    EXPECT_EQ(slave.requests(), (Requests{"00 01 00 00 00 06 01 03 1F 00 00 01",
                                          "00 02 00 00 00 06 01 03 00 21 00 01",
                                          "00 03 00 00 00 06 01 03 10 01 00 01"}));
    // The trace shows the reply as the RTU frame it stands for.
    const Requests replies = repliesInTrace(path("t.csv"));
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_NE(replies[2].find(",RX,01 03 02 01 38 B8 06,good,"), std::string::npos) << replies[2];
}

TEST_F(Gateway, ModbusTcpTakesNoReplyUnderAnotherTransactionAndNamesWhatIsMissing) {
    const std::string nobody = "tcp://127.0.0.1:" + std::to_string(freeLoopbackPort());
    cli::Ran r = run({"--com", "1=" + nobody, "probe"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("cannot open COM1 (" + nobody + ": Connection refused)"),
              std::string::npos)
        << r.err;

    sim::SimController gateway({.listen = sim::Listen{}});
    ASSERT_TRUE(gateway.start());
    gateway.setReg(0x0003, 0); // Off: PV stays at 23.5
    // The PV read's reply comes back under the transaction id one off.
    gateway.setRequestHook([&gateway](int n) {
        if (n == 3) gateway.flipBit(1, 0);
    });
    r = run({"--com", "1=" + gateway.devicePath(), "get", "pv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pv 23.5\n");
    // Asked again, under an id of its own.
    EXPECT_EQ(
        gateway.requestLog(),
        (Requests{"00 01 00 00 00 06 01 03 1F 00 00 01", "00 02 00 00 00 06 01 03 00 21 00 01",
                  "00 03 00 00 00 06 01 03 10 00 00 01", "00 04 00 00 00 06 01 03 10 00 00 01"}));

    // The gateway's word that the controller gave no answer is silence.
    gateway.setRequestHook({});
    gateway.exceptionNext(0x0B);
    r = run({"--com", "1=" + gateway.devicePath(), "probe"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err.rfind("q7: no answer from the controller on COM1", 0), 0u) << r.err;
}

TEST_F(Gateway, RtuOverTcpThroughSer2netAndKeptInDftCom) {
    sim::SimController controller;
    controller.setReg(0x0003, 0); // Off: PV stays at 23.5
    ASSERT_TRUE(controller.start());
    Ser2netGateway gateway(controller.devicePath());
    ASSERT_FALSE(gateway.device().empty()) << gateway.why();
    cli::Ran r = run({"--com", "5=" + gateway.device(), "--port", "5", "get", "pv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pv 23.5\n") << r.err;
    EXPECT_EQ(controller.requestLog(),
              (Requests{"01 03 1F 00 00 01 83 DE", "01 03 00 21 00 01 D4 00",
                        "01 03 10 00 00 01 80 CA"}));

    // The panels' last connection, kept with its endpoint: no --com needed.
    writeFile("DftCom.prm", "COM5=" + gateway.device() + ", 19200, 1");
    r = run({"get", "pv"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pv 23.5\n") << r.err;
    r = run({"ports"});
    EXPECT_NE(r.out.find("COM5 (" + gateway.device() + kDot + "RTU over TCP" + kDot +
                         "last connection)\n"),
              std::string::npos)
        << r.out;
}

namespace {

// The panels on a gateway: the connection is dropped while PV is polled.
class GatewayDropped : public ControllerTest {
  protected:
    void SetUp() override {
        simOptions.timeScale = 0.0; // PV stays as set
        ControllerTest::SetUp();
        sim->setReg(0x0003, 0);
        sim->setReg(0x1000, 250);
        objects().reconnect.enable();
    }
    void TearDown() override {
        objects().reconnect.disable();
        ControllerTest::TearDown();
    }
    void connectAndPoll() {
        connect(1);
        ASSERT_TRUE(line().linkUp()) << (popups.shown.empty() ? "" : popups.shown[0].text);
        setValueAndCommit(MainPanel::handle, MainPanel::pvReadSwitch, 1);
        ASSERT_TRUE(waitUntil([] { return shownPv() == 25.0; }));
    }
    // Lost, said once, and polling again after reconnecting with no click.
    void expectLostThenReconnected(const std::function<void()>& bringBack) {
        ASSERT_TRUE(waitUntil([this] { return !line().linkUp(); }));
        sim->setReg(0x1000, 260);
        bringBack();
        EXPECT_TRUE(waitUntil(
            [this] { return line().linkUp() && led() == 1 && shownPv() == 26.0 && !pvDimmed(); },
            30s));
        std::string status;
        GetCtrlVal(MainPanel::handle, MainPanel::statusLine, &status);
        EXPECT_NE(status.find("reconnected by itself at "), std::string::npos) << status;
        EXPECT_EQ(popupTitles(), Requests{"Connection Lost"});
    }
};

TEST_F(GatewayDropped, ModbusTcpIsKeptInDftComAndReconnectedByItself) {
    sim->stop();
    simOptions.listen = sim::Listen{};
    sim = std::make_unique<sim::SimController>(simOptions);
    ASSERT_TRUE(sim->start());
    sim->setReg(0x0003, 0);
    sim->setReg(0x1000, 250);
    setComDevice(kSimPort, sim->devicePath());
    connectAndPoll();
    EXPECT_EQ(readFile("DftCom.prm"), "COM3=" + sim->devicePath() + ", 19200, 1");
    EXPECT_EQ(comLabel(kSimPort), "COM3 (" + sim->devicePath() + kDot + "Modbus TCP gateway)");

    sim->closeLine(); // every connection drops; the port still listens
    expectLostThenReconnected([] {});
}

TEST_F(GatewayDropped, Ser2netRestartedIsReconnectedByItself) {
    Ser2netGateway gateway(sim->devicePath());
    ASSERT_FALSE(gateway.device().empty()) << gateway.why();
    setComDevice(kSimPort, gateway.device());
    connectAndPoll();
    gateway.stop();
    expectLostThenReconnected([&] { ASSERT_TRUE(gateway.start()) << gateway.why(); });
}

} // namespace
