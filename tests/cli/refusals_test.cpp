// What is refused before the controller hears a byte: usage errors, bad
// files and places that cannot be written all end with status 2 and one
// line on stderr, and the line stays silent.
#include "cli/command_table.h"
#include "cli_run.h"

#include <sys/stat.h>

#include <utility>

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

// A parameter file with SV 25.0, limits -200.0 to 1200.0, one decimal place
// and a cycle time of 15 s, with field (1 to 38) holding value instead.
std::string prm(int field, const std::string& value) {
    std::vector<std::string> f(38, "0");
    f[0] = "25.00", f[9] = "-200.00", f[10] = "1200.00", f[23] = "1", f[26] = "15";
    f[std::size_t(field - 1)] = value;
    std::string text;
    for (const std::string& v : f)
        text += (text.empty() ? "" : " ") + v;
    return text;
}

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

// Nothing is masked to a byte or sent outside the range its register takes;
// the message names the line and the field.
TEST_F(Refusals, ValuesOutsideTheirFieldsAreRefusedByLineAndField) {
    std::string twoLines = prm(21, "268");
    twoLines[twoLines.find(" 0 0 268")] = '\n'; // fields 19 on, on a second line
    const std::pair<std::string, std::string> files[] = {
        {prm(21, "268"), "line 1, field 21 (268) does not fit its register: Sensor type "
                         "(0x001C) holds one byte, 0 to 255"},
        {prm(21, "300"), "field 21 (300) does not fit its register"},
        {prm(24, "7"), "field 24 (7) is outside what Decimal point (0x0021) takes: 0 to 1"},
        {prm(27, "9999"), "field 27 (9999) is outside what Cycle time (0x0017) takes: 0 to 60"},
        {prm(4, "100.50"), "field 4 (100.50) is outside what Output level (0x0002) takes"},
        {twoLines, "line 2, field 21 (268)"},
    };
    for (const auto& [text, expected] : files) {
        writeFile("a.prm", text);
        EXPECT_NE(refused({"restore", "a.prm"}).err.find(expected), std::string::npos) << expected;
    }
    std::string program = "100.0 10 20 65535 0";
    for (int i = 1; i < 8; ++i)
        program += " 100.0 10 20 10 0";
    writeFile("a.srp", program + " 5.0");
    EXPECT_NE(refused({"program", "put", "a.srp"})
                  .err.find("line 1, number 4 (65535) does not fit its register: 0x0036 (step 0 "
                            "action) holds one byte"),
              std::string::npos);
    writeFile("a.pid", "  -5.00 240 60    0.00    0.00    0.00 15    0.00    0.00    0.00 0");
    EXPECT_NE(refused({"pid", "put", "a.pid"})
                  .err.find("line 1, field 1 (-5.00) is outside what P band (0x0011) takes"),
              std::string::npos);
    writeFile("a.pid", "   5.00 240 60    0.00    0.00    0.00 9999    0.00    0.00    0.00 0");
    EXPECT_NE(refused({"pid", "put", "a.pid"}).err.find("field 7 (9999) is outside"),
              std::string::npos);
}

// A FIFO would hold the command for ever, waiting for a writer.
TEST_F(Refusals, InputsThatAreNoRegularFileAreRefusedAtOnce) {
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    for (const std::vector<std::string>& command : {std::vector<std::string>{"restore", "fifo"},
                                                    {"program", "put", "fifo"},
                                                    {"pid", "put", "fifo"}})
        EXPECT_NE(refused(command).err.find("fifo: it is a FIFO, not a regular file"),
                  std::string::npos)
            << command[0];
    EXPECT_NE(refused({"restore", "."}).err.find("it is a folder"), std::string::npos);
    EXPECT_NE(refused({"restore", "/dev/null"}).err.find("it is a device"), std::string::npos);
}

TEST_F(Refusals, FilesThatCannotBeWrittenAreRefusedBeforeReading) {
    EXPECT_NE(refused({"backup", "no/such/folder/a.prm"}).err.find("no/such/folder"),
              std::string::npos);
    refused({"backup", "."});
    refused({"program", "get", "no/such/folder/a.srp"});
    refused({"pid", "get", "no/such/folder/a.pid"});
    refused({"watch", "--log", "no/such/folder/a.dat"});
}

// Everything is checked before any file is made: neither the log nor the
// trace of a refused command is left behind.
TEST_F(Refusals, ARefusedCommandLeavesNoFile) {
    refused({"--trace", "t.csv", "--id", "1,2", "watch", "--log", "w.dat"});
    refused({"--trace", "t.csv", "set", "sv", "hot"});
    EXPECT_FALSE(exists("w.dat"));
    EXPECT_FALSE(exists("t.csv"));
}

// A decimal comma is refused, with the way to write the number, not read as
// a point: the bridge refuses it too.
TEST_F(Refusals, NumbersTakeADecimalPointNotAComma) {
    for (const std::vector<std::string>& command : {std::vector<std::string>{"set", "out", "50,5"},
                                                    {"set", "sv", "30,5"},
                                                    {"watch", "--interval", "0,5"}})
        EXPECT_NE(refused(command).err.find("a decimal point, such as 42.5; a decimal comma is "
                                            "not taken"),
                  std::string::npos)
            << command[1];
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

// Every command in the table is listed with its usage and summary, and its
// own help gives an example.
TEST_F(Refusals, HelpShowsEveryCommandWithExamples) {
    Ran r = run({"help"});
    EXPECT_EQ(r.status, 0);
    for (const Command& c : commandTable()) {
        EXPECT_NE(r.out.find("\n  " + std::string(c.synopsis) + " "), std::string::npos) << c.name;
        EXPECT_NE(r.out.find(" " + std::string(c.summary) + "\n"), std::string::npos) << c.name;
        EXPECT_NE(c.details.find("Example"), std::string::npos) << c.name;
        EXPECT_EQ(findCommand(c.name), &c);
    }
    EXPECT_NE(r.out.find("Exit status"), std::string::npos);
    r = run({"help", "restore"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Example"), std::string::npos);
    EXPECT_EQ(r.err, "");
}
