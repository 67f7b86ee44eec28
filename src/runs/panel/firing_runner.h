#pragma once
// Runs firing programs for the panels on their own line and controller,
// with the same engine and run store as `q7 run`. Its slots are called on
// the GUI thread and post the work to the control thread, which holds the
// line; the engine is driven there, one tick per poll, and what the panel
// shows comes back as queued signals. The GUI thread never waits for it.
#include "runs/panel/run_view.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class ControlThread;
class Controller;
class RunHost;
class RunStore;

class FiringRunner : public QObject {
    Q_OBJECT

  public:
    // controller: the panels' own, on their line; control: their control thread.
    FiringRunner(Controller& controller, ControlThread& control, QObject* parent = nullptr);
    // GUI thread, once the control thread has nothing of this runner left to do.
    ~FiringRunner() override;

    // The plan clock runs this many times faster (a simulator's time scale).
    void setTimeScale(double scale) { timeScale_ = scale; }
    double timeScale() const { return timeScale_; }
    // A run is open (GUI thread: as the last signal told).
    bool running() const { return running_; }

    // The line has just been opened: when it holds an unfinished firing run
    // of this controller alone that no other q7 drives, asks the operator
    // whether to go on with it, from the point of its plan that matches PV
    // now, as `q7 run --resume` does. True when it went on. Control thread.
    bool offerResume();

    // The open run, as each poll of it left it (control thread): its host,
    // with its engine, store and record.
    struct Polled {
        RunHost& host;
    };
    // Told on the control thread after each poll of a run, and once more as
    // an operator's stop ends it: the alarm rules look then.
    std::function<void(const Polled&)> onPolled;
    // Told on the control thread as a run ends, once its end is recorded
    // (the run host's hook: the figures are kept there).
    std::function<void(RunStore&, long long run)> onEnded;

  public slots:
    // Each runs on the control thread: at once when called there, else posted.
    void start(const QString& programText);
    void pause();
    void proceed();
    void stop();

  signals:
    // After each poll of a run and each change the operator made.
    void viewChanged(const RunView& view);
    // The run could not start (why, with the file's line where one is to
    // blame); nothing was written.
    void refused(const QString& why);
    void ended(const RunView& view);

  private:
    struct Run;
    void onControl(std::function<void()> work);
    // Control thread.
    void begin(const QString& text);
    // Opens the run's engine and starts polling it; why not, else empty.
    std::string launch(std::unique_ptr<Run> run);
    void tick();
    void publish();
    void tellPolled();
    void finishIfEnded();

    Controller& controller_;
    ControlThread& control_;
    double timeScale_ = 1;
    bool running_ = false;
    QTimer poll_;
    std::unique_ptr<Run> run_; // control thread's
};
