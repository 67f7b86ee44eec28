// One parameter file serves the panels and the shell: a backup made in the
// shell loads in the panel, a file the panel saved restores from the shell,
// and both write the same bytes for the same registers.
#include "cli_run.h"
#include "mainpanel/ids/main_panel.h"
#include "params/params_state.h"
#include "pid/panel/pid_panel.h"
#include "serial/serial_service.h"
#include "support/controller_fixture.h"

namespace {

class PanelAndShell : public ControllerTest {
  protected:
    // The shell's q7 on the same controller; the panels let go of the port
    // first, as it is taken exclusively.
    cli::Ran shell(std::vector<std::string> args) {
        CloseCom(line().port());
        args.insert(args.begin(), {"--com", "3=" + sim->devicePath(), "--port", "3"});
        return cli::runQ7(workDir, args);
    }
    void save(const std::string& name) {
        popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/" + name});
        commit(MainPanel::handle, MainPanel::saveFileButton);
    }
    void load(const std::string& name) {
        popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/" + name});
        popups.buttons.push_back(1); // send it, whatever it changes
        commit(MainPanel::handle, MainPanel::loadFileButton);
    }
    void configure() {
        sim->setReg(0x00, 456);
        sim->setReg(0x24, 8000);
        sim->setReg(0x1C, 3);
        sim->setReg(0x12, 321);
        sim->setReg(0x08, 95);
    }
    void scramble() {
        sim->setReg(0x00, 100);
        sim->setReg(0x24, 9000);
        sim->setReg(0x1C, 0);
        sim->setReg(0x12, 0);
        sim->setReg(0x08, 0);
    }
    void expectConfigured() {
        EXPECT_EQ(sim->reg(0x00), 456);
        EXPECT_EQ(sim->reg(0x24), 8000);
        EXPECT_EQ(sim->reg(0x1C), 3);
        EXPECT_EQ(sim->reg(0x12), 321);
        EXPECT_EQ(sim->reg(0x08), 95);
    }
};

} // namespace

TEST_F(PanelAndShell, BackupInTheShellLoadsInThePanel) {
    configure();
    const cli::Ran r = shell({"backup", "shell.prm"});
    ASSERT_EQ(r.status, 0) << r.err;
    scramble();
    connect(1);
    load("shell.prm");
    expectConfigured();
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 45.6f);
    EXPECT_EQ(popups.shown.size(), 2u); // the file dialog and what it changes, no error
}

TEST_F(PanelAndShell, SaveInThePanelRestoresFromTheShell) {
    configure();
    connect(1);
    runOnControlThread([this] { ReadPIDParmsFromMeter(controller()); });
    save("panel.prm");
    scramble();
    const cli::Ran r = shell({"restore", "panel.prm"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectConfigured();
}

TEST_F(PanelAndShell, BothWriteTheSameBytesForTheSameRegisters) {
    configure();
    sim->setReg(0x16, 77); // in the file, written by no restore
    connect(1);
    // The panel's record holds the PID block once it has been read.
    runOnControlThread([this] { ReadPIDParmsFromMeter(controller()); });
    save("panel.prm");
    const cli::Ran r = shell({"backup", "shell.prm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile("shell.prm"), readFile("panel.prm"));
}
