// q7 serve between the simulated controller, on a pseudo-terminal, and a
// real mosquitto broker, watched and driven by mosquitto_sub and
// mosquitto_pub.
#include "broker_run.h"
#include "sim/sim_controller.h"

#include <memory>

using namespace serve_test;

namespace {

constexpr uint16_t kPv = 0x1000, kSv = 0x0000;
const std::string kState = "q7/furnace/1/state", kResult = "q7/furnace/1/result";

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7serve.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        broker = std::make_unique<Broker>(dir);
        ASSERT_TRUE(broker->start()) << slurp(dir + "/broker.err");
        sim = startSim(291); // PV 29.1, held still
    }
    void TearDown() override {
        bridge.stop(SIGKILL);
        for (auto& s : sims)
            s->stop();
        broker->stop();
        if (std::system(("rm -rf '" + dir + "'").c_str()) != 0) ADD_FAILURE();
    }

    // A controller whose process stands still, so its PV is known.
    sim::SimController* startSim(uint16_t pv, sim::SimOptions options = {}) {
        options.timeScale = 0;
        sims.push_back(std::make_unique<sim::SimController>(options));
        EXPECT_TRUE(sims.back()->start());
        sims.back()->setReg(kPv, pv);
        return sims.back().get();
    }

    void startBridge(const std::string& writes, const std::string& port = "",
                     const std::string& ids = "1") {
        std::ofstream(dir + "/serve.conf")
            << "# the bridge under test\n"
            << "[broker]\n"
            << "url = mqtt://127.0.0.1:" << broker->port() << "   # loopback\n"
            << "prefix = q7\n"
            << "[line furnace]\n"
            << "port = " << (port.empty() ? sim->devicePath() : port) << "\n"
            << "ids = " << ids << "\n"
            << "interval = 0.5\n"
            << writes << "\n";
        const char* bin = std::getenv("Q7_BINARY_DIR");
        ASSERT_TRUE(bridge.start(
            {std::string(bin ? bin : ".") + "/q7", "serve", "--config", dir + "/serve.conf"},
            dir + "/serve.out", dir + "/serve.err"));
    }

    // Writes the simulator was sent since the last look.
    std::vector<std::string> writesSeen() {
        std::vector<std::string> out;
        for (const std::string& r : sim->requestLog())
            if (r.rfind("01 06", 0) == 0) out.push_back(r);
        sim->clearRequestLog();
        return out;
    }

    std::string log() const { return slurp(dir + "/serve.err"); }

    std::string dir;
    std::unique_ptr<Broker> broker;
    std::vector<std::unique_ptr<sim::SimController>> sims;
    sim::SimController* sim = nullptr;
    Process bridge;
};

} // namespace

TEST_F(BridgeTest, PublishesTheControllerAndTakesOnlyCheckedSettings) {
    Subscriber results(*broker, dir, {kResult, kState, "q7/+/available", "q7/+/+/available"});
    // Kept by the broker from before, it reaches every new subscription: no
    // command of now.
    publish(*broker, dir, "q7/furnace/1/set/sv", "77.7", true);
    startBridge("writes = sv, mode");
    ASSERT_NE(results.await(kState, {"\"pv\":29.1", "\"sv\":25.0", "\"mode\":\"on\""}), "")
        << log();
    EXPECT_NE(results.await(kResult, {"\"ok\":false", "retained"}), "");
    // Retained: a newcomer is given it at once.
    Subscriber late(*broker, dir, {kState});
    EXPECT_NE(late.await(kState, {"\"pv\":29.1", "\"decimals\":1", "\"time\":"}), "");
    EXPECT_NE(results.await("q7/furnace/1/available", {"online"}), "");
    EXPECT_NE(results.await("q7/bridge/available", {"online"}), "");

    EXPECT_EQ(writesSeen(), std::vector<std::string>{});
    publish(*broker, dir, "q7/furnace/1/set/sv", "42.5");
    EXPECT_EQ(results.await(kResult, {"\"value\":42.5"}),
              "{\"command\":\"sv\",\"value\":42.5,\"ok\":true,\"holds\":42.5}");
    EXPECT_NE(results.await(kState, {"\"sv\":42.5"}), "");
    EXPECT_EQ(sim->reg(kSv), 425);
    EXPECT_EQ(writesSeen(), std::vector<std::string>{"01 06 00 00 01 A9 48 24"});

    // Above the controller's Hi limit of 1200.0: refused before it is sent.
    publish(*broker, dir, "q7/furnace/1/set/sv", "1300");
    EXPECT_EQ(results.await(kResult, {"1300.0"}),
              "{\"command\":\"sv\",\"value\":1300.0,\"ok\":false,\"reason\":\"not sent: SV is "
              "outside the controller's Lo/Hi limits (-200.0 to 1200.0)\"}");
    // The controller refuses one within them, and says what it holds.
    sim->refuseNextWrite(3);
    publish(*broker, dir, "q7/furnace/1/set/sv", "1100");
    EXPECT_EQ(results.await(kResult, {"1100.0"}),
              "{\"command\":\"sv\",\"value\":1100.0,\"ok\":false,\"reason\":\"refused (exception "
              "03)\",\"holds\":42.5}");
    EXPECT_EQ(sim->reg(kSv), 425);

    // Not allowed, malformed or too long: refused before the line hears of it.
    publish(*broker, dir, "q7/furnace/1/set/out", "55.5");
    publish(*broker, dir, "q7/furnace/1/set/sv", "hot");
    publish(*broker, dir, "q7/furnace/1/set/mode", "program");
    publish(*broker, dir, "q7/furnace/1/set/sv", std::string(300, '1'));
    EXPECT_NE(results.await(kResult, {"\"out\"", "\"ok\":false", "not allowed"}), "");
    EXPECT_NE(results.await(kResult, {"\"sv\"", "\"ok\":false", "malformed"}), "");
    EXPECT_NE(results.await(kResult, {"\"mode\"", "\"ok\":false", "malformed"}), "");
    EXPECT_NE(results.await(kResult, {"\"ok\":false", "over 256 bytes"}), "");
    EXPECT_EQ(writesSeen(), std::vector<std::string>{"01 06 00 00 2A F8 97 28"}); // 1100 alone

    publish(*broker, dir, "q7/furnace/1/set/mode", "manual");
    EXPECT_NE(results.await(kState, {"\"mode\":\"manual\""}), "");

    EXPECT_EQ(bridge.stop(SIGTERM), 0) << log();
    EXPECT_NE(results.await("q7/furnace/1/available", {"offline"}), "");
    EXPECT_NE(results.await("q7/bridge/available", {"offline"}), "");
}

// Numbers are read and rounded as the commands read and round them: a
// decimal comma is refused with the way to write it, a half goes away from
// zero, and the result shows the value as written.
TEST_F(BridgeTest, NumbersFollowTheCommandsRule) {
    Subscriber results(*broker, dir, {kResult, kState});
    startBridge("writes = sv, out, mode");
    ASSERT_NE(results.await(kState, {"\"sv\":25.0"}), "") << log();
    publish(*broker, dir, "q7/furnace/1/set/sv", "30,5");
    EXPECT_NE(results.await(kResult, {"\"ok\":false", "malformed: sv takes a number with a "
                                                      "decimal point, such as 42.5; a decimal "
                                                      "comma is not taken"}),
              "");
    publish(*broker, dir, "q7/furnace/1/set/sv", "42.55");
    EXPECT_EQ(results.await(kResult, {"\"command\":\"sv\"", "\"ok\":true"}),
              "{\"command\":\"sv\",\"value\":42.6,\"ok\":true,\"holds\":42.6}");
    EXPECT_EQ(sim->reg(kSv), 426);
    publish(*broker, dir, "q7/furnace/1/set/mode", "manual");
    EXPECT_NE(results.await(kResult, {"\"command\":\"mode\"", "\"ok\":true"}), "");
    publish(*broker, dir, "q7/furnace/1/set/out", "55.55");
    EXPECT_EQ(results.await(kResult, {"\"command\":\"out\""}),
              "{\"command\":\"out\",\"value\":55.6,\"ok\":true,\"holds\":55.6}");
    EXPECT_EQ(sim->reg(0x02), 556);
}

TEST_F(BridgeTest, WithoutWritesNothingIsSet) {
    Subscriber results(*broker, dir, {kResult, kState});
    startBridge("");
    ASSERT_NE(results.await(kState, {"\"sv\":25.0"}), "") << log();
    writesSeen();
    publish(*broker, dir, "q7/furnace/1/set/sv", "42.5");
    EXPECT_NE(results.await(kResult, {"\"command\":\"sv\"", "\"ok\":false", "not allowed"}), "");
    EXPECT_EQ(writesSeen(), std::vector<std::string>{});
    EXPECT_EQ(sim->reg(kSv), 250);
}

// A line whose device goes away and comes back (a symlink, as udev's by-id
// names are), then a broker that restarts having forgotten everything.
TEST_F(BridgeTest, StateResumesAfterTheLineAndTheBrokerComeBack) {
    const std::string link = dir + "/line";
    ASSERT_EQ(symlink(sim->devicePath().c_str(), link.c_str()), 0);
    Subscriber watch(*broker, dir, {kState, "q7/furnace/1/available"});
    startBridge("", link);
    ASSERT_NE(watch.await(kState, {"\"pv\":29.1"}), "") << log();

    sim->stop();
    EXPECT_NE(watch.await("q7/furnace/1/available", {"offline"}), "") << log();
    sim = startSim(345);
    ASSERT_EQ(unlink(link.c_str()), 0);
    ASSERT_EQ(symlink(sim->devicePath().c_str(), link.c_str()), 0);
    EXPECT_NE(watch.await(kState, {"\"pv\":34.5"}), "") << log();

    broker->stop();
    sim->setReg(kPv, 400);
    ASSERT_TRUE(broker->start());
    // The backoff tops out at 30 s; the state must be back well within that.
    Subscriber after(*broker, dir, {kState});
    EXPECT_NE(after.await(kState, {"\"pv\":40.0"}, 45), "") << log();
}

// Two controllers behind a Modbus TCP gateway, the second switched off.
TEST_F(BridgeTest, PublishesEachControllerBehindAGateway) {
    sim::SimOptions options;
    options.ids = {1, 2};
    options.listen = sim::Listen{};
    sim::SimController* gateway = startSim(291, options);
    gateway->setReg(2, kPv, 345);
    Subscriber watch(*broker, dir, {kState, "q7/furnace/2/state", "q7/furnace/+/available"});
    startBridge("", gateway->devicePath(), "1,2");
    EXPECT_NE(watch.await(kState, {"\"pv\":29.1"}), "") << log();
    EXPECT_NE(watch.await("q7/furnace/2/state", {"\"pv\":34.5"}), "") << log();
    gateway->setAnswering(2, false);
    EXPECT_NE(watch.await("q7/furnace/2/available", {"offline"}), "") << log();
    EXPECT_NE(watch.await("q7/furnace/1/available", {"online"}), "");
}
