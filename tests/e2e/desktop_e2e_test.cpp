// On the desktop: the ports listed without a display, the program as
// installed, and the per-user folder the menu entry starts it in.
#include "app/desk_picture.h"
#include "program_run.h"
#include "sim/sim_controller.h"
#include "support/fake_machine.h"

#include <QImage>

#include <filesystem>
#include <fstream>
#include <map>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// A run with --screenshots waits for demo firings on the simulator: on a
// busy machine, or in a sanitizer's build, that takes well over the half
// minute a plain start is given.
constexpr auto kPicturesDeadline = std::chrono::seconds(180);

const std::map<std::string, std::optional<std::string>> kNoDisplay{
    {"DISPLAY", std::nullopt},
    {"WAYLAND_DISPLAY", std::nullopt},
    {"QT_QPA_PLATFORM", std::nullopt}};

TEST_F(ProgramRun, ListPortsNamesEveryAdapterWithoutADisplay) {
    sim::SimController first, second;
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    FakeMachine machine;
    machine.linkById("usb-Maker_USB_serial_adapter_A50285BI-if00-port0", first.devicePath());
    machine.linkById("usb-Other_Adapter_B2-if00-port0", second.devicePath());

    auto env = kNoDisplay;
    env["Q7_DEV_DIR"] = machine.roots().dev;
    env["Q7_SYS_DIR"] = machine.roots().sys;
    start({"--list-ports", "--com", "5=/dev/q7-missing"}, env);
    ASSERT_EQ(finish(), 0);
    const std::string dot = " \xC2\xB7 ";
    EXPECT_EQ(out(), "COM1 (" + first.devicePath() + dot + "Maker USB serial adapter A50285BI)\n" +
                         "COM2 (" + second.devicePath() + dot + "Other Adapter B2)\n" +
                         "COM5 (/dev/q7-missing" + dot + "not present)\n");
}

TEST_F(ProgramRun, InstalledProgramFindsItsPanelsAndMenuEntry) {
    const char* cmake = std::getenv("Q7_CMAKE");
    if (!cmake) GTEST_SKIP() << "run by CTest, which names cmake";
    const std::string prefix = dir + "/prefix";
    const std::string install = std::string(cmake) + " --install '" + binaryDir() + "' --prefix '" +
                                prefix + "' >/dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0) << install;

    for (const char* file :
         {"bin/q7", "bin/q7-panels", "bin/q7sim", "share/applications/q7.desktop",
          "share/icons/hicolor/scalable/apps/q7.svg", "share/man/man1/q7.1.gz",
          "share/doc/q7/README.md", "share/doc/q7/docs/panels.md"})
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;
    int panels = 0;
    for (const auto& entry : fs::directory_iterator(prefix + "/share/q7/panels"))
        panels += entry.path().extension() == ".ui";
    EXPECT_EQ(panels, 12);
    if (std::system("command -v desktop-file-validate >/dev/null") == 0) {
        const std::string validate =
            "desktop-file-validate '" + prefix + "/share/applications/q7.desktop'";
        EXPECT_EQ(std::system(validate.c_str()), 0);
    }
    // The bridge's service works in a folder of its own that it may write
    // under ProtectSystem=strict: programs/, alarms.conf and runs.sqlite are
    // looked for in the working folder, and / is read-only to it.
    const std::string unit = prefix + "/lib/systemd/system/q7-serve.service";
    std::map<std::string, std::string> service;
    std::ifstream unitFile(unit);
    for (std::string line; std::getline(unitFile, line);)
        if (const auto eq = line.find('='); eq != std::string::npos && line[0] != '#')
            service[line.substr(0, eq)] = line.substr(eq + 1);
    EXPECT_FALSE(service["StateDirectory"].empty()) << unit;
    EXPECT_EQ(service["WorkingDirectory"], "/var/lib/" + service["StateDirectory"]) << unit;
    if (std::system("command -v systemd-analyze >/dev/null") == 0) {
        // Offline, and quiet: a key it does not know is only a warning.
        const std::string verify =
            "systemd-analyze verify '" + unit + "' 2>'" + dir + "/verify.txt'";
        EXPECT_EQ(std::system(verify.c_str()), 0);
        std::ifstream said(dir + "/verify.txt");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(said), {}), "");
    }

    // Run from there, it loads its panels and connects: nothing of the
    // build tree is within its reach.
    // (The simulated controller's connection is never saved in DftCom.prm;
    // the pictures taken once connected tell that it came up.)
    program = prefix + "/bin/q7";
    start({"--simulate", "--screenshots=shots"});
    EXPECT_EQ(finish(kPicturesDeadline), 0) << err();
    EXPECT_TRUE(fs::exists(dir + "/shots/main.png")) << "the installed program did not come up";
    for (const char* panel : {"chart", "chart_yscale", "log_setup", "step_program", "pid", "debug",
                              "traffic", "line", "wait", "eng_code", "programs", "runs"})
        EXPECT_TRUE(fs::exists(dir + "/shots/" + panel + ".png")) << "no picture of " << panel;
    // Its demo firings went into a store of their own.
    EXPECT_FALSE(fs::exists(dir + "/runs.sqlite"));
}

TEST_F(ProgramRun, WorkdirKeepsTheFilesInAFolderOfTheUsersOwn) {
    const std::string home = dir + "/home";
    const std::string started = dir + "/desktop";
    fs::create_directories(home);
    fs::create_directories(started);
    start({"--simulate", "--workdir", "--screenshots=shots"}, {{"HOME", home}}, started);
    EXPECT_EQ(finish(kPicturesDeadline), 0) << err();
    EXPECT_TRUE(fs::exists(home + "/q7/shots/main.png")) << "~/q7 is made on first start and used";
    EXPECT_TRUE(fs::is_empty(started)) << "nothing lands where the desktop started it";
    EXPECT_EQ(fs::directory_iterator(home)->path().filename(), "q7");
}

// The pictures the demo run takes on an X server, as run.sh takes them: the
// main panel, the Programs panel and the Runs panel fit a 1024x600 screen,
// and the picture of all the panels shows the main one whole, with the
// others beside it rather than over it.
TEST_F(ProgramRun, PicturesOnAnXServerShowTheMainPanelWholeWithin1024x600) {
    const std::string q7 = program;
    program = "/usr/bin/xvfb-run";
    if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << program;
    start({"-a", "-s", "-screen 0 1600x1000x24", q7, "--simulate", "--screenshots=shots"},
          {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", std::nullopt}});
    ASSERT_EQ(finish(kPicturesDeadline), 0) << err();
    const QImage main(QString::fromStdString(dir + "/shots/main.png"));
    const QImage screen(QString::fromStdString(dir + "/shots/screen.png"));
    ASSERT_FALSE(main.isNull());
    EXPECT_LE(main.width(), 1024);
    EXPECT_LE(main.height(), 600);
    ASSERT_GT(screen.width(), main.width());
    const QRect at(firstWindowAt(main.devicePixelRatio()), main.size());
    EXPECT_TRUE(screen.copy(at).convertToFormat(QImage::Format_RGB32) ==
                main.convertToFormat(QImage::Format_RGB32))
        << "the main panel is not seen whole in the picture of all the panels";
    // The Programs panel's picture, taken with its demo run under way, and
    // the Runs panel's, with a finished run and an earlier one over it, and
    // with its list of alarm events.
    for (const char* panel : {"programs", "runs", "runs_alarms"}) {
        const QImage picture(QString::fromStdString(dir + "/shots/" + panel + ".png"));
        ASSERT_FALSE(picture.isNull()) << panel;
        EXPECT_LE(picture.width(), 1024) << panel;
        EXPECT_LE(picture.height(), 600) << panel;
    }
}

} // namespace
