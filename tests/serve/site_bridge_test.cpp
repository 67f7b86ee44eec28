// A plant of many PCs: the line PC's mosquitto joined to a central one by
// the shipped packaging/mosquitto-bridge.conf (only its address changed),
// q7 serve on the line PC's broker, and the simulated controller.
#include "broker_run.h"
#include "sim/sim_controller.h"

#include <memory>

using namespace serve_test;

namespace {

const std::string kSiteState = "site/hall2/furnace/1/state",
                  kSiteResult = "site/hall2/furnace/1/result";

// The shipped example, pointed at the central broker on loopback.
std::string shippedBridgeTo(int port) {
    std::string conf = slurp(std::string(Q7_TESTS_DIR) + "/../packaging/mosquitto-bridge.conf");
    const std::string address = "central.example.org:1883";
    const auto at = conf.find(address);
    if (at == std::string::npos || conf.find(address, at + 1) != std::string::npos) return "";
    return conf.replace(at, address.size(), "127.0.0.1:" + std::to_string(port));
}

// The settings written to the controller since the start.
std::vector<std::string> writes(const sim::SimController& sim) {
    std::vector<std::string> out;
    for (const std::string& r : sim.requestLog())
        if (r.rfind("01 06", 0) == 0) out.push_back(r);
    return out;
}

} // namespace

TEST(SiteBridge, StatesReachTheCentralBrokerAndCommandsComeBackOnceAcrossItsRestart) {
    char tmpl[] = "/tmp/q7site.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    // The central broker keeps the line PC's session across its restart,
    // as a real one does: what it had delivered must not come again.
    Broker central(dir, "central", "", true);
    const std::string bridgeConf = shippedBridgeTo(central.port());
    ASSERT_NE(bridgeConf, "") << "the example names its central broker once";
    Broker line(dir, "line", bridgeConf);
    ASSERT_TRUE(central.start()) << central.log();
    ASSERT_TRUE(line.start()) << line.log();

    sim::SimOptions options;
    options.timeScale = 0;
    sim::SimController sim(options);
    ASSERT_TRUE(sim.start());
    sim.setReg(0x1000, 291);
    std::ofstream(dir + "/serve.conf")
        << "[broker]\nurl = mqtt://127.0.0.1:" << line.port()
        << "\nprefix = site/hall2\n[line furnace]\nport = " << sim.devicePath()
        << "\nids = 1\ninterval = 0.5\n"
        << "writes = sv\n";
    const char* bin = std::getenv("Q7_BINARY_DIR");
    Process bridge;
    ASSERT_TRUE(bridge.start(
        {std::string(bin ? bin : ".") + "/q7", "serve", "--config", dir + "/serve.conf"},
        dir + "/serve.out", dir + "/serve.err"));

    Subscriber atCentral(central, dir, {kSiteState, kSiteResult});
    ASSERT_NE(atCentral.await(kSiteState, {"\"pv\":29.1"}), "")
        << slurp(dir + "/serve.err") << line.log();
    publish(central, dir, "site/hall2/furnace/1/set/sv", "42.5");
    EXPECT_NE(atCentral.await(kSiteResult, {"\"value\":42.5", "\"ok\":true"}), "");
    EXPECT_EQ(sim.reg(0x0000), 425);

    // The link goes down with the central broker; PV changes meanwhile.
    central.stop();
    sim.setReg(0x1000, 345);
    ASSERT_TRUE(central.start()) << central.log();
    Subscriber after(central, dir, {kSiteState, kSiteResult});
    EXPECT_NE(after.await(kSiteState, {"\"pv\":34.5"}, 90), "") << line.log();
    // A command after the link's return comes after anything the central
    // broker could have held for the line PC: the first one came once.
    publish(central, dir, "site/hall2/furnace/1/set/sv", "43");
    EXPECT_NE(after.await(kSiteResult, {"\"value\":43.0", "\"ok\":true"}), "");
    EXPECT_EQ(writes(sim),
              (std::vector<std::string>{"01 06 00 00 01 A9 48 24", "01 06 00 00 01 AE 09 E6"}));

    bridge.stop();
    sim.stop();
    line.stop();
    central.stop();
    if (std::system(("rm -rf '" + dir + "'").c_str()) != 0) ADD_FAILURE();
}
