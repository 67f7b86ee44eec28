#pragma once
// The Programs panel: the program library (programs/ in the working folder,
// as `q7 programs` lists it), an editor that checks the program as it is
// typed with the reader the files are read by, the profile of its plan, and
// Run, Pause and Stop of a run on the panels' own controller. While a run
// goes on it shows the segment, the planned and actual SV, the PV of each
// zone, hold-back, the time to go, and the kiln's PV drawn over the plan.
//
// It asks its runner through signals and is told through slots; the runner
// does the work on the control thread, so nothing here waits for the line.
#include "runs/panel/run_view.h"
#include "runs/plan.h"
#include "widgets/profile_plot.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

namespace Ui {
class ProgramsPanel;
}
class FiringRunner;
class QListWidgetItem;

class ProgramsPanel : public QWidget {
    Q_OBJECT

  public:
    // Connected to runner, which must outlive it.
    explicit ProgramsPanel(FiringRunner& runner, QWidget* parent = nullptr);
    ~ProgramsPanel() override;

    // The folder the library is read from and saved to.
    void setLibrary(const QString& folder);
    const QString& library() const { return folder_; }
    // What the profile plot draws now.
    const ProfileView& profile() const;

  public slots:
    void refreshLibrary();
    // Puts a program's text in the editor, to be saved as fileName.
    void showProgram(const QString& text, const QString& fileName);
    // Saves the editor's text into the library, atomically, when it reads
    // as a program; false, saying why, when it does not.
    bool save();
    void showRun(const RunView& view);
    void showRefusal(const QString& why);
    void showEnd(const RunView& view);

  signals:
    void runRequested(const QString& programText);
    void pauseRequested();
    void proceedRequested();
    void stopRequested();

  private:
    void check();
    void openEntry(QListWidgetItem* item);
    void run();
    void pauseOrGoOn();
    void setRunning(bool running);
    void tell(const QString& text, bool problem);
    void drawIdlePlan();

    std::unique_ptr<Ui::ProgramsPanel> ui_;
    QString folder_;
    std::optional<FiringProgram> checked_; // the editor's text as a program, when it is one
    QString checkProblem_;
    // The run shown: its plan and the kiln's PV along it.
    long long shownRun_ = 0;
    std::optional<Plan> runPlan_;
    ProfileView::Points pvTrace_;
    RunPhase phase_ = RunPhase::ended;
};
