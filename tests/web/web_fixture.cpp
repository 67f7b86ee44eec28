#include "web/web_fixture.h"

#include "runs/plan.h"
#include "runs/program_file.h"
#include "runs/run_store.h"

#include <QProcess>

CurlAnswer curl(const std::vector<std::string>& args) {
    QStringList list{"-s", "-i"};
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    QProcess p;
    p.start("curl", list);
    CurlAnswer a;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return a;
    }
    a.exit = p.exitCode();
    const std::string out = p.readAllStandardOutput().toStdString();
    const auto blank = out.find("\r\n\r\n");
    a.head = out.substr(0, blank);
    if (blank != std::string::npos) a.body = out.substr(blank + 4);
    if (a.head.starts_with("HTTP/1.1 ")) a.status = std::atoi(a.head.c_str() + 9);
    return a;
}

void WebFixture::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    WebServerOptions o;
    o.listen = {"127.0.0.1", 0};
    o.runStorePath = dir_.filePath("runs.sqlite").toStdString();
    o.requestTimeout = requestTimeout_;
    o.maxUnsentBytes = maxUnsentBytes_;
    o.idleTimeout = idleTimeout_;
    o.access = access_;
    o.usersFile = usersFile_;
    o.viewNeedsLogin = viewNeedsLogin_;
    auto started = WebView::start(plant_, o);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<WebView>>(started))
        << std::get<std::string>(started);
    view_ = std::move(std::get<std::unique_ptr<WebView>>(started));
}

std::string WebFixture::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(view_->port()) + path;
}

std::string WebFixture::hostLine() const {
    return "Host: 127.0.0.1:" + std::to_string(view_->port()) + "\r\n";
}

long long addOpenRun(const std::string& path, int samples) {
    const std::string text = "[program]\nname = Bisque\nunit = C\nstart = 20\nend = off\n"
                             "[segments]\n100 600 0:30\n150 1000 0:20\n";
    auto opened = RunStore::open(path);
    auto* store = std::get_if<std::unique_ptr<RunStore>>(&opened);
    EXPECT_TRUE(store);
    if (!store) return 0;
    const FiringProgram program = std::get<FiringProgram>(parseFiringProgram(text));
    RunState st;
    st.programName = program.name;
    st.programText = text;
    st.opened = 1'800'000'000;
    st.zones.resize(1);
    st.zones[0].port = "/dev/ttyUSB0";
    st.zones[0].id = 1;
    const auto id = (*store)->create(st, std::nullopt, nullptr);
    EXPECT_TRUE(id);
    st.phase = RunPhase::running;
    st.planStart = PlanStart{0, 20, 0};
    st.started = st.opened;
    const Plan plan(program, st.planStart);
    RunUpdate u{st, {}, {}, true};
    for (int i = 0; i < samples; ++i) {
        const double sv = plan.svAt(60.0 * i);
        u.samples.push_back(RunSample{st.opened + 60.0 * i, 0, sv - 4, sv, 60, sv});
    }
    st.planClock = 60.0 * (samples - 1);
    st.segment = plan.at(st.planClock).segment;
    EXPECT_TRUE((*store)->record(*id, u, nullptr));
    return id.value_or(0);
}
