// What is refused before the controller hears a byte: usage errors, bad
// files and places that cannot be written all end with status 2 and one
// line on stderr, and the line stays silent.
#include "cli_run.h"

using namespace cli;

namespace {

class Refusals : public CliTest {
  protected:
    // q7 --com 1=<a line that records what it is sent> args...; checks that
    // it ends with status 2, says why in one line, and sends nothing.
    Ran refused(std::vector<std::string> args) {
        args.insert(args.begin(), {"--com", "1=" + line.device});
        const Ran r = run(args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("q7: ", 0), 0u) << r.err;
        EXPECT_EQ(line.sent(), "");
        return r;
    }
    SilentLine line;
};

} // namespace

TEST_F(Refusals, BadFilesAreRefusedWholeWithNothingSent) {
    writeFile("short.prm", "25.0 1 2 3 4 5 6 7 8 9");
    EXPECT_NE(refused({"restore", "short.prm"}).err.find("holds 10 fields"), std::string::npos);
    // With the file's own decimal point, 4000.0 is 40000 tenths: more than SV's register holds.
    std::string wide = "4000.00";
    for (int i = 1; i < 18; ++i)
        wide += " 0.00";
    for (int i = 0; i < 20; ++i)
        wide += i == 5 ? " 1" : " 0";
    writeFile("wide.prm", wide);
    EXPECT_NE(refused({"restore", "wide.prm"}).err.find("field 1 (4000.00) does not fit"),
              std::string::npos);
    refused({"restore", "missing.prm"});
    writeFile("short.srp", "1 2 3");
    EXPECT_NE(refused({"program", "put", "short.srp"}).err.find("3 numbers instead of 41"),
              std::string::npos);
    writeFile("bad.pid", "1 2 3");
    EXPECT_NE(refused({"pid", "put", "bad.pid"}).err.find("not a PID file"), std::string::npos);
}

TEST_F(Refusals, FilesThatCannotBeWrittenAreRefusedBeforeReading) {
    EXPECT_NE(refused({"backup", "no/such/folder/a.prm"}).err.find("no/such/folder"),
              std::string::npos);
    refused({"backup", "."});
    refused({"program", "get", "no/such/folder/a.srp"});
    refused({"pid", "get", "no/such/folder/a.pid"});
    refused({"watch", "--log", "no/such/folder/a.dat"});
}

TEST_F(Refusals, UsageErrorsNameTheFix) {
    EXPECT_NE(refused({"frobnicate"}).err.find("'q7 help'"), std::string::npos);
    refused({"backup"});
    refused({"restore", "a.prm", "b.prm"});
    refused({"read", "--xml"});
    refused({"get"});
    refused({"get", "pv", "colour"});
    refused({"set", "sv"});
    refused({"set", "sv", "hot"});
    refused({"set", "colour", "1"});
    refused({"set", "mode", "program"}); // started by `program run`
    EXPECT_NE(refused({"set", "out", "100.1"}).err.find("0.0 to 100.0"), std::string::npos);
    refused({"program", "start"});
    refused({"pid", "get"});
    refused({"watch", "--interval", "0"});
    refused({"watch", "--count", "-1"});
    refused({"help", "nothing"});
    refused({"--port", "0", "probe"});
    refused({"--id", "300", "probe"});
    refused({"--baud", "12345", "probe"});
    refused({"--trace", "no/such/folder/t.csv", "probe"});
    EXPECT_NE(refused({"--port", "3"}).err.find("go with a command"), std::string::npos);
}

TEST_F(Refusals, HelpShowsEveryCommandWithExamples) {
    Ran r = run({"help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command :
         {"probe", "read", "backup", "restore", "get", "set", "program", "pid", "watch", "ports"})
        EXPECT_NE(r.out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
    EXPECT_NE(r.out.find("Exit status"), std::string::npos);
    r = run({"help", "restore"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Example"), std::string::npos);
    EXPECT_EQ(r.err, "");
}
