// q7 serve's Modbus TCP server between other masters (pymodbus, mbpoll and
// raw sockets) and the simulated controllers on a pseudo-terminal, the
// bridge polling them as it always does.
#include "broker_run.h"
#include "sim/sim_controller.h"

#include <poll.h>

#include <memory>

using namespace serve_test;

namespace {

class ModbusServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7modbus.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        broker = std::make_unique<Broker>(dir);
        ASSERT_TRUE(broker->start()) << slurp(dir + "/broker.err");
        sim::SimOptions options;
        options.ids = {1, 2};
        options.timeScale = 0; // PV held still
        sim = std::make_unique<sim::SimController>(options);
        ASSERT_TRUE(sim->start());
        sim->setReg(2, 0x1000, 345); // PV 34.5
        port = freeLoopbackPort();
        std::ofstream(dir + "/serve.conf")
            << "[broker]\nurl = mqtt://127.0.0.1:" << broker->port() << "\n"
            << "[line kilns]\nport = " << sim->devicePath() << "\nids = 1,2\ninterval = 0.5\n"
            << "writes = sv, mode\n"
            << "[modbus]\nlisten = 127.0.0.1:" << port << "   # for the SCADA\n"
            << "line = kilns\nwrites = sv\nmax_age = 2\n";
        const char* bin = std::getenv("Q7_BINARY_DIR");
        ASSERT_TRUE(bridge.start(
            {std::string(bin ? bin : ".") + "/q7", "serve", "--config", dir + "/serve.conf"},
            dir + "/serve.out", dir + "/serve.err", dir));
    }
    void TearDown() override {
        for (int fd : sockets)
            close(fd);
        bridge.stop(SIGKILL);
        sim->stop();
        broker->stop();
        if (std::system(("rm -rf '" + dir + "'").c_str()) != 0) ADD_FAILURE();
    }

    std::string log() const { return slurp(dir + "/serve.err"); }

    // A client connected to the server; -1 when none could be.
    int connectClient() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(uint16_t(port));
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd);
            return -1;
        }
        sockets.push_back(fd);
        return fd;
    }
    // The answer to the bytes sent, a whole frame as its header sizes it;
    // less when the server closed the connection, nothing when it did at once.
    static std::vector<uint8_t> ask(int fd, const std::vector<uint8_t>& request) {
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) return {};
        std::vector<uint8_t> reply;
        const Deadline end = secondsFromNow(20);
        while ((reply.size() < 6 || reply.size() < 6u + (reply[4] << 8 | reply[5])) &&
               std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            uint8_t buffer[300];
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break; // closed
            reply.insert(reply.end(), buffer, buffer + got);
        }
        return reply;
    }
    // The server closed the connection.
    static bool closed(int fd) {
        const Deadline end = secondsFromNow(20);
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            uint8_t byte;
            return recv(fd, &byte, 1, 0) <= 0;
        }
        return false;
    }
    // Requests the simulator saw since the last look, starting so.
    int seen(const std::string& start) {
        int n = 0;
        for (const std::string& r : sim->requestLog())
            n += r.rfind(start, 0) == 0;
        return n;
    }

    std::string dir;
    int port = 0;
    std::unique_ptr<Broker> broker;
    std::unique_ptr<sim::SimController> sim;
    Process bridge;
    std::vector<int> sockets;
};

const std::vector<uint8_t> kReadPv2{0x00, 0x01, 0x00, 0x00, 0x00, 0x06,
                                    0x02, 0x03, 0x10, 0x00, 0x00, 0x01};
const std::vector<uint8_t> kPv2Reply{0x00, 0x01, 0x00, 0x00, 0x00, 0x05,
                                     0x02, 0x03, 0x02, 0x01, 0x59};

} // namespace

// Reads of what the bridge polls come from its poll, others and writes go
// through the line's checked way, and each refusal has its exception.
TEST_F(ModbusServerTest, ServesOtherMastersThroughTheLinesTurns) {
    ASSERT_TRUE(waitFor([&] { return accepts(port); }, secondsFromNow(30))) << log();
    const int first = connectClient();
    ASSERT_TRUE(waitFor([&] { return ask(first, kReadPv2) == kPv2Reply; },
                        secondsFromNow(30)))
        << log();
    // One of what the bridge polls anyway, asked again: the poll answers it.
    sim->clearRequestLog();
    std::string out = dir + "/mbpoll.out";
    Process mbpoll;
    ASSERT_TRUE(mbpoll.start({"mbpoll", "-m", "tcp", "-a", "2", "-r", "4097", "-c", "1", "-1", "-o",
                              "5", "127.0.0.1", "-p", std::to_string(port)},
                             out, out + ".err"));
    waitFor([&] { return !mbpoll.running(); }, secondsFromNow(20));
    EXPECT_NE(slurp(out).find("[4097]: \t345"), std::string::npos) << slurp(out);
    EXPECT_EQ(seen("02 03 10 00 00 01 "), 0);

    sim->setReg(2, 0x0033, 17); // the first step's time, which neither polls nor parameters read
    const std::string script = std::string(Q7_TESTS_DIR) + "/serve/modbus_client.py";
    ASSERT_EQ(runToEnd({"/usr/bin/python3", script, std::to_string(port), "i:2:0x1000:1",
                        "r:2:0x0033:1", "w:2:3:0", "w:2:0:13000", "w:2:0:425", "r:7:0x1000:1"},
                       dir),
              0)
        << slurp(dir + "/.run.err");
    EXPECT_EQ(slurp(dir + "/.run.out"), "i:2:0x1000:1 345\n"
                                        "r:2:0x0033:1 17\n"
                                        "w:2:3:0 exception 01\n"
                                        "w:2:0:13000 exception 03\n"
                                        "w:2:0:425 425\n"
                                        "r:7:0x1000:1 exception 0B\n");
    EXPECT_EQ(seen("02 03 00 33 00 01 74 36"), 1); // through the line
    EXPECT_EQ(seen("02 04 "), 0); // from the poll too
    EXPECT_EQ(seen("02 06 "), 1);
    EXPECT_EQ(seen("02 06 00 00 01 A9 48 17"), 1);
    EXPECT_EQ(sim->reg(2, 0x0003), 1); // still On
    EXPECT_EQ(sim->reg(2, 0x0000), 425);
    EXPECT_NE(log().find("modbus: kilns/2: write of 0 to register 0x0003 refused (exception 01)"),
              std::string::npos)
        << log();
    EXPECT_NE(log().find("modbus: kilns/2: set sv to word 13000: refused (exception 03)"),
              std::string::npos);

    // A function it does not serve, then a header no Modbus frame has:
    // that client is dropped, another one's reads go on.
    EXPECT_EQ(ask(first, {0x00, 0x04, 0x00, 0x00, 0x00, 0x06, 0x02, 0x10, 0x00, 0x00, 0x00, 0x01}),
              (std::vector<uint8_t>{0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x02, 0x90, 0x01}));
    const int second = connectClient();
    ASSERT_TRUE(ask(first, {0x00, 0x05, 0x00, 0x01, 0x00, 0x06, 0x02, 0x03, 0x10, 0x00, 0x00, 0x01})
                    .empty());
    EXPECT_TRUE(closed(first));
    EXPECT_EQ(ask(second, kReadPv2), kPv2Reply);

    // Eight clients at most: a ninth is closed at once, the others served.
    for (int i = 0; i < 7; ++i)
        ASSERT_GE(connectClient(), 0);
    const int ninth = connectClient();
    ASSERT_GE(ninth, 0);
    EXPECT_TRUE(closed(ninth));
    EXPECT_EQ(ask(second, kReadPv2), kPv2Reply);
    EXPECT_EQ(bridge.stop(SIGTERM), 0) << log();
}
