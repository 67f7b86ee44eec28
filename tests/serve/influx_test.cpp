// The bridge's InfluxDB output: its points byte for byte, the bounded queue,
// the shipped dashboard against what the output writes, and q7 serve
// writing into a real influxd that goes away and comes back.
#include "base/number_text.h"
#include "broker_run.h"
#include "serve/line_protocol.h"
#include "serve/point_queue.h"
#include "sim/sim_controller.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <sys/stat.h>

using namespace serve_test;

namespace {

std::chrono::system_clock::time_point atMs(long long ms) {
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
}

// The field keys of a point: between its first and last blank.
std::set<std::string> fieldsOf(const std::string& point) {
    std::set<std::string> keys;
    const std::string fields =
        point.substr(point.find(' ') + 1, point.rfind(' ') - point.find(' ') - 1);
    for (const QString& kv : QString::fromStdString(fields).split(','))
        keys.insert(kv.section('=', 0, 0).toStdString());
    return keys;
}

// A poll that read everything, while a run holds the controller.
Reading fullReading() {
    Reading r;
    r.answered = true;
    r.pv = 512.3;
    r.sv = 520;
    r.out = 0;
    r.mode = 0;
    r.unit = "\xC2\xB0"
             "F";
    r.decimals = 1;
    r.alarm1 = true;
    r.alarm2 = false;
    r.run = "Bisque \"04\"";
    r.runSegment = 2;
    r.runSegments = 3;
    r.runPlanSv = 518.25;
    return r;
}

} // namespace

TEST(InfluxPoints, LineProtocolOfAPollAndTheBoundedQueue) {
    EXPECT_EQ(linePoint("furnace", 3, fullReading(), atMs(1765361702123)),
              "q7,id=3,line=furnace,unit=F pv=512.3,sv=520.0,output=0.0,mode=\"off\",alarm1=1i,"
              "alarm2=0i,run=\"Bisque \\\"04\\\"\",segment=2i,plan_sv=518.2 1765361702123");
    // What a poll did not read is left out; no run, no run fields; whole
    // degrees stay floats.
    Reading some;
    some.answered = true;
    some.pv = 25;
    some.decimals = 0;
    EXPECT_EQ(linePoint("kiln-2", 1, some, atMs(1000)), "q7,id=1,line=kiln-2 pv=25 1000");
    EXPECT_EQ(linePoint("kiln-2", 1, Reading{}, atMs(1000)), "");
    EXPECT_EQ(escapedTag("a b,c=d\ne"), "a\\ b\\,c\\=d\\ e");
    EXPECT_EQ(quotedField("say \"hi\" \\ bye"), "\"say \\\"hi\\\" \\\\ bye\"");

    // The oldest go beyond the bound, counting the batch on its way; a
    // batch that did not go is back at the front, in its order.
    PointQueue q(4);
    for (const char* p : {"a", "b", "c"})
        q.add(p);
    EXPECT_EQ(q.take(2, 100), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(q.take(2, 100), std::vector<std::string>{}); // one batch at a time
    q.add("d");
    q.add("e");
    q.add("f");
    EXPECT_EQ(q.waiting(), 4u);
    EXPECT_EQ(q.takeDropped(), 2u); // c and d
    q.done(false);
    EXPECT_EQ(q.takeDropped(), 0u);
    EXPECT_EQ(q.take(10, 3), (std::vector<std::string>{"a"})); // "a\nb\n" is over 3 bytes
    q.done(true);
    EXPECT_EQ(q.take(10, 100), (std::vector<std::string>{"b", "e", "f"}));
    q.done(true);
    EXPECT_EQ(q.waiting(), 0u);
}

// Every field a query of the dashboard names is one the output writes, and
// the dashboard is what Grafana imports: panels of targets, the line and
// id variables.
TEST(InfluxPoints, TheDashboardQueriesOnlyFieldsThePointsHold) {
    QFile file(Q7_TESTS_DIR "/../packaging/grafana-q7.json");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject dashboard = doc.object();
    std::set<std::string> variables;
    for (const QJsonValue v : dashboard["templating"]["list"].toArray())
        variables.insert(v["name"].toString().toStdString());
    EXPECT_TRUE(variables.count("line") && variables.count("id"));

    const std::set<std::string> written = fieldsOf(linePoint("furnace", 1, fullReading(), atMs(0)));
    const QRegularExpression field(R"re(\w+\(\s*"(\w+)"\s*\))re");
    std::set<std::string> queried;
    const QJsonArray panels = dashboard["panels"].toArray();
    ASSERT_GE(panels.size(), 3);
    for (const QJsonValue panel : panels) {
        const QJsonArray targets = panel["targets"].toArray();
        EXPECT_FALSE(targets.isEmpty()) << panel["title"].toString().toStdString();
        for (const QJsonValue t : targets) {
            const QString query = t["query"].toString();
            EXPECT_TRUE(query.contains(" FROM \"q7\" ")) << query.toStdString();
            EXPECT_TRUE(query.contains("\"line\" =~ /^$line$/ AND \"id\" =~ /^$id$/"))
                << query.toStdString();
            auto names = field.globalMatch(query);
            EXPECT_TRUE(names.hasNext()) << query.toStdString();
            while (names.hasNext()) {
                const std::string name = names.next().captured(1).toStdString();
                queried.insert(name);
                EXPECT_TRUE(written.count(name)) << name << " in " << query.toStdString();
            }
        }
    }
    for (const char* shown : {"pv", "sv", "plan_sv", "alarm1", "alarm2"})
        EXPECT_TRUE(queried.count(shown)) << shown;
}

namespace {

// influxd on loopback, its meta, data and WAL in dir, stopped by its PID.
class Influxd {
  public:
    explicit Influxd(std::string dir)
        : dir_(std::move(dir)), port_(freeLoopbackPort()), rpc_(freeLoopbackPort()) {
        std::ofstream(dir_ + "/influxdb.conf")
            << "reporting-disabled = true\n"
            << "bind-address = \"127.0.0.1:" << rpc_ << "\"\n"
            << "[meta]\n  dir = \"" << dir_ << "/meta\"\n"
            << "[data]\n  dir = \"" << dir_ << "/data\"\n  wal-dir = \"" << dir_ << "/wal\"\n"
            << "  query-log-enabled = false\n"
            << "[monitor]\n  store-enabled = false\n"
            << "[http]\n  bind-address = \"127.0.0.1:" << port_ << "\"\n"
            << "  log-enabled = false\n";
    }
    bool start() {
        if (!process_.start({"influxd", "-config", dir_ + "/influxdb.conf"}, dir_ + "/influxd.out",
                            dir_ + "/influxd.err"))
            return false;
        return waitFor(
            [&] {
                return curl({"-o", "/dev/null", "-w", "%{http_code}", url() + "/ping"}) == "204";
            },
            secondsFromNow(60));
    }
    void stop() { process_.stop(SIGTERM); }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // The JSON of an InfluxQL query of database q7, times in milliseconds.
    QJsonObject query(const std::string& q) {
        const std::string out =
            curl({"-G", url() + "/query", "--data-urlencode", "db=q7", "--data-urlencode",
                  "epoch=ms", "--data-urlencode", "q=" + q});
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }
    // The values of the query's one series, each row an array.
    QJsonArray rows(const std::string& q) {
        return query(q)["results"][0]["series"][0]["values"].toArray();
    }
    std::string curl(std::vector<std::string> args) {
        args.insert(args.begin(), {"curl", "-s", "--max-time", "10"});
        Process p;
        const std::string out = dir_ + "/curl.out";
        if (!p.start(args, out, dir_ + "/curl.err")) return "";
        waitFor([&] { return !p.running(); }, secondsFromNow(20));
        return slurp(out);
    }
    std::string log() const { return slurp(dir_ + "/influxd.err"); }

  private:
    std::string dir_;
    int port_, rpc_;
    Process process_;
};

long long wallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

namespace {

// q7 serve polling the simulated controller (PV 29.1, held still) every
// 0.2 s, its points going to influxd's database q7, the broker beside them.
class InfluxOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7influx.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        broker = std::make_unique<Broker>(dir);
        ASSERT_TRUE(broker->start()) << broker->log();
        db = std::make_unique<Influxd>(dir);
        ASSERT_TRUE(db->start()) << db->log();
        db->curl({"-XPOST", db->url() + "/query", "--data-urlencode", "q=CREATE DATABASE q7"});
        sim::SimOptions options;
        options.timeScale = 0;
        options.ids = {1, 2};
        sim = std::make_unique<sim::SimController>(options);
        ASSERT_TRUE(sim->start());
        sim->setReg(0x1000, 291);
    }
    void TearDown() override {
        bridge.stop(SIGKILL);
        db->stop();
        broker->stop();
        sim->stop();
        if (std::system(("rm -rf '" + dir + "'").c_str()) != 0) ADD_FAILURE();
    }
    void startBridge() {
        std::ofstream(dir + "/serve.conf")
            << "[broker]\nurl = mqtt://127.0.0.1:" << broker->port()
            << "\n[line furnace]\nport = " << sim->devicePath()
            << "\nids = 1, 2\ninterval = 0.2\nwrites = sv, mode, run\n[influx]\nurl = " << db->url()
            << "/\ndatabase = q7\n";
        const char* bin = std::getenv("Q7_BINARY_DIR");
        ASSERT_TRUE(bridge.start(
            {std::string(bin ? bin : ".") + "/q7", "serve", "--config", dir + "/serve.conf"},
            dir + "/serve.out", dir + "/serve.err", dir));
    }
    bool logged(const std::string& text) {
        return waitFor([&] { return log().find(text) != std::string::npos; }, secondsFromNow(60));
    }
    std::string log() const { return slurp(dir + "/serve.err"); }
    // Each poll of id 1 reads PV to the status word in one request.
    qsizetype polls(int id) const {
        const auto log = sim->requestLog();
        return qsizetype(
            std::count(log.begin(), log.end(),
                       id == 1 ? "01 03 10 00 00 04 40 C9" : "02 03 10 00 00 04 40 FA"));
    }
    // What the output said it did as the bridge stopped: "71 point(s) written, ...".
    std::string totals() const {
        const std::string all = log();
        const auto at = all.find("influx: ", all.find("q7 serve: stopping"));
        return at == std::string::npos ? "" : all.substr(at + 8, all.find('\n', at) - at - 8);
    }

    std::string dir;
    std::unique_ptr<Broker> broker;
    std::unique_ptr<Influxd> db;
    std::unique_ptr<sim::SimController> sim;
    Process bridge;
};

const std::string kPointsOf1 =
    "SELECT pv, sv, mode, alarm1, unit FROM q7 WHERE line = 'furnace' AND id = '1'";

} // namespace

// Each good poll arrives as a point with its tags, its own time and, in a
// run, where the plan has the controller; while influxd is away the points
// wait, and once it is back they all arrive.
TEST_F(InfluxOutput, PollsArriveTaggedAndTheGapIsWrittenOnceTheDatabaseIsBack) {
    const long long started = wallMs();
    startBridge();
    ASSERT_TRUE(waitFor([&] { return db->rows(kPointsOf1).size() >= 3; }, secondsFromNow(60)))
        << log();
    EXPECT_TRUE(logged("influx: writing to " + db->url() + ", database q7"));
    const QJsonArray first = db->rows(kPointsOf1);
    const long long firstAt = first[0][0].toInteger();
    EXPECT_GE(firstAt, started);
    EXPECT_LE(first.last()[0].toInteger(), wallMs());
    EXPECT_EQ(QJsonDocument(first[0].toArray()).toJson(QJsonDocument::Compact).toStdString(),
              "[" + std::to_string(firstAt) + ",29.1,25,\"on\",0,\"C\"]");

    // While a run holds a controller, its points say where the plan has
    // it. (Id 2's: the run reads its zone itself, which polls(2) would count.)
    ASSERT_EQ(mkdir((dir + "/programs").c_str(), 0755), 0);
    std::ofstream(dir + "/programs/bisque.q7p") << "[program]\nname = bisque\nunit = C\n"
                                                   "start = pv\nholdback = 0\n"
                                                   "[segments]\n600 200 0:10\n";
    publish(*broker, dir, "q7/furnace/2/run/start", "bisque");
    const std::string ofRun =
        "SELECT plan_sv, segment FROM q7 WHERE id = '2' AND run = 'bisque' AND plan_sv > -1000";
    ASSERT_TRUE(waitFor([&] { return !db->rows(ofRun).isEmpty(); }, secondsFromNow(60))) << log();
    const QJsonArray planned = db->rows(ofRun)[0].toArray();
    EXPECT_LT(planned[1].toDouble(), 200);
    EXPECT_EQ(planned[2].toInteger(), 1);

    // Away: the polls go on, their points wait.
    db->stop();
    const long long away = wallMs();
    ASSERT_TRUE(logged("influx: cannot write to " + db->url() + ", database q7: "));
    const qsizetype before = polls(1);
    ASSERT_TRUE(waitFor([&] { return polls(1) >= before + 10; }, secondsFromNow(60)));
    const long long back = wallMs();
    ASSERT_TRUE(db->start()) << db->log();
    EXPECT_TRUE(logged("influx: " + db->url() + ", database q7 answers again; "));
    EXPECT_TRUE(waitFor(
        [&] {
            return db->rows("SELECT pv FROM q7 WHERE time > " + std::to_string(back) + "ms")
                       .size() >= 2;
        },
        secondsFromNow(60)));
    EXPECT_EQ(bridge.stop(SIGTERM), 0);

    // Every point the bridge wrote is there, those of the gap among them,
    // and none twice: one a poll, every poll.
    const QJsonArray all = db->rows(kPointsOf1);
    EXPECT_EQ(all.size(), polls(1));
    EXPECT_EQ(totals(), std::to_string(db->rows("SELECT pv FROM q7").size()) +
                            " point(s) written, 0 refused, 0 dropped, 0 not written")
        << log();
    int inGap = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const long long at = all[i][0].toInteger();
        inGap += at > away && at < back;
        if (i) {
            EXPECT_GT(at, all[i - 1][0].toInteger());
        }
    }
    EXPECT_GE(inGap, 5);
}

// A batch the database refuses (pv written as text before, so each float
// pv conflicts) is dropped with the database's reason, not sent again and
// again: once the conflict is gone, the next batches go.
TEST_F(InfluxOutput, ABatchTheDatabaseRefusesIsDroppedAndTheNextOnesGo) {
    db->curl(
        {"-XPOST", db->url() + "/write?db=q7", "--data-binary", "q7,id=9,line=other pv=\"warm\""});
    startBridge();
    ASSERT_TRUE(logged("point(s), which is dropped: HTTP 400: partial write: field type "
                       "conflict: input field \"pv\" on measurement \"q7\" is type float, "
                       "already exists as type string"))
        << log();
    db->curl({"-XPOST", db->url() + "/query", "--data-urlencode", "db=q7", "--data-urlencode",
              "q=DROP MEASUREMENT q7"});
    ASSERT_TRUE(waitFor([&] { return db->rows(kPointsOf1).size() >= 3; }, secondsFromNow(60)))
        << log();
    EXPECT_EQ(bridge.stop(SIGTERM), 0);
    const std::string said = totals();
    const auto written = parseWhole(said.substr(0, said.find(' ')));
    const auto refused = said.find(" written, ");
    ASSERT_TRUE(written && refused != std::string::npos) << log();
    const auto refusedCount =
        parseWhole(said.substr(refused + 10, said.find(' ', refused + 10) - refused - 10));
    ASSERT_TRUE(refusedCount);
    EXPECT_GT(*refusedCount, 0);
    // Refused points are gone and counted; the others are all there.
    EXPECT_EQ(*written + *refusedCount, polls(1) + polls(2)) << said;
    EXPECT_EQ(db->rows("SELECT pv FROM q7").size(), *written) << said;
}
