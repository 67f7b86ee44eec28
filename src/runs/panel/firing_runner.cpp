#include "runs/panel/firing_runner.h"

#include "base/number_text.h"
#include "link/controller.h"
#include "link/line.h"
#include "panelkit/control_thread.h"
#include "panelkit/panel_service.h"
#include "runs/controller_zone.h"
#include "runs/held_back.h"
#include "runs/run_host.h"
#include "runs/run_order.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <variant>

namespace {

// A damaged store was kept aside and a new one begun: the operator is told
// where the old runs went.
void tellNotice(const RunStore& store) {
    if (!store.notice().empty()) MessagePopup("Run store", store.notice());
}

// As `q7 run` polls: the engine moves the plan clock by the time that
// passed, so a late tick loses nothing.
constexpr int kPollMs = 1000;

} // namespace

// One run as the control thread drives it, and what its polls told last.
struct FiringRunner::Run final : RunListener {
    std::unique_ptr<RunStore> store;
    std::unique_ptr<RunHost> host;
    QString programText;
    std::vector<RunSample> last; // per zone
    QString holdBack, lastEvent;

    void runUpdated(const RunUpdate& u) override {
        for (const RunSample& s : u.samples) {
            if (s.zone < 0) continue;
            if (std::size_t(s.zone) >= last.size()) last.resize(std::size_t(s.zone) + 1);
            last[std::size_t(s.zone)] = s;
        }
        for (const RunEvent& e : u.events) {
            lastEvent = QString::fromStdString(e.text);
            if (e.kind == EventKind::holdBackStart || e.kind == EventKind::holdBackEnd)
                holdBack = QString::fromStdString(e.text);
        }
    }
};

FiringRunner::FiringRunner(Controller& controller, ControlThread& control, QObject* parent)
    : QObject(parent), controller_(controller), control_(control) {
    qRegisterMetaType<RunView>();
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this,
            [this] { control_.postTick(&poll_, [this] { tick(); }); });
}

FiringRunner::~FiringRunner() {
    poll_.stop();
    // A tick or an operator's request may still be queued for this runner:
    // it runs first. The GUI loop turns meanwhile, for whatever of it waits
    // on a widget.
    while (control_.running() && !control_.isCurrent() && !control_.idle())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // A run still open stays unfinished in the store, to be resumed.
    run_.reset();
}

void FiringRunner::onControl(std::function<void()> work) {
    if (control_.isCurrent())
        work();
    else
        control_.post(std::move(work));
}

void FiringRunner::start(const QString& programText) {
    onControl([this, programText] { begin(programText); });
}

void FiringRunner::pause() {
    onControl([this] {
        if (!run_ || run_->host->ended()) return;
        run_->host->engine().pause("paused from the Programs panel");
        publish();
    });
}

void FiringRunner::proceed() {
    onControl([this] {
        if (!run_ || run_->host->ended()) return;
        run_->host->engine().proceed();
        publish();
    });
}

void FiringRunner::stop() {
    onControl([this] {
        if (!run_ || run_->host->ended()) return;
        run_->host->engine().stop();
        tellPolled();
        publish();
        finishIfEnded();
    });
}

void FiringRunner::begin(const QString& programText) {
    if (run_) return emit refused("a run is open already: stop it first");
    const std::string textStd = programText.toStdString();
    auto parsed = parseFiringProgram(textStd);
    if (const auto* e = std::get_if<ProgramError>(&parsed))
        return emit refused(QString::fromStdString(
            (e->line ? "line " + formatWhole(e->line) + ": " : std::string()) + e->why));
    const FiringProgram program = std::get<FiringProgram>(std::move(parsed));

    std::string why;
    auto run = std::make_unique<Run>();
    run->store = openRunStore(&why);
    if (!run->store) return emit refused(QString::fromStdString(why));
    tellNotice(*run->store);
    run->programText = programText;
    // A controller an unfinished run holds is not taken by another, on its
    // device by any name, whoever drives it.
    const std::string port = portName(controller_.line().comPort());
    const int id = int(controller_.controllerId());
    const auto other = runHolding(*run->store, runDevice(port), id);
    if (other.failed())
        return emit refused(
            QString::fromStdString("the run store " + other.why() + "; no run starts"));
    if (other.found()) {
        const std::string what = other->unfinishedOn(port);
        return emit refused(QString::fromStdString(other->driven.empty()
                                                       ? what + ": resume it or stop it first"
                                                       : what + ": " + other->driven));
    }

    std::vector<EngineZone> zones;
    zones.push_back({std::make_unique<ControllerZone>(controller_), port, id, 0});
    RunOptions options;
    options.timeScale = timeScale_;
    run->host = std::make_unique<RunHost>(*run->store, onEnded);
    run->host->begin(program, textStd, std::move(zones), options);
    if (const std::string refusal = launch(std::move(run)); !refusal.empty())
        emit refused(QString::fromStdString(refusal));
}

bool FiringRunner::offerResume() {
    if (run_) return false;
    // Asking about runs makes no store where there is none.
    if (!QFileInfo::exists(QString::fromStdString(runStorePath()))) return false;
    // Nor sets a damaged one aside: that is for a run that begins.
    auto opened = RunStore::open(runStorePath(), RunStore::Use::change);
    if (!std::holds_alternative<std::unique_ptr<RunStore>>(opened)) return false;
    auto run = std::make_unique<Run>();
    run->store = std::get<std::unique_ptr<RunStore>>(std::move(opened));
    tellNotice(*run->store);
    const std::string port = portName(controller_.line().comPort());
    const auto stored = openRunOn(*run->store, runDevice(port));
    if (stored.failed()) {
        MessagePopup("Unfinished run", "The run store " + stored.why() +
                                           ": whether a run is unfinished on " + port +
                                           " cannot be told.");
        return false;
    }
    if (!stored.found() || !drivenElsewhere(*run->store, *stored).empty()) return false;
    const std::string name =
        "run " + formatWhole(stored->id) + " (" + stored->state.programName + ")";
    // The panels drive their own controller alone; zones elsewhere are
    // the command's to resume.
    const auto& zones = stored->state.zones;
    if (zones.size() != 1 || zones[0].id != int(controller_.controllerId())) {
        MessagePopup("Unfinished run", name + " is unfinished on " + port +
                                           " with zones these panels do not drive: q7 run "
                                           "--resume goes on with it, q7 run --stop ends it.");
        return false;
    }
    std::string unread;
    auto program = storedProgram(*stored, &unread);
    if (!program) return false;
    const int answer =
        GenericMessagePopup("Unfinished run",
                            name + " did not end on " + port +
                                ". Go on with it from the point of its plan where the kiln is now?",
                            "Go on", "Leave it", "", 1, 1, 2);
    if (answer != 1) return false;
    std::vector<EngineZone> engineZones;
    engineZones.push_back({std::make_unique<ControllerZone>(controller_), port,
                           int(controller_.controllerId()), zones[0].offset});
    RunOptions options;
    options.timeScale = timeScale_;
    run->programText = QString::fromStdString(stored->state.programText);
    run->host = std::make_unique<RunHost>(*run->store, onEnded);
    run->host->resume(std::move(*program), *stored, std::move(engineZones), options);
    if (const std::string why = launch(std::move(run)); !why.empty()) {
        MessagePopup("Unfinished run", name + " cannot go on: " + why);
        return false;
    }
    return true;
}

std::string FiringRunner::launch(std::unique_ptr<Run> run) {
    run->host->listen(run.get());
    if (std::string why = run->host->open(); !why.empty()) return why;
    // A calibration past its due date is told as the run starts; the run
    // records it too.
    if (const auto& warnings = run->host->warnings(); !warnings.empty()) {
        std::string text;
        for (const std::string& w : warnings)
            text += (text.empty() ? "" : "\n") + w;
        MessagePopup("Calibration", text);
    }
    run_ = std::move(run);
    QMetaObject::invokeMethod(
        this,
        [this] {
            running_ = true;
            poll_.start();
        },
        Qt::QueuedConnection);
    publish();
    return "";
}

void FiringRunner::tick() {
    if (!run_) return;
    // `q7 run --stop` from a shell asks through the store.
    run_->host->tick();
    tellPolled();
    publish();
    finishIfEnded();
}

void FiringRunner::tellPolled() {
    if (!onPolled || !run_) return;
    onPolled({*run_->host});
}

void FiringRunner::publish() {
    const RunEngine& e = run_->host->engine();
    const RunState& st = e.state();
    RunView v;
    v.runId = run_->host->runId().value_or(0);
    v.phase = st.phase;
    v.outcome = st.outcome;
    v.programText = run_->programText;
    v.planStart = st.planStart;
    v.planClock = st.planClock;
    v.toGo = e.secondsToGo();
    v.plannedSv = e.plannedSv();
    v.segment = QString::fromStdString(stepText(e.program(), e.currentStep()));
    v.holdingBack = e.holdingBack();
    v.holdBack = v.holdingBack ? QString::fromStdString(heldBackText(e)) : run_->holdBack;
    v.pauseReason = QString::fromStdString(st.pauseReason);
    v.lastEvent = run_->lastEvent;
    for (std::size_t i = 0; i < st.zones.size(); ++i) {
        const ZoneFacts& facts = e.zoneFacts(i);
        ZoneView z;
        z.name = QString::fromStdString(st.zones[i].port + " id " + formatWhole(st.zones[i].id));
        z.unit = unitSign(facts.unit);
        z.digits = facts.digits;
        if (i < run_->last.size()) {
            z.pv = run_->last[i].pv;
            z.sv = run_->last[i].sv;
        }
        if (i == 0 && z.pv)
            v.kilnPv = convertTemperature(*z.pv, facts.unit, e.program().unit) - st.zones[i].offset;
        v.zones.push_back(z);
    }
    emit viewChanged(v);
}

void FiringRunner::finishIfEnded() {
    if (!run_ || !run_->host->ended()) return;
    RunView last;
    {
        const RunState& st = run_->host->engine().state();
        last.runId = run_->host->runId().value_or(0);
        last.phase = st.phase;
        last.outcome = st.outcome;
        last.lastEvent = run_->lastEvent;
    }
    // A record with a gap is told: the firing's end may be kept beside the store alone.
    if (const std::string unrecorded = run_->host->unrecorded(); !unrecorded.empty())
        MessagePopup("Run store",
                     "Run " + formatWhole(last.runId) + " went unrecorded: " + unrecorded);
    run_.reset();
    emit ended(last);
    QMetaObject::invokeMethod(
        this,
        [this] {
            running_ = false;
            poll_.stop();
        },
        Qt::QueuedConnection);
}
