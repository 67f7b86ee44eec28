// `q7 programs` and `q7 programs check` as a script runs them: the library
// listed, a file refused with its line, and a target over the simulated
// controller's Hi limit refused before any run.
#include "cli/cli_run.h"

using namespace cli;

namespace {

const char* const kBisque = "[program]\n"
                            "name = Bisque 04\n"
                            "unit = C\n"
                            "start = pv\n"
                            "holdback = 15\n"
                            "end = off\n"
                            "[segments]\n"
                            "80   100  0:30\n"
                            "150  600  0:00\n"
                            "100  1000 0:15\n"
                            "full 1060 0:10\n"
                            "-150 800  0:00\n";

class Programs : public CliSimTest {
  protected:
    void SetUp() override {
        CliSimTest::SetUp();
        std::filesystem::create_directory(path("programs"));
        writeFile("programs/bisque.q7p", kBisque);
        std::string fast = kBisque;
        fast.replace(fast.find("150  600"), 3, "fast");
        writeFile("programs/fast.q7p", fast);
    }
};

} // namespace

TEST_F(Programs, TheLibraryIsListedAndAFileCheckedWithItsLineNamed) {
    Ran r = run({"programs"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "bisque.q7p: Bisque 04, 5 segments, 10:59 from 20 °C\n"
                     "fast.q7p: refused: line 9: the rate takes degrees per hour (-99999 to 99999, "
                     "not 0; negative cools) or full, not 'fast'\n");
    r = run({"programs", "check", "programs/bisque.q7p"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "programs/bisque.q7p: Bisque 04, 5 segments, 10:59 from 20 °C\n"
                     "  about 984 set value writes to each controller, a step at most every 37 s "
                     "(min_write, chosen for the program)\n");
    r = run({"programs", "check", "fast"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "q7: programs/fast.q7p: line 9: the rate takes degrees per hour (-99999 to "
                     "99999, not 0; negative cools) or full, not 'fast'\n");
    EXPECT_TRUE(sim->requestLog().empty()); // no controller named, none asked
}

TEST_F(Programs, ATargetOverTheControllersHiLimitIsRefusedNamingItsLine) {
    std::string hot = kBisque;
    hot.replace(hot.find("1000 0:15"), 4, "2000");
    writeFile("hot.q7p", hot);
    Ran r = q7({"programs", "check", "hot.q7p"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "q7: hot.q7p: line 10: the target 2000 °C is above the Hi limit of COM1 (" +
                         sim->devicePath() + "), id 1 (1200.0 °C)\n");
    // Within the limits, a program that starts from PV is timed from the controller's PV.
    r = q7({"programs", "check", "bisque"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("programs/bisque.q7p: Bisque 04, 5 segments, ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("from 20 °C"), std::string::npos) << r.out;
}

TEST_F(Programs, ARepeatedSpanIsCountedAndTimedInEachOfItsCycles) {
    writeFile("anneal.q7p", "[program]\nname = Anneal\nunit = C\nstart = 20\nrepeat = 2-3 x 3\n"
                            "[segments]\n480 500 0:00\n100 500 0:10\n-100 400 0:10\n"
                            "-200 20 0:00\n");
    const Ran r = run({"programs", "check", "anneal.q7p"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("anneal.q7p: Anneal, 8 segments run (2-3 three times), 8:54\n", 0), 0u)
        << r.out;
}

// Another tool's profile of points comes in as a program whose plan goes
// through every point, and goes out as the same points.
TEST_F(Programs, AProfileIsImportedWithTheUnitItLacksAndExportedAsItsPoints) {
    const std::string profile = "{\"type\":\"profile\",\"name\":\"cone 05\",\"data\":[[0,65],"
                                "[3600,265],[5400,265],[5400,1000],[7200,1000],[9000,700]]}";
    writeFile("cone05.json", profile);
    Ran r = run({"programs", "import", "cone05.json"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("give --unit C or --unit F"), std::string::npos) << r.err;

    r = run({"programs", "import", "cone05.json", "--unit", "F"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile("programs/cone05.q7p"), "[program]\nname = cone 05\nunit = F\nstart = 65\n"
                                               "holdback = 0\nend = off\n[segments]\n"
                                               "# rate per hour (or full), target, hold H:MM\n"
                                               "200 265 0:30\nfull 1000 0:30\n-600 700 0:00\n");
    r = run({"programs", "export", "cone05", "--to", "json"});
    EXPECT_EQ(r.out, "{\"type\":\"profile\",\"name\":\"cone 05\",\"data\":[[0,65],[3600,265],"
                     "[5400,265],[5400,1000],[7200,1000],[9000,700]]}\n");
    // Never over a program that is there.
    r = run({"programs", "import", "cone05.json", "--unit", "F"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("programs/cone05.q7p is there already"), std::string::npos) << r.err;
}
