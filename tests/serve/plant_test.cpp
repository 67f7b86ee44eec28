// One q7 serve for several lines, each on a simulated controller of its own
// (a pseudo-terminal, a Modbus TCP gateway), and its config read again on
// SIGHUP; watched through a real mosquitto broker.
#include "broker_run.h"
#include "sim/sim_controller.h"
#include "support/child_process.h"

#include <sys/stat.h>

#include <memory>

using namespace serve_test;

namespace {

constexpr uint16_t kPlantPv = 0x1000, kPlantSv = 0x0000;

class PlantTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7plant.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        conf = dir + "/serve.conf";
        broker = std::make_unique<Broker>(dir);
        ASSERT_TRUE(broker->start()) << slurp(dir + "/broker.err");
    }
    void TearDown() override {
        bridge.stop(SIGKILL);
        for (auto& s : sims)
            s->stop();
        broker->stop();
        if (std::system(("rm -rf '" + dir + "'").c_str()) != 0) ADD_FAILURE();
    }

    sim::SimController* startSim(sim::SimOptions options) {
        sims.push_back(std::make_unique<sim::SimController>(options));
        EXPECT_TRUE(sims.back()->start());
        return sims.back().get();
    }
    // The [broker] section and the lines given, each "[line NAME]\n...".
    void writeConfig(const std::string& lines, const std::string& brokerLines = "prefix = q7\n",
                     const std::string& name = "serve") {
        std::ofstream(dir + "/" + name + ".conf")
            << "[broker]\n"
            << "url = mqtt://127.0.0.1:" << broker->port() << "\n"
            << brokerLines << lines;
    }
    void startBridge(Process& process, const std::string& name = "serve",
                     const std::string& trace = "") {
        const char* bin = std::getenv("Q7_BINARY_DIR");
        std::vector<std::string> args{std::string(bin ? bin : ".") + "/q7"};
        if (!trace.empty()) args.insert(args.end(), {"--trace", trace});
        args.insert(args.end(), {"serve", "--config", dir + "/" + name + ".conf"});
        ASSERT_TRUE(process.start(args, dir + "/" + name + ".out", dir + "/" + name + ".err"));
    }
    bool logged(const std::string& text) {
        return waitFor([&] { return log().find(text) != std::string::npos; }, secondsFromNow(30));
    }
    std::string log() const { return slurp(dir + "/serve.err"); }

    std::string dir, conf;
    std::unique_ptr<Broker> broker;
    std::vector<std::unique_ptr<sim::SimController>> sims;
    Process bridge;
};

// "...,"time":"2026-12-08T10:15:02.123+01:00"}": the seconds of the day.
double stateTime(const std::string& payload) {
    const auto at = payload.find("\"time\":\"");
    if (at == std::string::npos) return -1;
    const std::string t = payload.substr(at + 8 + 11, 12); // 10:15:02.123
    return std::stoi(t.substr(0, 2)) * 3600 + std::stoi(t.substr(3, 2)) * 60 +
           std::stod(t.substr(6));
}

// The times of every state published on topic, in order.
std::vector<double> stateTimes(const std::string& received, const std::string& topic) {
    std::vector<double> out;
    std::istringstream in(received);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(topic + " ", 0) == 0) out.push_back(stateTime(line));
    return out;
}

// The payload of the last message on topic.
std::string lastOn(const std::string& received, const std::string& topic) {
    std::istringstream in(received);
    std::string last;
    for (std::string line; std::getline(in, line);)
        if (line.rfind(topic + " ", 0) == 0) last = line.substr(topic.size() + 1);
    return last;
}

// The longest time between two states in a row, a day's end allowed for.
double longestGap(const std::vector<double>& times) {
    double longest = 0;
    for (std::size_t i = 1; i < times.size(); ++i) {
        double gap = times[i] - times[i - 1];
        if (gap < 0) gap += 24 * 3600;
        longest = std::max(longest, gap);
    }
    return longest;
}

} // namespace

// A serial line and a gateway in one bridge: each is published and traced,
// the gateway that stops takes its own controller offline, not the other's,
// and a line taken out of the config leaves no retained topic behind.
TEST_F(PlantTest, EachLineIsPolledAndFailsOnItsOwn) {
    sim::SimOptions still;
    still.timeScale = 0;
    sim::SimController* serial = startSim(still);
    serial->setReg(kPlantPv, 291);
    sim::SimOptions tcp = still;
    tcp.listen = sim::Listen{};
    sim::SimController* gateway = startSim(tcp);
    gateway->setReg(kPlantPv, 345);
    writeConfig("[line furnace]\nport = " + serial->devicePath() +
                "\nids = 1\ninterval = 0.5\n"
                "[line kiln]\nport = " +
                gateway->devicePath() + "\nids = 1\ninterval = 0.5\n");
    Subscriber watch(*broker, dir, {"q7/+/1/state", "q7/+/1/available", "q7/+/status"});
    startBridge(bridge, "serve", dir + "/trace.csv");
    ASSERT_NE(watch.await("q7/furnace/1/state", {"\"pv\":29.1"}), "") << log();
    ASSERT_NE(watch.await("q7/kiln/1/state", {"\"pv\":34.5"}), "") << log();
    // The trace follows both lines, each frame telling its line.
    const std::string trace = slurp(dir + "/trace.csv");
    EXPECT_EQ(trace.rfind("time,direction,bytes,verdict,meaning,attempt,round trip ms\n", 0), 0u);
    for (const std::string line : {"furnace", "kiln"})
        EXPECT_NE(trace.find(",TX,01 03 10 00 00 04 40 C9,," + line + ": read 0x1000"),
                  std::string::npos)
            << line << "\n"
            << trace;
    EXPECT_NE(watch.await("q7/kiln/status", {"\"controllers\":1", "\"answering\":1"}), "");

    // A second bridge with a line on the port the first holds: that line
    // alone stays offline, and its other line is published.
    sim::SimController* spare = startSim(still);
    spare->setReg(kPlantPv, 222);
    writeConfig("[line furnace]\nport = " + serial->devicePath() +
                    "\nids = 1\n[line spare]\nport = " + spare->devicePath() + "\nids = 1\n",
                "prefix = other\nclient_id = second\n", "second");
    Subscriber other(*broker, dir, {"other/+/1/state", "other/+/1/available"});
    Process second;
    startBridge(second, "second");
    EXPECT_NE(other.await("other/spare/1/state", {"\"pv\":22.2"}), "")
        << slurp(dir + "/second.err");
    EXPECT_NE(other.await("other/furnace/1/available", {"offline"}), "");
    EXPECT_NE(slurp(dir + "/second.err")
                  .find("line furnace: another program holds " + serial->devicePath() +
                        "; this line stays offline"),
              std::string::npos)
        << slurp(dir + "/second.err");
    EXPECT_EQ(second.stop(SIGTERM), 0);

    gateway->stop();
    EXPECT_NE(watch.await("q7/kiln/1/available", {"offline"}), "") << log();
    EXPECT_NE(watch.await("q7/kiln/status", {"\"answering\":0"}), "");
    serial->setReg(kPlantPv, 300);
    EXPECT_NE(watch.await("q7/furnace/1/state", {"\"pv\":30.0"}), "") << log();
    EXPECT_EQ(watch.all().find("q7/furnace/1/available offline"), std::string::npos);

    // The kiln taken out of the config: its retained topics are cleared,
    // its status the last of them.
    writeConfig("[line furnace]\nport = " + serial->devicePath() + "\nids = 1\ninterval = 0.5\n");
    bridge.signal(SIGHUP);
    EXPECT_TRUE(logged("reload: line kiln removed")) << log();
    EXPECT_NE(watch.await("q7/kiln/status", {"(null)"}), "") << log();
    Subscriber late(*broker, dir, {"q7/kiln/#", "q7/furnace/1/state"});
    EXPECT_NE(late.await("q7/furnace/1/state", {"\"pv\":30.0"}), "");
    EXPECT_EQ(late.all().find("q7/kiln"), std::string::npos) << late.all();
    EXPECT_EQ(bridge.stop(SIGTERM), 0) << log();
}

// The notifications' secrets sit in the credentials file: a reload reads
// them again and the rules sign with the new secret, which no log shows.
TEST_F(PlantTest, ReloadTakesTheNotificationSecretsInPlace) {
    const std::string posts = dir + "/posts.jsonl";
    ChildProcess listener(
        {"/usr/bin/python3", Q7_TESTS_DIR "/alarms/http_listener.py", posts, "n3w-secret"}, true);
    const std::string port = listener.firstLine(std::chrono::seconds(20));
    ASSERT_FALSE(port.empty());
    sim::SimController* sim = startSim({});
    sim->setReg(kPlantPv, 200);
    const std::string rules = dir + "/rules.conf", credentials = dir + "/credentials";
    std::ofstream(rules) << "[rule hot]\nwhen = pv > 50\ndo = webhook http://127.0.0.1:" << port
                         << "/hook\n";
    const auto secret = [&](const std::string& value) {
        std::ofstream(credentials) << "kiln:pw\nwebhook_secret = " << value << "\n";
        ASSERT_EQ(chmod(credentials.c_str(), 0600), 0);
    };
    secret("0ld-secret");
    writeConfig("[line furnace]\nport = " + sim->devicePath() + "\nids = 1\ninterval = 1\n",
                "prefix = q7\nalarms = " + rules + "\ncredentials = " + credentials + "\n");
    startBridge(bridge);
    ASSERT_TRUE(logged("polling ")) << log();

    secret("n3w-secret");
    bridge.signal(SIGHUP);
    ASSERT_TRUE(logged("reload: the notifications' secrets in " + credentials +
                       " changed; every line takes them"))
        << log();
    ASSERT_TRUE(logged("reload: line furnace: its rules send with the notifications' new secrets"))
        << log();
    sim->setReg(kPlantPv, 600);
    ASSERT_TRUE(waitFor([&] { return slurp(posts).find("\"signed\": ") != std::string::npos; },
                        secondsFromNow(30)))
        << log();
    EXPECT_NE(slurp(posts).find("\"signed\": true"), std::string::npos) << slurp(posts);
    for (const char* s : {"0ld-secret", "n3w-secret"})
        EXPECT_EQ(log().find(s), std::string::npos) << log();
}

// Ids added and removed by a reload: the line goes on polling the id that
// stays without a pause, the new one is published, the removed one's
// retained topics are cleared; a config that does not read changes nothing.
TEST_F(PlantTest, ReloadTakesUpIdsWithoutAPauseAndClearsTheRemoved) {
    // A kiln heating towards 1000.0: its PV changes at every poll, so every
    // poll publishes a state.
    sim::SimOptions kilns;
    kilns.ids = {1, 2};
    kilns.kiln = true;
    kilns.timeScale = 4;
    sim::SimController* sim = startSim(kilns);
    for (uint8_t id : {1, 2})
        sim->setReg(id, kPlantSv, 10000);
    const std::string line = "[line furnace]\nport = " + sim->devicePath() + "\ninterval = 1\n";
    const std::string rules = dir + "/rules.conf",
                      brokerLines = "prefix = q7\nhomeassistant = yes\nalarms = " + rules + "\n";
    std::ofstream(rules) << "[rule warm]\nwhen = pv > 0\ndo = log\n";
    writeConfig(line + "ids = 1\n", brokerLines);
    Subscriber watch(
        *broker, dir,
        {"q7/furnace/+/state", "q7/furnace/+/available", "q7/furnace/status", "homeassistant/#"});
    startBridge(bridge);
    ASSERT_NE(watch.await("q7/furnace/1/state", {"\"pv\""}), "") << log();

    writeConfig(line + "ids = 1,2\n", brokerLines);
    bridge.signal(SIGHUP);
    EXPECT_TRUE(logged("reload: line furnace: id 2 added")) << log();
    EXPECT_NE(watch.await("q7/furnace/2/state", {"\"pv\""}), "") << log();
    // Its discovery config comes once its limits are read.
    ASSERT_TRUE(waitFor([&] { return watch.all().find("furnace_2") != std::string::npos; },
                        secondsFromNow(30)));

    writeConfig(line + "ids = 1\n", brokerLines);
    bridge.signal(SIGHUP);
    EXPECT_TRUE(logged("reload: line furnace: id 2 removed")) << log();
    // The line's status comes after the clearing, on the same connection.
    EXPECT_TRUE(waitFor(
        [&] {
            return lastOn(watch.all(), "q7/furnace/status").find("\"controllers\":1") !=
                   std::string::npos;
        },
        secondsFromNow(30)));
    EXPECT_NE(watch.await("q7/furnace/2/state", {"(null)"}), "");
    // Retained messages come in the order of the subscriptions: id 1's
    // state comes after id 2's would have.
    Subscriber late(*broker, dir,
                    {"q7/furnace/2/state", "q7/furnace/2/available", "q7/furnace/2/parameters",
                     "homeassistant/#", "q7/furnace/1/state"});
    EXPECT_NE(late.await("q7/furnace/1/state", {"\"pv\""}), "");
    EXPECT_EQ(late.all().find("furnace/2/"), std::string::npos) << late.all();
    EXPECT_EQ(late.all().find("furnace_2"), std::string::npos) << late.all();
    EXPECT_NE(late.all().find("furnace_1"), std::string::npos) << late.all();

    writeConfig("[line furnace]\nport = " + sim->devicePath() + "\ninterval = often\nids = 1\n");
    bridge.signal(SIGHUP);
    EXPECT_TRUE(logged("reload: " + conf +
                       ":6: interval takes 0.1 to 3600 seconds; the running config stays"))
        << log();
    const std::size_t before = stateTimes(watch.all(), "q7/furnace/1/state").size();
    EXPECT_TRUE(
        waitFor([&] { return stateTimes(watch.all(), "q7/furnace/1/state").size() >= before + 3; },
                secondsFromNow(30)));

    // By the bridge's own clock, id 1 was never left for two intervals.
    const std::vector<double> times = stateTimes(watch.all(), "q7/furnace/1/state");
    EXPECT_GE(times.size(), 5u);
    EXPECT_LE(longestGap(times), 2.0) << watch.all();
    EXPECT_EQ(watch.all().find("q7/furnace/1/available offline"), std::string::npos);

    // A reload whose rules do not read changes nothing: the line it would
    // restart polls on with the rules it has.
    std::ofstream(rules) << "[rule warm]\nwhen = pv > 0\ndo = beep\n";
    writeConfig("[line furnace]\nport = " + sim->devicePath() + "\ninterval = 2\nids = 1\n",
                brokerLines);
    bridge.signal(SIGHUP);
    EXPECT_TRUE(logged("reload: " + rules +
                       " line 3: unknown action 'beep'; the running config and rules stay"))
        << log();
    EXPECT_EQ(log().find("restarted"), std::string::npos) << log();
    std::ofstream(rules) << "[rule warm]\nwhen = pv > 0\ndo = log\n";

    // A new interval is taken in place, which the log tells.
    writeConfig("[line furnace]\nport = " + sim->devicePath() + "\ninterval = 2\nids = 1\n",
                brokerLines);
    bridge.signal(SIGHUP);
    EXPECT_TRUE(logged("reload: line furnace: its interval changed; taken in place")) << log();
    EXPECT_NE(watch.await("q7/furnace/status", {"\"interval\":2.0"}), "") << log();
    EXPECT_EQ(bridge.stop(SIGTERM), 0) << log();
}
