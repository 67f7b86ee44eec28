// q7 serve between the simulated controller, on a pseudo-terminal, and a
// real mosquitto broker, watched and driven by mosquitto_sub and
// mosquitto_pub.
#include "broker_run.h"
#include "runs/run_store.h"
#include "sim/sim_controller.h"
#include "support/browser/browser_page.h"
#include "support/raw_web_socket.h"
#include "support/small_disk.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

using namespace serve_test;

namespace {

constexpr uint16_t kPv = 0x1000, kSv = 0x0000;
const std::string kState = "q7/furnace/1/state", kResult = "q7/furnace/1/result";

class BridgeTest : public ::testing::Test {
  protected:
    // programs/bisque.q7p in the folder, from PV, ending at SV 30, with these segments.
    void bisque(const std::string& segments) {
        ASSERT_EQ(mkdir((dir + "/programs").c_str(), 0755), 0);
        std::ofstream(dir + "/programs/bisque.q7p")
            << "[program]\nname = bisque\nunit = C\nstart = pv\nholdback = 0\nend = sv 30\n"
               "[segments]\n" +
                   segments;
    }
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
                     const std::string& ids = "1", const std::string& brokerLines = "",
                     Process* process = nullptr, const std::string& name = "serve") {
        std::ofstream(dir + "/" + name + ".conf")
            << "\xEF\xBB\xBF# the bridge under test, saved with a byte-order mark\n"
            << "[broker]\n"
            << (brokerLines.find("url =") == std::string::npos
                    ? "url = mqtt://127.0.0.1:" + std::to_string(broker->port()) + "   # loopback\n"
                    : "")
            << (brokerLines.empty() ? "prefix = q7\n" : brokerLines) << "[line furnace]\n"
            << "port = " << (port.empty() ? sim->devicePath() : port) << "\n"
            << "ids = " << ids << "\n"
            << "interval = 0.5\n"
            << writes << "\n";
        const char* bin = std::getenv("Q7_BINARY_DIR");
        ASSERT_TRUE((process ? *process : bridge)
                        .start({std::string(bin ? bin : ".") + "/q7", "serve", "--config",
                                dir + "/" + name + ".conf"},
                               dir + "/" + name + ".out", dir + "/" + name + ".err", workDir));
    }
    // Waits until the bridge's log holds text.
    bool logged(const std::string& text, const std::string& name = "serve") {
        return waitFor(
            [&] { return slurp(dir + "/" + name + ".err").find(text) != std::string::npos; },
            secondsFromNow(30));
    }
    // PUBLISH packets the broker received from the client on the topic.
    int received(const std::string& client, const std::string& topic) {
        const std::string head = "Received PUBLISH from " + client + " (";
        std::istringstream in(slurp(dir + "/broker.err"));
        int n = 0;
        for (std::string line; std::getline(in, line);)
            n += line.find(head) != std::string::npos &&
                 line.find(", '" + topic + "',") != std::string::npos;
        return n;
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
    std::string workDir; // where the bridge runs; the test's own folder when empty
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

// Published retained while the bridge is connected: the broker hands it on
// without its retain flag unless asked to keep it. It is refused all the
// same, and cleared, so that no later subscription is handed it.
TEST_F(BridgeTest, RetainedCommandWhileConnectedIsRefusedAndCleared) {
    Subscriber results(*broker, dir, {kResult, kState});
    startBridge("writes = sv");
    ASSERT_NE(results.await(kState, {"\"sv\":25.0"}), "") << log();
    writesSeen();
    publish(*broker, dir, "q7/furnace/1/set/sv", "33", true);
    EXPECT_NE(results.await(kResult, {"\"ok\":false", "retained"}), "") << log();
    // Retained messages come in the order of the subscriptions: the state's
    // comes after the command's would have.
    Subscriber late(*broker, dir, {"q7/furnace/1/set/sv", kState});
    EXPECT_NE(late.await(kState, {"\"sv\":25.0"}), "");
    EXPECT_EQ(late.all().find("set/sv"), std::string::npos) << late.all();
    EXPECT_EQ(writesSeen(), std::vector<std::string>{});
    EXPECT_EQ(sim->reg(kSv), 250);
}

// A second bridge on a port the first holds ends at once, naming the
// holder, and never reaches the broker.
TEST_F(BridgeTest, SecondBridgeOnThePortEndsAtStartAndPublishesNothing) {
    Subscriber watch(*broker, dir, {kState});
    startBridge("");
    ASSERT_NE(watch.await(kState, {"\"pv\":29.1"}), "") << log();
    Process second;
    startBridge("", "", "1", "prefix = other\nclient_id = second\n", &second, "second");
    ASSERT_TRUE(waitFor([&] { return !second.running(); }, secondsFromNow(20)));
    EXPECT_EQ(second.stop(), 3);
    const std::string err = slurp(dir + "/second.err");
    EXPECT_NE(err.find("in use by process"), std::string::npos) << err;
    EXPECT_EQ(slurp(dir + "/broker.err").find("as second"), std::string::npos);
    EXPECT_EQ(received("second", "other/furnace/1/available"), 0);
}

// SIGTERM on a line whose every reply comes 0.8 s late, in the middle of
// the first parameter read: the bridge ends between two requests, says
// offline, and leaves the rest of the read unsent.
TEST_F(BridgeTest, SigtermStopsBetweenTwoRequests) {
    sim::SimOptions slow;
    slow.latency = 0.8;
    sim = startSim(291, slow);
    Subscriber watch(*broker, dir, {"q7/furnace/1/available", "q7/furnace/1/parameters"});
    startBridge("");
    // The probe and the poll's six reads, then three of the parameters.
    ASSERT_TRUE(waitFor([&] { return sim->requestCount() >= 10; }, secondsFromNow(60)));
    const int asked = sim->requestCount();
    EXPECT_EQ(bridge.stop(SIGTERM), 0) << log();
    EXPECT_LE(sim->requestCount(), asked + 1);
    EXPECT_NE(watch.await("q7/furnace/1/available", {"offline"}), "");
    EXPECT_EQ(watch.all().find("q7/furnace/1/parameters"), std::string::npos);
}

// The broker is away while the bridge starts and PV changes twice: when
// it comes, it is given each retained topic once, the latest.
TEST_F(BridgeTest, BrokerThatComesLateGetsEachTopicOnceAndTheLatest) {
    broker->stop();
    startBridge("", "", "1", "prefix = q7\nhomeassistant = yes\nclient_id = late\n");
    ASSERT_TRUE(waitFor([&] { return sim->requestCount() >= 40; }, secondsFromNow(60))) << log();
    sim->setReg(kPv, 300);
    ASSERT_TRUE(waitFor([&] { return sim->requestCount() >= 50; }, secondsFromNow(60)));
    sim->setReg(kPv, 310);
    ASSERT_TRUE(waitFor([&] { return sim->requestCount() >= 60; }, secondsFromNow(60)));
    ASSERT_TRUE(broker->start());
    Subscriber watch(*broker, dir, {kState});
    EXPECT_NE(watch.await(kState, {"\"pv\":31.0"}, 45), "") << log();
    ASSERT_TRUE(waitFor(
        [&] {
            return received("late", "homeassistant/climate/q7_furnace_1/thermostat/config") > 0;
        },
        secondsFromNow(30)));
    EXPECT_EQ(received("late", kState), 1);
    EXPECT_EQ(received("late", "q7/furnace/1/available"), 1);
    EXPECT_EQ(received("late", "q7/furnace/1/parameters"), 1);
    EXPECT_EQ(received("late", "homeassistant/climate/q7_furnace_1/thermostat/config"), 1);
    EXPECT_EQ(received("late", "q7/bridge/available"), 1);
}

// Home Assistant's view: every retained config the bridge leaves on the
// broker passes Home Assistant's own schemas (transcribed in ha_schema.py),
// and its templates render from the state the bridge published; the alarm
// outputs reach the state; and when Home Assistant says it started, every
// config goes out again.
TEST_F(BridgeTest, HomeAssistantDeviceValidatesAndComesBackWhenHomeAssistantStarts) {
    // Alarm 2 high at 10.0, with PV at 29.1: its output is on.
    sim->setReg(0x000B, 1);
    sim->setReg(0x0009, 100);
    const std::string climate = "homeassistant/climate/q7_furnace_1/thermostat/config";
    Subscriber watch(*broker, dir, {kState, "homeassistant/#"});
    startBridge("writes = sv, mode, out", "", "1",
                "prefix = q7\nhomeassistant = yes\nclient_id = ha\n");
    ASSERT_NE(
        watch.await(kState, {"\"alarms\":{\"alarm1\":false,\"alarm2\":true}", "\"program\":null"}),
        "")
        << log();
    ASSERT_NE(watch.await("homeassistant/number/q7_furnace_1/manual_out/config", {"set/out"}), "")
        << log();
    // What a Home Assistant that comes now is given: the retained configs.
    Subscriber retained(*broker, dir, {"homeassistant/+/+/+/config"});
    ASSERT_NE(retained.await(climate, {}), "");
    Subscriber state(*broker, dir, {kState});
    ASSERT_NE(state.await(kState, {"\"pv\""}), "");
    // The controller's eleven entities and the bridge's one; no zone, so
    // none of a run's.
    ASSERT_TRUE(waitFor(
        [&] {
            const std::string all = retained.all();
            return std::count(all.begin(), all.end(), '\n') >= 12;
        },
        secondsFromNow(10)))
        << retained.all();
    const std::string check = std::string(Q7_TESTS_DIR) + "/serve/ha_schema.py";
    EXPECT_EQ(runToEnd({"/usr/bin/python3", check, retained.file(), state.file()}, dir), 0)
        << slurp(dir + "/.run.out") << slurp(dir + "/.run.err");
    // Every config checked, and every value template rendered from the state.
    EXPECT_EQ(slurp(dir + "/.run.out"), "12 configs valid, 13 templates rendered, 0 faults\n");
    EXPECT_EQ(retained.all().find("/button/"), std::string::npos) << retained.all();
    // The former thermostat topic, from before the node had the prefix in
    // it, was cleared.
    EXPECT_GE(received("ha", "homeassistant/climate/q7_furnace_1/config"), 1);

    const int before = received("ha", climate);
    publish(*broker, dir, "homeassistant/status", "online");
    EXPECT_TRUE(waitFor([&] { return received("ha", climate) == before + 1; }, secondsFromNow(20)))
        << before;
    EXPECT_EQ(received("ha", "homeassistant/binary_sensor/q7_bridge/connected/config"), 2);
}

// Brokers that fail the connection each in their own way: each failure is
// told with its reason, once while the reason stays the same.
TEST_F(BridgeTest, EachFailedBrokerConnectionIsToldWithItsReason) {
    // A TLS listener, its certificate signed by no authority the system knows.
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                           "-keyout '" +
                           dir + "/key.pem' -out '" + dir + "/cert.pem' 2>/dev/null")
                              .c_str()),
              0);
    const int tlsPort = freeLoopbackPort();
    std::ofstream(dir + "/tls.conf") << "listener " << tlsPort << " 127.0.0.1\n"
                                     << "allow_anonymous true\nuser root\ncertfile " << dir
                                     << "/cert.pem\nkeyfile " << dir << "/key.pem\n";
    Process tls;
    ASSERT_TRUE(
        tls.start({"mosquitto", "-c", dir + "/tls.conf"}, dir + "/tls.out", dir + "/tls.err"));
    ASSERT_TRUE(waitFor([&] { return accepts(tlsPort); }, secondsFromNow(20)));
    const std::string at = "127.0.0.1:" + std::to_string(tlsPort);
    startBridge("", "", "1", "url = mqtt://" + at + "\n", nullptr, "plain");
    EXPECT_TRUE(logged("the connection closed before the broker accepted it", "plain"))
        << slurp(dir + "/plain.err");
    EXPECT_TRUE(logged("a TLS port takes an mqtts:// url", "plain"));
    bridge.stop();
    startBridge("", "", "1", "url = mqtts://" + at + "\n", nullptr, "verify");
    EXPECT_TRUE(logged("certificate verify failed", "verify")) << slurp(dir + "/verify.err");
    const std::string told = slurp(dir + "/verify.err");
    EXPECT_EQ(told.find("cannot connect"), told.rfind("cannot connect")) << told;
    bridge.stop();
    tls.stop();

    // Takes the connection and never answers.
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&a), &length), 0);
    startBridge("", "", "1", "url = mqtt://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "\n");
    EXPECT_TRUE(logged("(no answer to the connection within 10 s: is it an MQTT broker; a TLS "
                       "port takes an mqtts:// url?)"))
        << log();
    bridge.stop();
    close(silent);
}

// A firing run started, followed and stopped through the broker, on a
// simulated kiln that heats 60 times faster than life.
TEST_F(BridgeTest, RunStartedFromTheBrokerIsPublishedRecordedAndStoppedAsItsProgramSays) {
    sim::SimOptions fastOptions;
    fastOptions.timeScale = 60;
    sims.push_back(std::make_unique<sim::SimController>(fastOptions));
    ASSERT_TRUE(sims.back()->start());
    sim::SimController* kiln = sims.back().get();
    workDir = dir;
    bisque("600 200 0:10\nfull 300 0:10\n");
    const std::string runState = "q7/furnace/run/bisque/state";
    Subscriber results(*broker, dir, {kResult, kState, runState});

    startBridge("writes = sv", kiln->devicePath());
    ASSERT_NE(results.await(kState, {"\"pv\""}), "") << log();
    publish(*broker, dir, "q7/furnace/1/run/start", "bisque");
    EXPECT_EQ(results.await(kResult, {"run/start"}),
              "{\"command\":\"run/start\",\"ok\":false,\"reason\":\"not allowed: the bridge's "
              "config does not name run in writes; nothing was sent\"}");
    publish(*broker, dir, "q7/furnace/1/run/extend", "0:30");
    EXPECT_EQ(results.await(kResult, {"run/extend"}),
              "{\"command\":\"run/extend\",\"ok\":false,\"reason\":\"not allowed: the bridge's "
              "config does not name run in writes; nothing was sent\"}");
    publish(*broker, dir, "q7/furnace/1/run/target", "250");
    EXPECT_EQ(results.await(kResult, {"run/target"}),
              "{\"command\":\"run/target\",\"ok\":false,\"reason\":\"not allowed: the bridge's "
              "config does not name run in writes; nothing was sent\"}");
    ASSERT_EQ(bridge.stop(SIGTERM), 0);

    // A rule on the run's end, and Home Assistant's sensors of the run.
    std::ofstream(dir + "/rules.conf") << "[rule done]\nwhen = run ended\ndo = publish\n";
    const std::string event = "q7/furnace/1/event";
    Subscriber events(*broker, dir, {event});
    startBridge("writes = sv, mode, run", kiln->devicePath(), "1",
                "prefix = q7\nhomeassistant = yes\nalarms = " + dir + "/rules.conf\n");
    ASSERT_TRUE(logged("connected to the broker") && logged("answers")) << log();
    // A program is taken from the library alone, never from the working
    // folder, and one that does not read is told by its line, not its text.
    std::ofstream(dir + "/glaze.q7p") << "[program]\nname = glaze\n";
    std::ofstream(dir + "/programs/secret.q7p") << "[program]\nname = x\nunit = s3cr3t\n";
    publish(*broker, dir, "q7/furnace/1/run/start", "glaze");
    EXPECT_EQ(results.await(kResult, {"glaze"}),
              "{\"command\":\"run/start\",\"ok\":false,\"reason\":\"programs/glaze.q7p: cannot "
              "be read: it does not exist, cannot be opened, or is larger than 64 KiB\"}");
    publish(*broker, dir, "q7/furnace/1/run/start", "secret");
    EXPECT_NE(results.await(kResult, {"programs/secret.q7p: line 3: unit takes C or F\""}), "")
        << results.all();
    EXPECT_EQ(results.all().find("s3cr3t"), std::string::npos) << results.all();
    // A field the site requires is given with the start, or no run starts.
    std::ofstream(dir + "/records.conf") << "required = job\n";
    publish(*broker, dir, "q7/furnace/1/run/start", "{\"program\":\"bisque\",\"zones\":\"1\"}");
    EXPECT_NE(results.await(kResult, {"run/start", "no run starts without job"}), "")
        << results.all();
    publish(*broker, dir, "q7/furnace/1/run/start",
            "{\"program\":\"bisque\",\"zones\":\"1\",\"fields\":{\"job\":\"A-17\"}}");
    ASSERT_NE(results.await(kResult, {"run/start", "\"ok\":true"}), "") << log();
    EXPECT_NE(results.await(runState, {"\"phase\":\"running\"", "\"segment\":1", "\"planned_sv\":",
                                       "\"zones\":[{\"id\":1,\"offset\":0.0,"
                                       "\"pv\":"}),
              "");
    // The controller's own state tells where its run is, for an entity
    // that cannot follow the run's topic.
    const std::string during = results.await(
        kState, {"\"run\":\"bisque\",\"run_segment\":1,\"run_segments\":2,\"run_time_to_go\":"});
    ASSERT_NE(during, "");
    Subscriber late(*broker, dir, {runState});
    EXPECT_NE(late.await(runState, {"\"program\":\"bisque\""}), ""); // retained
    // Home Assistant's sensors render the run from that state.
    Subscriber sensors(*broker, dir, {"homeassistant/sensor/q7_furnace_1/+/config"});
    ASSERT_TRUE(waitFor(
        [&] {
            const std::string all = sensors.all();
            return std::count(all.begin(), all.end(), '\n') >= 10; // pv, sv, output and the run's
        },
        secondsFromNow(10)))
        << sensors.all();
    std::ofstream(dir + "/during.out") << kState << " " << during << "\n";
    const std::string check = std::string(Q7_TESTS_DIR) + "/serve/ha_schema.py";
    EXPECT_EQ(runToEnd({"/usr/bin/python3", check, sensors.file(), dir + "/during.out"}, dir), 0)
        << slurp(dir + "/.run.out") << slurp(dir + "/.run.err");
    EXPECT_EQ(slurp(dir + "/.run.out"), "10 configs valid, 10 templates rendered, 0 faults\n");
    EXPECT_EQ(events.all(), ""); // the rule waits for the end

    // A hold made longer, or refused shorter than it can be, from the broker.
    Subscriber extends(*broker, dir, {kResult});
    publish(*broker, dir, "q7/furnace/1/run/extend", "{\"time\":\"-1:00\"}");
    EXPECT_EQ(extends.await(kResult, {"run/extend"}),
              "{\"command\":\"run/extend\",\"ok\":false,\"reason\":\"segment 1 has held 0:00 of "
              "its 0:10: its hold can be shortened by at most 0:10\"}");
    publish(*broker, dir, "q7/furnace/1/run/extend", "0:30");
    EXPECT_NE(extends.await(kResult, {"run/extend", "\"ok\":true"}), "") << extends.all();
    publish(*broker, dir, "q7/furnace/1/run/extend", "soon");
    EXPECT_NE(extends.await(kResult, {"run/extend", "malformed: run/extend takes H:MM"}), "")
        << extends.all();
    // The segment's target, in the program's unit, checked as its line is.
    publish(*broker, dir, "q7/furnace/1/run/target", "{\"target\":40000}");
    EXPECT_NE(extends.await(kResult, {"run/target", "\"reason\":\"segment 1: the target 40000 "
                                                    "lies outside -273.15 to 32767 °C\""}),
              "")
        << extends.all();
    publish(*broker, dir, "q7/furnace/1/run/target", "{\"target\":250}");
    EXPECT_NE(extends.await(kResult, {"run/target", "\"ok\":true"}), "") << extends.all();
    publish(*broker, dir, "q7/furnace/1/run/rate", "fast");
    EXPECT_NE(extends.await(kResult, {"run/rate", "malformed: run/rate takes degrees per hour"}),
              "")
        << extends.all();

    publish(*broker, dir, "q7/furnace/1/run/stop", "");
    EXPECT_EQ(results.await(kResult, {"run/stop"}), "{\"command\":\"run/stop\",\"ok\":true}");
    EXPECT_NE(results.await(runState, {"\"phase\":\"ended\"", "\"outcome\":\"stopped\""}), "");
    // The run's fields go with the run, at once; its phase and outcome stay.
    EXPECT_TRUE(waitFor(
        [&] {
            const std::string all = results.all();
            const auto at = all.rfind(kState + " ");
            const auto end = all.find('\n', at);
            return at != std::string::npos && all.find("\"run\":", at) > end &&
                   all.find("\"run_segment", at) > end &&
                   all.find("\"run_phase\":\"ended\",\"run_outcome\":\"stopped\"", at) < end;
        },
        secondsFromNow(10)))
        << results.all();
    EXPECT_NE(events.await(event, {"\"rule\":\"done\""}), "") << log();
    EXPECT_TRUE(waitFor([&] { return kiln->reg(kSv) == 300; }, secondsFromNow(10))); // end = sv 30
    const char* bin = std::getenv("Q7_BINARY_DIR");
    EXPECT_EQ(runToEnd({std::string(bin ? bin : ".") + "/q7", "runs"}, dir, dir), 0);
    const std::string listed = slurp(dir + "/.run.out");
    EXPECT_NE(listed.find("bisque"), std::string::npos) << listed;
    EXPECT_NE(listed.find("stopped"), std::string::npos) << listed;
    EXPECT_EQ(runToEnd({std::string(bin ? bin : ".") + "/q7", "runs", "show", "1"}, dir, dir), 0);
    const std::string shown = slurp(dir + "/.run.out");
    EXPECT_NE(shown.find("change: segment 1's hold extended by 0:30 by the broker: 0:10 to 0:40"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("change: segment 1's target changed by the broker: 200 °C to 250 °C"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("  job: A-17\n"), std::string::npos) << shown;
    // The end holds at every poll since, and the rule fired on it once.
    const std::string told = events.all();
    EXPECT_EQ(told.find(event), told.rfind(event)) << told;
}

// Home Assistant's device of a zone: every config validates, the program
// select and the buttons drive a run on the controller through the broker,
// on the topics every client commands runs on, and a reload that takes
// runs out of the writes takes the select and the buttons away.
TEST_F(BridgeTest, HomeAssistantStartsPausesContinuesAndStopsARun) {
    workDir = dir;
    bisque("600 60 0:10\n");
    const std::string runState = "q7/furnace/run/bisque/state";
    const std::string device = "homeassistant/+/q7_furnace_1/+/config";
    const std::string startButton = "homeassistant/button/q7_furnace_1/run_start/config";
    Subscriber results(*broker, dir, {kResult, kState, runState});
    Subscriber configs(*broker, dir, {device});
    const int web = freeLoopbackPort();
    startBridge("writes = sv, mode, run", "", "1",
                "prefix = q7\nhomeassistant = yes\nclient_id = ha\n[web]\nlisten = 127.0.0.1:" +
                    std::to_string(web) + "\n");
    ASSERT_NE(configs.await(startButton, {"run/start"}), "") << log();
    ASSERT_NE(results.await(kState, {"\"pv\""}), "");
    // The climate offers off whatever the writes, and the device links to
    // the web view.
    EXPECT_NE(
        configs.await("homeassistant/climate/q7_furnace_1/thermostat/config",
                      {"\"modes\":[\"off\",\"heat\"]",
                       "\"configuration_url\":\"http://127.0.0.1:" + std::to_string(web) + "/\"",
                       "\"manufacturer\":"}),
        "")
        << configs.all() << log();
    Subscriber retained(*broker, dir, {device});
    // Ten of the controller (no manual output) and eleven of the run.
    ASSERT_TRUE(waitFor(
        [&] {
            const std::string all = retained.all();
            return std::count(all.begin(), all.end(), '\n') >= 21;
        },
        secondsFromNow(10)))
        << retained.all();
    Subscriber state(*broker, dir, {kState});
    ASSERT_NE(state.await(kState, {"\"pv\""}), "");
    const std::string check = std::string(Q7_TESTS_DIR) + "/serve/ha_schema.py";
    EXPECT_EQ(runToEnd({"/usr/bin/python3", check, retained.file(), state.file()}, dir), 0)
        << slurp(dir + "/.run.out") << slurp(dir + "/.run.err");
    EXPECT_EQ(slurp(dir + "/.run.out"), "21 configs valid, 18 templates rendered, 0 faults\n");

    // What Home Assistant sends: each entity's command topic, the option
    // picked or the button's payload.
    const auto field = [&](const std::string& key, const std::string& name) {
        const std::string config = configs.await("homeassistant/" + key + "/config", {});
        const std::string head = "\"" + name + "\":\"";
        const auto at = config.find(head);
        if (at == std::string::npos) return std::string("(none)");
        return config.substr(at + head.size(),
                             config.find('"', at + head.size()) - at - head.size());
    };
    const auto press = [&](const std::string& button) {
        const std::string key = "button/q7_furnace_1/" + button;
        publish(*broker, dir, field(key, "command_topic"), field(key, "payload_press"));
    };
    press("run_start");
    EXPECT_NE(results.await(kResult, {"run/start", "no program is selected"}), "") << log();
    publish(*broker, dir, field("select/q7_furnace_1/run_select", "command_topic"), "bisque");
    EXPECT_EQ(results.await(kResult, {"\"command\":\"run/select\""}),
              "{\"command\":\"run/select\",\"ok\":true}");
    press("run_start");
    ASSERT_NE(results.await(kResult, {"run/start", "\"ok\":true"}), "") << log();
    EXPECT_NE(results.await(kState, {"\"run_program\":\"bisque\"", "\"run_planned_sv\":",
                                     "\"run_finish\":\"", "\"run_selected\":\"bisque\""}),
              "")
        << results.all();
    press("run_pause");
    EXPECT_NE(results.await(runState, {"\"phase\":\"paused\""}), "") << results.all();
    EXPECT_NE(results.await(kState, {"\"run_phase\":\"paused\""}), "");
    press("run_continue");
    EXPECT_NE(results.await(kResult, {"run/resume", "\"ok\":true"}), "") << results.all();
    press("run_stop");
    EXPECT_NE(results.await(runState, {"\"phase\":\"ended\"", "\"outcome\":\"stopped\""}), "");
    EXPECT_NE(results.await(kState, {"\"run_phase\":\"ended\"", "\"run_outcome\":\"stopped\""}), "")
        << results.all();

    // Runs no longer allowed, and no run open: the device is no zone.
    const int before = received("ha", startButton);
    std::string text = slurp(dir + "/serve.conf");
    text.replace(text.find("sv, mode, run"), 13, "sv, mode");
    std::ofstream(dir + "/serve.conf") << text;
    bridge.signal(SIGHUP);
    ASSERT_TRUE(waitFor([&] { return received("ha", startButton) > before; }, secondsFromNow(20)))
        << log();
    Subscriber after(*broker, dir, {device, kState});
    ASSERT_NE(after.await(kState, {}), "");
    ASSERT_NE(after.await("homeassistant/climate/q7_furnace_1/thermostat/config", {}), "");
    EXPECT_EQ(after.all().find("/button/"), std::string::npos) << after.all();
    EXPECT_EQ(after.all().find("run_program"), std::string::npos) << after.all();
}

// A reload with a run open: a new interval is taken and the run goes on; a
// new port would close the line, so it is refused while the run is open.
TEST_F(BridgeTest, AReloadKeepsTheOpenRunAndRefusesANewPortForItsLine) {
    workDir = dir;
    bisque("600 60 0:10\n");
    const std::string runState = "q7/furnace/run/bisque/state";
    Subscriber results(*broker, dir, {kResult, runState, "q7/furnace/status"});
    startBridge("writes = sv, mode, run");
    ASSERT_TRUE(logged("answers")) << log();
    publish(*broker, dir, "q7/furnace/1/run/start", "bisque");
    ASSERT_NE(results.await(kResult, {"run/start", "\"ok\":true"}), "") << log();
    ASSERT_NE(results.await(runState, {"\"phase\":\"running\""}), "") << results.all();
    const std::string conf = dir + "/serve.conf";
    const auto edit = [&](const std::string& from, const std::string& to) {
        std::string text = slurp(conf);
        text.replace(text.find(from), from.size(), to);
        std::ofstream(conf) << text;
        bridge.signal(SIGHUP);
    };

    edit("interval = 0.5", "interval = 1");
    EXPECT_TRUE(logged("reload: line furnace: its interval changed; taken in place, its runs "
                       "go on"))
        << log();
    EXPECT_NE(results.await("q7/furnace/status", {"\"interval\":1.0"}), "") << log();

    sim::SimController* other = startSim(200);
    edit("port = " + sim->devicePath(), "port = " + other->devicePath());
    EXPECT_TRUE(logged("reload: line furnace: its port changed, which needs the port closed: "
                       "refused while the run bisque is open on it"))
        << log();
    EXPECT_EQ(log().find("the run ends"), std::string::npos) << log();
    EXPECT_EQ(results.all().find("\"phase\":\"ended\""), std::string::npos) << results.all();
    // A set value from the broker (Home Assistant) pauses the run, and the
    // result says so, naming the controller by its line.
    publish(*broker, dir, "q7/furnace/1/set/sv", "250");
    EXPECT_NE(results.await(kResult,
                            {"\"command\":\"sv\"", "\"run\":\"bisque\"", "\"run_phase\":\"paused\"",
                             "\"run_reason\":\"furnace id 1: SV set to 250.0"}),
              "")
        << results.all();
    publish(*broker, dir, "q7/furnace/1/run/stop", "");
    EXPECT_EQ(results.await(kResult, {"run/stop"}), "{\"command\":\"run/stop\",\"ok\":true}");
    EXPECT_EQ(bridge.stop(SIGTERM), 0) << log();
}

// A run the bridge ends once the disk is full: the end is told, and a
// bridge that starts again with `resume = yes` leaves the kiln alone.
TEST_F(BridgeTest, ARunEndedOnAFullDiskIsToldAndNotResumedAtTheNextStart) {
    const SmallDisk disk(dir + "/disk");
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    workDir = dir;
    ASSERT_EQ(symlink("disk/runs.sqlite", (dir + "/runs.sqlite").c_str()), 0);
    bisque("600 200 0:10\n");
    const std::string runState = "q7/furnace/run/bisque/state";
    Subscriber results(*broker, dir, {kResult, kState, runState});
    startBridge("writes = sv, mode, run\nresume = yes");
    ASSERT_TRUE(logged("answers")) << log();
    publish(*broker, dir, "q7/furnace/1/run/start", "bisque");
    ASSERT_NE(results.await(kResult, {"run/start", "\"ok\":true"}), "") << log();
    disk.fill();
    ASSERT_TRUE(logged("bisque: the run goes on unrecorded")) << log();
    publish(*broker, dir, "q7/furnace/1/run/stop", "");
    EXPECT_NE(results.await(runState, {"\"phase\":\"ended\"", "\"unrecorded\":\"runs.sqlite: "}),
              "")
        << results.all();
    EXPECT_TRUE(logged("bisque: the run went unrecorded: ")) << log();
    ASSERT_EQ(bridge.stop(SIGTERM), 0);

    ASSERT_TRUE(disk.free());
    sim->clearRequestLog();
    startBridge("writes = sv, mode, run\nresume = yes", "", "1", "", nullptr, "again");
    // Two polls of PV: a run resumed at the start would have written by then.
    ASSERT_TRUE(waitFor(
        [&] {
            const auto log = sim->requestLog();
            return std::count_if(log.begin(), log.end(), [](const std::string& r) {
                       return r.rfind("01 03 10 00", 0) == 0;
                   }) >= 2;
        },
        secondsFromNow(30)))
        << slurp(dir + "/again.err");
    EXPECT_EQ(slurp(dir + "/again.err").find("run 1"), std::string::npos)
        << slurp(dir + "/again.err");
    EXPECT_EQ(writesSeen(), std::vector<std::string>{});
}

// A bridge killed in a run, started again with `resume = yes`: the run goes
// on in its own record, which tells the gap.
TEST_F(BridgeTest, ARunKilledWithTheBridgeGoesOnInItsOwnRecordAtTheNextStart) {
    workDir = dir;
    bisque("600 200 0:10\n");
    Subscriber results(*broker, dir, {kResult});
    startBridge("writes = sv, mode, run\nresume = yes");
    ASSERT_TRUE(logged("answers")) << log();
    publish(*broker, dir, "q7/furnace/1/run/start", "bisque");
    ASSERT_NE(results.await(kResult, {"run/start", "\"ok\":true"}), "") << log();
    const char* bin = std::getenv("Q7_BINARY_DIR");
    const std::string q7 = std::string(bin ? bin : ".") + "/q7";
    // What the store holds of run 1, as another process reads it.
    const auto stored = [&](const auto& holds) {
        return waitFor(
            [&] {
                auto s = RunStore::open(dir + "/" + kRunStoreFile, RunStore::Use::read);
                auto* store = std::get_if<std::unique_ptr<RunStore>>(&s);
                return store && holds(**store);
            },
            secondsFromNow(30));
    };
    // Killed once the run has sampled; stopped once it went on.
    ASSERT_TRUE(stored([](RunStore& s) { return s.lastSampleTime(1).found(); }));
    bridge.stop(SIGKILL);
    startBridge("writes = sv, mode, run\nresume = yes", "", "1", "", nullptr, "again");
    ASSERT_TRUE(logged("run 1 resumed on ids 1", "again")) << slurp(dir + "/again.err");
    ASSERT_TRUE(stored([](RunStore& s) {
        const auto events = s.events(1);
        return events.found() && !events->empty() && events->back().kind != EventKind::silence;
    }));
    EXPECT_EQ(bridge.stop(SIGTERM), 0);
    EXPECT_EQ(runToEnd({q7, "runs"}, dir, dir), 0);
    const std::string listed = slurp(dir + "/.run.out");
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 2) << listed;
    EXPECT_EQ(runToEnd({q7, "runs", "show", "1"}, dir, dir), 0);
    const std::string shown = slurp(dir + "/.run.out");
    EXPECT_NE(shown.find("silence: driver lost at "), std::string::npos) << shown;
    EXPECT_NE(shown.find("; PV 29.1 °C\n"), std::string::npos) << shown;
}

// One kiln behind a gateway, and two that would drive it: the bridge's run
// and `q7 run` through the same endpoint. Whichever has the controller, the
// other is refused before it writes anything.
TEST_F(BridgeTest, ARunOnAControllerBehindAGatewayIsRefusedToASecondDriver) {
    sim::SimOptions gatewayOptions;
    gatewayOptions.timeScale = 60;
    gatewayOptions.listen = sim::Listen{};
    sims.push_back(std::make_unique<sim::SimController>(gatewayOptions));
    ASSERT_TRUE(sims.back()->start());
    const std::string gateway = sims.back()->devicePath();
    workDir = dir;
    bisque("600 200 0:10\n");
    Subscriber results(*broker, dir, {kResult});
    startBridge("writes = sv, mode, run", gateway);
    ASSERT_TRUE(logged("answers")) << log();
    publish(*broker, dir, "q7/furnace/1/run/start", "bisque");
    ASSERT_NE(results.await(kResult, {"run/start", "\"ok\":true"}), "") << log();

    const char* bin = std::getenv("Q7_BINARY_DIR");
    const std::string q7 = std::string(bin ? bin : ".") + "/q7";
    const std::vector<std::string> own{q7, "--com", "1=" + gateway, "run", "--program", "bisque"};
    EXPECT_EQ(runToEnd(own, dir, dir), 2);
    EXPECT_NE(slurp(dir + "/.run.err")
                  .find("run 1 (bisque) is unfinished on COM1 id 1: run 1 is driven by q7, pid " +
                        std::to_string(bridge.pid())),
              std::string::npos)
        << slurp(dir + "/.run.err");

    // The other way round: a run of q7's holds the controller from the bridge.
    publish(*broker, dir, "q7/furnace/1/run/stop", "");
    ASSERT_NE(results.await(kResult, {"run/stop", "\"ok\":true"}), "") << log();
    Process second;
    ASSERT_TRUE(second.start(own, dir + "/second.out", dir + "/second.err", dir));
    ASSERT_TRUE(
        waitFor([&] { return slurp(dir + "/second.out").find("started") != std::string::npos; },
                secondsFromNow(20)))
        << slurp(dir + "/second.err");
    publish(*broker, dir, "q7/furnace/1/run/start", "bisque");
    const std::string refused = results.await(kResult, {"run/start", "\"ok\":false"});
    EXPECT_NE(refused.find("run 2 (bisque) is unfinished on id 1: run 2 is driven by q7, pid " +
                           std::to_string(second.pid())),
              std::string::npos)
        << refused << log();
    EXPECT_EQ(second.stop(SIGINT), 130);
}

// The alarm rules named under [broker] look at every poll; publish sends the
// event to the controller's event topic, once on the edge, and an action
// that was not carried out is published there as failed.
TEST_F(BridgeTest, AlarmRulePublishesItsEventOnce) {
    std::ofstream(dir + "/rules.conf")
        << "[rule warm]\nwhen = pv > 0\ndo = publish, log, sv 9999\n";
    const std::string topic = "q7/furnace/1/event";
    Subscriber events(*broker, dir, {topic});
    startBridge("writes = sv", "", "1", "prefix = q7\nalarms = " + dir + "/rules.conf\n");
    const std::string event = events.await(topic, {"\"rule\":\"warm\""});
    EXPECT_NE(event.find("\"id\":1,\"pv\":29.1,\"sv\":25.0"), std::string::npos) << event;
    EXPECT_NE(event.find("\"time\":"), std::string::npos) << event;
    EXPECT_NE(events.await(topic, {"\"ok\":false,\"failed\":\"sv 9999 not sent: "}), "")
        << events.all();
    // Three cycles later the rule still holds, and fired once.
    ASSERT_TRUE(logged("polling the 1 controller every")) << log();
    EXPECT_TRUE(logged("alarm rule warm on furnace id 1")) << log();
    std::istringstream lines(events.all());
    int n = 0;
    for (std::string line; std::getline(lines, line);)
        n += line.rfind(topic + " ", 0) == 0 && line.find("\"failed\"") == std::string::npos;
    EXPECT_EQ(n, 1) << events.all();
}

// The web view shows what the broker is given: /api/state holds the state
// retained on the broker byte for byte, /metrics passes Prometheus's own
// check with the line's counts and the controller's PV, and a request the
// view refuses leaves the polls going.
TEST_F(BridgeTest, WebViewServesTheRetainedStateAndTheLinesMetrics) {
    const std::string web = "http://127.0.0.1:" + std::to_string(freeLoopbackPort());
    startBridge("writes = sv\n[web]\nlisten = " + web.substr(7));
    ASSERT_TRUE(logged("web view on " + web + "/")) << log();
    Subscriber states(*broker, dir, {kState});
    const std::string state = states.await(kState, {"\"pv\":29.1"});
    ASSERT_NE(state, "") << log();
    const auto fetch = [&](const std::string& curlArgs) {
        runToEnd({"/bin/sh", "-c", "curl -s --path-as-is " + curlArgs}, dir);
        return slurp(dir + "/.run.out");
    };
    // Whether it answers comes first, then the retained state as it is.
    const std::string api = fetch(web + "/api/state");
    EXPECT_NE(api.find("{\"furnace\":{\"1\":{\"available\":true," + state.substr(1) + "}}"),
              std::string::npos)
        << api;
    EXPECT_EQ(fetch("-o /dev/null -w '%{http_code}' -X POST " + web + "/"), "405");
    EXPECT_EQ(fetch("-o /dev/null -w '%{http_code}' " + web + "/../etc/passwd"), "404");
    // A megabyte of header, from a file: one argument cannot hold that much.
    // (Decimal: curl itself sends no request of 1 MiB or more.)
    std::ofstream(dir + "/big.header") << "X-Big: " << std::string(1'000'000, 'a') << "\n";
    const std::string big =
        fetch("-o /dev/null -w '%{http_code}' -H @" + dir + "/big.header " + web + "/");
    EXPECT_TRUE(big == "431" || big == "400") << big;

    const std::string metrics = fetch(web + "/metrics");
    EXPECT_NE(metrics.find("q7_controller_pv{line=\"furnace\",id=\"1\"} 29.1"), std::string::npos)
        << metrics;
    EXPECT_NE(metrics.find("q7_line_requests_total{line=\"furnace\"}"), std::string::npos);
    EXPECT_EQ(
        runToEnd({"/bin/sh", "-c", "curl -s " + web + "/metrics | promtool check metrics"}, dir), 0)
        << slurp(dir + "/.run.err");

    // Polling went on through all of it.
    sim->setReg(kPv, 305);
    EXPECT_NE(states.await(kState, {"\"pv\":30.5"}), "") << log();
}

// What a phone on the LAN sees, from a real q7 serve: the page in headless
// Chromium holds each controller's PV as the simulator holds it, and a new
// SV set by another program at the controller reaches it without a reload.
TEST_F(BridgeTest, WebPageShowsEveryControllerAndFollowsItLive) {
    sim::SimOptions options;
    options.ids = {1, 2};
    options.listen = sim::Listen{}; // so that q7 set reaches it beside the bridge
    sim::SimController* gateway = startSim(291, options);
    gateway->setReg(2, kPv, 345);
    const std::string web = "127.0.0.1:" + std::to_string(freeLoopbackPort());
    startBridge("[web]\nlisten = " + web, gateway->devicePath(), "1,2");
    ASSERT_TRUE(logged("web view on http://" + web + "/")) << log();

    std::string why;
    const auto page = BrowserPage::open("http://" + web + "/", dir, &why);
    if (!page && why.empty()) GTEST_SKIP() << "chromium is not installed";
    ASSERT_TRUE(page) << why;
    const auto pvOf = [](int id) {
        return QString("(document.querySelector('[data-key=\"furnace/%1\"] .pv') || {})"
                       ".firstChild?.textContent ?? ''")
            .arg(id);
    };
    EXPECT_EQ(page->waitFor(pvOf(1), "29.1"), "29.1") << log();
    EXPECT_EQ(page->waitFor(pvOf(2), "34.5"), "34.5");
    page->text("window.notReloaded = 'yes'");

    const char* bin = std::getenv("Q7_BINARY_DIR");
    EXPECT_EQ(runToEnd({std::string(bin ? bin : ".") + "/q7", "--com", "1=" + gateway->devicePath(),
                        "set", "sv", "61.5"},
                       dir),
              0)
        << slurp(dir + "/.run.err");
    const QString sv = "[...document.querySelectorAll('[data-key=\"furnace/1\"] .row')]"
                       ".find(r => r.firstChild.textContent === 'SV')?.lastChild.textContent";
    EXPECT_EQ(page->waitFor(sv, "61.5 °C"), "61.5 °C");
    gateway->setReg(1, kPv, 305);
    EXPECT_EQ(page->waitFor(pvOf(1), "30.5"), "30.5");
    EXPECT_EQ(page->text("window.notReloaded"), "yes");
}

// The bridge's web view against clients that mean harm, as the bridge
// itself serves it: 100 WebSocket sessions one after the other leave it
// answering; a frame that announces 64 MiB is refused with the bridge's
// peak memory grown by less than 50 MB; a page of a foreign Origin gets no
// WebSocket, and a foreign Host no state, while the names the config
// gives are taken.
TEST_F(BridgeTest, WebViewHoldsAgainstHostileClients) {
    const uint16_t port = freeLoopbackPort();
    const std::string web = "127.0.0.1:" + std::to_string(port);
    startBridge("[web]\nlisten = " + web +
                "\nhosts = kiln.example\norigins = https://plant.example");
    ASSERT_TRUE(logged("web view on http://" + web + "/")) << log();
    const std::string host = "Host: " + web + "\r\n";
    for (int i = 0; i < 100; ++i) {
        RawWebSocket ws(port);
        ASSERT_EQ(ws.handshake(host), 101) << i;
        ASSERT_TRUE(ws.send(RawWebSocket::frame(8, "\x03\xe8")));
        ASSERT_TRUE(ws.closedByPeer()) << i;
    }
    const auto fetch = [&](const std::string& curlArgs) {
        runToEnd({"/bin/sh", "-c", "curl -s -o /dev/null -w '%{http_code}' " + curlArgs}, dir);
        return slurp(dir + "/.run.out");
    };
    EXPECT_EQ(fetch("http://" + web + "/metrics"), "200");

    // The bridge's peak resident size, from /proc, in KiB.
    const auto peak = [&] {
        std::ifstream status("/proc/" + std::to_string(bridge.pid()) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
        return -1L;
    };
    const long before = peak();
    ASSERT_GT(before, 0);
    RawWebSocket big(port);
    ASSERT_EQ(big.handshake(host), 101);
    ASSERT_TRUE(
        big.send(std::string("\x82\xff\x00\x00\x00\x00\x04\x00\x00\x00\x12\x34\x56\x78", 14)));
    const std::string chunk(64 * 1024, 'x');
    for (int sent = 0; sent < 1024 && big.send(chunk, std::chrono::seconds(10)); ++sent) {
    }
    EXPECT_TRUE(big.closedByPeer());
    EXPECT_LT(peak() - before, 50 * 1024) << "KiB";

    RawWebSocket foreign(port);
    EXPECT_EQ(foreign.handshake(host + "Origin: http://evil.example\r\n"), 403);
    RawWebSocket named(port);
    EXPECT_EQ(named.handshake(host + "Origin: https://plant.example\r\n"), 101);
    EXPECT_EQ(fetch("-H 'Host: evil.example' http://" + web + "/api/state"), "421");
    EXPECT_EQ(fetch("-H 'Host: kiln.example' http://" + web + "/api/state"), "200");
}

// Steering a firing from the web view, against the real bridge on the
// simulator: a viewer's change is refused, and so is an operator's without
// the session's token or from another site's page; an operator starts,
// pauses and stops a run, each answered with the line's result (the one
// the broker is given too), and the run's record names them.
TEST_F(BridgeTest, WebViewTakesRunCommandsFromAnOperatorsSessionAlone) {
    sim::SimOptions fastOptions;
    fastOptions.timeScale = 60;
    sims.push_back(std::make_unique<sim::SimController>(fastOptions));
    ASSERT_TRUE(sims.back()->start());
    sim::SimController* kiln = sims.back().get();
    workDir = dir;
    bisque("600 200 0:10\nfull 300 0:10\n");
    const char* bin = std::getenv("Q7_BINARY_DIR");
    const std::string q7 = std::string(bin ? bin : ".") + "/q7";
    for (const char* user : {"anna operator kiln-key-1", "bo viewer glaze-key-2"}) {
        std::istringstream words(user);
        std::string name, role, password;
        words >> name >> role >> password;
        ASSERT_EQ(runToEnd({"/bin/sh", "-c",
                            "echo " + password + " | " + q7 + " users --file " + dir +
                                "/users add " + name + " " + role},
                           dir),
                  0)
            << slurp(dir + "/.run.err");
    }
    Subscriber results(*broker, dir, {kResult});
    const std::string runState = "q7/furnace/run/bisque/state";
    Subscriber runs(*broker, dir, {runState});
    const std::string web = "127.0.0.1:" + std::to_string(freeLoopbackPort());
    startBridge("writes = sv, mode, run\n[web]\nlisten = " + web + "\nusers = " + dir + "/users",
                kiln->devicePath());
    ASSERT_TRUE(logged("web view on http://" + web + "/") && logged("answers")) << log();

    // curl's status line, then the body.
    const auto curl = [&](const std::string& args) {
        runToEnd({"/bin/sh", "-c", "curl -s -o " + dir + "/curl.body -w '%{http_code}\\n' " + args},
                 dir);
        return slurp(dir + "/.run.out") + slurp(dir + "/curl.body");
    };
    const auto tokenIn = [](const std::string& answer) {
        const std::string key = "\"token\":\"";
        const auto at = answer.find(key);
        return at == std::string::npos ? std::string() : answer.substr(at + key.size(), 64);
    };
    const auto control = [&](const std::string& jar, const std::string& headers,
                             const std::string& body) {
        return curl("-b " + dir + "/" + jar + " -H 'Content-Type: application/json' " + headers +
                    " -d '" + body + "' http://" + web + "/api/control");
    };
    const std::string start = "{\"line\":\"furnace\",\"id\":1,\"action\":\"start\",\"program\":"
                              "\"bisque\"}";
    std::string answer = curl("-c " + dir +
                              "/bo.jar -H 'Content-Type: application/json' -d "
                              "'{\"user\":\"bo\",\"password\":\"glaze-key-2\"}' http://" +
                              web + "/login");
    ASSERT_EQ(answer.substr(0, 4), "200\n") << answer;
    EXPECT_NE(answer.find("\"role\":\"viewer\""), std::string::npos) << answer;
    const std::string cookie = slurp(dir + "/bo.jar");
    EXPECT_NE(cookie.find("#HttpOnly_127.0.0.1"), std::string::npos) << cookie;
    EXPECT_EQ(control("bo.jar", "-H 'X-Q7-Token: " + tokenIn(answer) + "'", start),
              "403\n{\"ok\":false,\"reason\":\"a viewer may look, not change anything\"}");

    answer =
        curl("-c " + dir + "/anna.jar -d 'user=anna&password=kiln-key-1' http://" + web + "/login");
    ASSERT_EQ(answer.substr(0, 4), "200\n") << answer;
    const std::string token = "-H 'X-Q7-Token: " + tokenIn(answer) + "'";
    EXPECT_EQ(control("anna.jar", "", start),
              "403\n{\"ok\":false,\"reason\":\"the session's token is missing or wrong "
              "(X-Q7-Token)\"}");
    EXPECT_EQ(control("anna.jar", token + " -H 'Origin: http://evil.example'", start),
              "403\n{\"ok\":false,\"reason\":\"not for a page from another origin\"}");
    EXPECT_EQ(
        control("anna.jar", "-H 'X-Q7-Token: " + std::string(64, '0') + "'", start).substr(0, 4),
        "403\n");
    EXPECT_EQ(results.all(), ""); // nothing of it reached a line
    EXPECT_EQ(control("anna.jar", token, start), "200\n{\"command\":\"run/start\",\"ok\":true}");
    EXPECT_NE(results.await(kResult, {"run/start", "\"ok\":true"}), "");
    // The same gate as the broker's: out is not in writes, nor an action.
    EXPECT_EQ(control("anna.jar", token, "{\"line\":\"furnace\",\"id\":1,\"action\":\"out\"}")
                  .substr(0, 4),
              "400\n");
    // Changed and paused once it runs: a run still waiting for its start
    // has nothing to pause.
    EXPECT_NE(runs.await(runState, {"\"phase\":\"running\""}), "");
    const auto act = [&](const std::string& action, const std::string& value) {
        return control("anna.jar", token,
                       "{\"line\":\"furnace\",\"id\":1,\"action\":\"" + action + "\",\"value\":\"" +
                           value + "\"}");
    };
    EXPECT_EQ(act("extend", "0:05"), "200\n{\"command\":\"run/extend\",\"ok\":true}");
    EXPECT_EQ(act("mark", "peepholes closed"), "200\n{\"command\":\"run/mark\",\"ok\":true}");
    EXPECT_EQ(act("target", "250"), "200\n{\"command\":\"run/target\",\"ok\":true}");
    EXPECT_EQ(control("anna.jar", token, "{\"line\":\"furnace\",\"id\":1,\"action\":\"skip\"}"),
              "200\n{\"command\":\"run/skip\",\"ok\":true}");
    // Segment 2 goes at full: no ramp whose rate could change.
    EXPECT_EQ(act("rate", "100"), "200\n{\"command\":\"run/rate\",\"ok\":false,\"reason\":"
                                  "\"segment 2 holds at 300 °C: a hold has no rate to "
                                  "change\"}");
    EXPECT_EQ(control("anna.jar", token, "{\"line\":\"furnace\",\"id\":1,\"action\":\"pause\"}"),
              "200\n{\"command\":\"run/pause\",\"ok\":true}");
    EXPECT_EQ(control("anna.jar", token,
                      "{\"line\":\"furnace\",\"id\":1,\"action\":\"sv\",\"value\":\"hot\"}"),
              "200\n{\"command\":\"sv\",\"ok\":false,\"reason\":\"malformed: sv takes a number, "
              "such as 42.5; nothing was sent\"}");
    EXPECT_EQ(control("anna.jar", token, "{\"line\":\"furnace\",\"id\":1,\"action\":\"stop\"}"),
              "200\n{\"command\":\"run/stop\",\"ok\":true}");
    // Logged out, the cookie opens nothing.
    EXPECT_EQ(curl("-b " + dir + "/anna.jar -X POST " + token + " http://" + web + "/logout")
                  .substr(0, 4),
              "200\n");
    EXPECT_EQ(control("anna.jar", token, start).substr(0, 4), "401\n");

    ASSERT_EQ(runToEnd({q7, "runs", "show", "1"}, dir, dir), 0) << slurp(dir + "/.run.err");
    std::string shown = slurp(dir + "/.run.out");
    for (const char* said :
         {"started from the web view by anna", "hold extended by 0:05 by the web view, anna",
          "peepholes closed (from the web view by anna)",
          "target changed by the web view, anna: 200 °C to 250 °C", "skipped by the web view, anna",
          "paused from the web view by anna", "stopped from the web view by anna"})
        EXPECT_NE(shown.find(said), std::string::npos) << said << " in " << shown;
}

// The web view over HTTPS with a certificate the test makes: a key others
// may read ends the bridge at start; with it private the view serves TLS
// alone, its cookie is Secure, and an operator starts and stops a run.
// Then a phone-sized page over HTTPS in headless Chromium: the viewer sees
// no controls, the operator starts a run and stops it through the
// confirmation.
TEST_F(BridgeTest, WebViewServesHttpsWithAPrivateKeyAlone) {
    workDir = dir;
    bisque("600 200 0:10\nfull 300 0:10\n");
    const char* bin = std::getenv("Q7_BINARY_DIR");
    const std::string q7 = std::string(bin ? bin : ".") + "/q7";
    ASSERT_EQ(runToEnd({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", dir + "/key.pem", "-out", dir + "/cert.pem"},
                       dir),
              0)
        << slurp(dir + "/.run.err");
    for (const std::string user : {"anna operator", "bo viewer", "cy admin"})
        ASSERT_EQ(
            runToEnd({"/bin/sh", "-c",
                      "echo kiln-key-1 | " + q7 + " users --file " + dir + "/users add " + user},
                     dir),
            0);
    ASSERT_EQ(chmod((dir + "/key.pem").c_str(), 0644), 0);
    const std::string web = "127.0.0.1:" + std::to_string(freeLoopbackPort());
    const std::string config = "writes = sv, mode, run\n[web]\nlisten = " + web +
                               "\nusers = " + dir + "/users\ncertificate = " + dir +
                               "/cert.pem\nkey = " + dir + "/key.pem";
    startBridge(config, sim->devicePath());
    EXPECT_TRUE(waitFor([&] { return !bridge.running(); }, secondsFromNow(20)));
    EXPECT_EQ(bridge.stop(), 2);
    EXPECT_NE(log().find("the key file " + dir + "/key.pem may be read by others (chmod 600 " +
                         dir + "/key.pem)"),
              std::string::npos)
        << log();
    ASSERT_EQ(chmod((dir + "/key.pem").c_str(), 0600), 0);
    startBridge(config, sim->devicePath());
    ASSERT_TRUE(logged("web view on https://" + web + "/") && logged("answers")) << log();

    const auto curl = [&](const std::string& args) {
        runToEnd({"/bin/sh", "-c",
                  "curl -s --cacert " + dir + "/cert.pem -D " + dir + "/curl.head -o " + dir +
                      "/curl.body -w '%{http_code}\\n' " + args},
                 dir);
        return slurp(dir + "/.run.out") + slurp(dir + "/curl.body");
    };
    EXPECT_EQ(curl("http://" + web + "/api/state").substr(0, 4), "000\n"); // TLS alone
    std::string answer =
        curl("-c " + dir + "/jar -d 'user=anna&password=kiln-key-1' https://" + web + "/login");
    ASSERT_EQ(answer.substr(0, 4), "200\n") << answer;
    EXPECT_NE(slurp(dir + "/curl.head").find("HttpOnly; SameSite=Strict; Secure"),
              std::string::npos)
        << slurp(dir + "/curl.head");
    const std::string token = answer.substr(answer.find("\"token\":\"") + 9, 64);
    const auto control = [&](const std::string& action) {
        return curl("-b " + dir + "/jar -H 'X-Q7-Token: " + token +
                    "' -H 'Content-Type: application/json' -d '{\"line\":\"furnace\",\"id\":1,"
                    "\"action\":\"" +
                    action + "\",\"program\":\"bisque\"}' https://" + web + "/api/control");
    };
    EXPECT_EQ(control("start"), "200\n{\"command\":\"run/start\",\"ok\":true}") << log();
    EXPECT_EQ(control("stop"), "200\n{\"command\":\"run/stop\",\"ok\":true}");
    // The users are an admin's to see, never their hashes.
    EXPECT_EQ(curl("-b " + dir + "/jar https://" + web + "/api/users").substr(0, 4), "403\n");
    ASSERT_EQ(curl("-c " + dir + "/cy -d 'user=cy&password=kiln-key-1' https://" + web + "/login")
                  .substr(0, 4),
              "200\n");
    EXPECT_EQ(curl("-b " + dir + "/cy https://" + web + "/api/users"),
              "200\n{\"users\":[{\"name\":\"anna\",\"role\":\"operator\"},{\"name\":\"bo\","
              "\"role\":\"viewer\"},{\"name\":\"cy\",\"role\":\"admin\"}]}");

    std::string why;
    const auto page = BrowserPage::open("about:blank", dir, &why);
    if (!page && why.empty()) GTEST_SKIP() << "chromium is not installed";
    ASSERT_TRUE(page) << why;
    // The test's own certificate is one no browser knows.
    page->call("Security.setIgnoreCertificateErrors", {{"ignore", true}});
    page->call("Page.navigate", {{"url", QString::fromStdString("https://" + web + "/")}});
    page->call("Emulation.setDeviceMetricsOverride",
               {{"width", 390}, {"height", 844}, {"deviceScaleFactor", 3}, {"mobile", true}});
    const auto logIn = [&](const QString& user, const QString& password) {
        page->text(QString("(() => { document.getElementById('show-login').click();"
                           "const f = document.getElementById('login-form');"
                           "f.user.value = '%1'; f.password.value = '%2'; f.requestSubmit();"
                           "return 1; })()")
                       .arg(user, password));
    };
    const QString who = "document.getElementById('who').firstChild?.textContent ?? ''";
    const QString controls = "String(document.getElementById('control').hidden)";
    EXPECT_EQ(page->waitFor(who, "log in"), "log in");
    logIn("bo", "kiln-key-1");
    EXPECT_EQ(page->waitFor(who, "bo (viewer)"), "bo (viewer)");
    EXPECT_EQ(page->text(controls), "true");
    page->text("document.getElementById('logout').click(); 1");
    EXPECT_EQ(page->waitFor(who, "log in"), "log in");
    logIn("anna", "kiln-key-1");
    EXPECT_EQ(page->waitFor(who, "anna (operator)"), "anna (operator)")
        << page->text("document.getElementById('login-answer').textContent").toStdString();
    EXPECT_EQ(page->text(controls), "false");
    const QString told = "document.getElementById('answer').textContent";
    page->waitFor("document.getElementById('target').value", "furnace/1");
    page->text("document.getElementById('program').value = 'bisque';"
               "document.querySelector('[data-action=start]').click(); 1");
    EXPECT_EQ(page->waitFor(told, "start: done"), "start: done") << log();
    page->text("document.querySelector('[data-action=stop]').click(); 1");
    EXPECT_EQ(page->text("document.getElementById('confirm').hidden"), "false");
    EXPECT_EQ(page->text("document.getElementById('confirm-text').textContent"),
              "Stop the run on furnace/1?");
    EXPECT_EQ(page->text(told), "start: done"); // nothing sent before the yes
    page->screenshot(390, 844, true, "web-control-phone.png");
    page->text("document.getElementById('confirm-yes').click(); 1");
    EXPECT_EQ(page->waitFor(told, "stop: done"), "stop: done") << log();
    ASSERT_EQ(runToEnd({q7, "runs", "show", "2"}, dir, dir), 0) << slurp(dir + "/.run.err");
    const std::string shown = slurp(dir + "/.run.out");
    EXPECT_NE(shown.find("stopped from the web view by anna"), std::string::npos) << shown;
    EXPECT_EQ(bridge.stop(SIGTERM), 0) << log();
}
