// The Line panel from its .ui file against simulated controllers 1, 2 and 7
// on one pseudo-terminal, id 2 switched off and nothing at id 3.
#include "connection/panel/status_line.h"
#include "lines/panel/line_panel.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "mainpanel/ids/main_panel.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"
#include "widgets/led.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

// The main panel's button that opens the Line panel.
constexpr CtrlId kLineButton = "lineButton";

class LinePanelTest : public ControllerTest {
  protected:
    LinePanelTest() {
        simOptions.ids = {1, 2, 7};
        simOptions.timeScale = 0.0; // PV stays as set
    }

    LinePanel& panel() { return objects().linePanelWindow; }
    template <class W> W& in(const char* name) {
        W* w = panel().findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return *w;
    }
    std::string note() { return in<QLabel>("lineNote").text().toStdString(); }

    // Waits until every listed controller has had its turn; meanwhile
    // notes every id the main panel's status line named.
    std::vector<RowText> rowsOnceEachPolled(std::size_t count, std::set<std::string>* statusIds) {
        std::vector<RowText> rows;
        auto* status =
            qobject_cast<QLabel*>(controlWidget(MainPanel::handle, MainPanel::statusLine));
        const bool done = waitUntil(
            [&] {
                const std::string text = status->text().toStdString();
                if (const auto at = text.find(" id "); at != std::string::npos)
                    statusIds->insert(text.substr(at + 4, text.find(' ', at + 4) - at - 4));
                rows = panel().shownRows();
                return rows.size() == count &&
                       std::none_of(rows.begin(), rows.end(), [](const RowText& r) {
                           return r.cells[stateColumn] == "waiting";
                       });
            },
            std::chrono::seconds(30));
        EXPECT_TRUE(done);
        return rows;
    }
};

} // namespace

TEST_F(LinePanelTest, EachRowShowsItsOwnControllerTheSilentOneStandsOutAndShowSwitches) {
    sim->setReg(1, 0x1000, 251); // PV 25.1
    sim->setReg(1, 0x1001, 300);
    sim->setReg(7, 0x0000, 4800);
    sim->setReg(7, 0x1001, 4800);
    sim->setReg(7, 0x1000, 5002);
    sim->setReg(7, 0x0003, 4);   // Manual
    sim->setReg(7, 0x0002, 125); // 12.5 %
    sim->setAnswering(2, false);
    connect(1);
    const std::optional<Clock::TimePoint> replied = controller().health().lastReply();
    ASSERT_TRUE(replied);
    objects().statusLine.start(); // refreshed every second, as the program does
    int silentEvents = 0;
    const int observer = controller().health().addObserver([&](LineEvent e, int) {
        if (e == LineEvent::silent) ++silentEvents;
    });
    writeFile("DftLine.prm", "COM3: 1, 2, 3, 7\n");
    commit(MainPanel::handle, kLineButton);

    std::set<std::string> statusIds;
    const std::vector<RowText> rows = rowsOnceEachPolled(4, &statusIds);
    controller().health().removeObserver(observer);
    ASSERT_EQ(rows.size(), 4u);
    using Cells = std::array<std::string, lineColumnCount>;
    auto values = [](const RowText& r) {
        Cells c = r.cells;
        c[ageColumn].clear(); // depends on when the turn came
        return c;
    };
    EXPECT_EQ(values(rows[0]), (Cells{"1", "@", "25.1", "30.0", "On", "0.0 %", "", "ok"}));
    EXPECT_FALSE(rows[0].fault);
    // Nothing read is shown as nothing, never as 0.
    EXPECT_EQ(rows[1].cells, (Cells{"2", "", "", "", "", "", "never", "silent: no reply"}));
    EXPECT_TRUE(rows[1].fault);
    EXPECT_EQ(rows[2].cells, (Cells{"3", "", "", "", "", "", "never", "silent: no reply"}));
    EXPECT_TRUE(rows[2].fault);
    EXPECT_EQ(values(rows[3]), (Cells{"7", "@", "500.2", "480.0", "Manual", "12.5 %", "", "ok"}));
    // Silent neighbours are no silence of the main panel's controller, and
    // its status line named no other while they were asked.
    EXPECT_EQ(silentEvents, 0);
    EXPECT_EQ(statusIds, std::set<std::string>{"1"});
    EXPECT_EQ(controller().controllerId(), 1);
    int light = Led::off;
    GetCtrlVal(MainPanel::handle, MainPanel::connectionLed, &light);
    EXPECT_EQ(light, Led::on);
    EXPECT_FALSE(controller().health().silent());
    // Asked nothing meanwhile but by the Line panel, whose controllers are its own.
    EXPECT_EQ(controller().health().lastReply(), replied);

    panel().selectRow(3);
    QTest::mouseClick(&in<QPushButton>("showButton"), Qt::LeftButton);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(controller().controllerId(), 7);
    double sv = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::svEntry, &sv);
    EXPECT_DOUBLE_EQ(sv, 480.0);
    int id = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::idNumeric, &id);
    EXPECT_EQ(id, 7);
}

TEST_F(LinePanelTest, ABadListFileIsAMessageAndAnEmptyList) {
    connect(1);
    writeFile("DftLine.prm", "COM3: 1, two\n");
    commit(MainPanel::handle, kLineButton);
    EXPECT_EQ(note(), "DftLine.prm line 1 has an id that is not 1 to 247: no controllers listed");
    EXPECT_TRUE(panel().shownRows().empty());
    EXPECT_EQ(readFile("DftLine.prm"), "COM3: 1, two\n");
}

TEST_F(LinePanelTest, ScanShowsProgressTakesCancelAtOnceAndListsWhatAnswered) {
    sim->setAnswering(2, false);
    connect(1);
    writeFile("DftLine.prm", "COM3: 1\n");
    commit(MainPanel::handle, kLineButton);
    int silentEvents = 0;
    const int observer = controller().health().addObserver([&](LineEvent e, int) {
        if (e == LineEvent::silent) ++silentEvents;
    });
    QTest::mouseClick(&in<QPushButton>("scanButton"), Qt::LeftButton);
    // The window stays live: the bar moves and Cancel is taken mid-scan.
    auto* bar = &in<QProgressBar>("scanProgress");
    ASSERT_TRUE(
        waitUntil([&] { return bar->isVisible() && bar->value() >= 9; }, std::chrono::seconds(30)));
    in<QPushButton>("cancelScanButton").click();
    std::string note;
    ASSERT_TRUE(waitUntil(
        [&] {
            note = this->note();
            return note.rfind("Scan", 0) == 0;
        },
        std::chrono::seconds(30)));
    controller().health().removeObserver(observer);
    // On a busy machine id 1's reply can miss the short pass's time-out; it
    // is then left to the careful pass, which the cancel stops.
    EXPECT_TRUE(note == "Scan cancelled: 2 answered (1 @, 7 @), 1 added to the list." ||
                note == "Scan cancelled: 1 answered (7 @), 1 added to the list.")
        << note;
    // Ids that do not answer are no silence of the main panel's controller.
    EXPECT_EQ(silentEvents, 0);
    EXPECT_LT(bar->value(), 40); // stopped, not run to the end
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(readFile("DftLine.prm"), "COM3: 1, 7\n");
    const std::vector<RowText> rows = panel().shownRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].cells[idColumn], "7");
}
