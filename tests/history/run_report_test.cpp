// q7 runs report: the PDF of a run built here, read back with pdftotext (a
// reader that shares nothing with the writer), written the way every file
// is, and drawn by a command that has no display.
#include "history/history_fixture.h"

#include <sys/stat.h>

namespace {

// The test program with an element power and a price: energy and cost.
constexpr const char* kPriced = "[program]\nname = Bisque\nunit = C\nstart = 20\n"
                                "holdback = 5\nend = off\npower = 4\nprice = 0.2\n[segments]\n"
                                "60 80 0:10\n60 140 0:00\nfull 200 0:10\n";

// The PDF's text in its layout, as a reader gets it.
std::string pdfText(const std::string& pdf) {
    const std::string cmd = "pdftotext -layout '" + pdf + "' -";
    std::string text;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
            text.append(buf, n);
        pclose(p);
    }
    return text;
}

} // namespace

TEST_F(History, ReportHoldsTheHeaderEverySegmentTheEnergyAndTheEvents) {
    auto s = store();
    ASSERT_TRUE(s);
    const long long held = addRun(*s, kT0, 600, std::nullopt, kPriced);
    const long long plain = addRun(*s, kT0 + 86400, 0);
    s.reset();

    // The harness gives the command no display: it draws without one.
    const Ran r = run({"runs", "report", std::to_string(held), "-o", "r.pdf"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile("r.pdf").rfind("%PDF-", 0), 0u);
    const std::string text = pdfText(path("r.pdf"));
    // Columns are laid out by width: compared with single spaces.
    const auto squeeze = [](const std::string& t) {
        std::string out;
        for (char c : t)
            if (!(c == ' ' && !out.empty() && out.back() == ' ')) out += c;
        return out;
    };
    for (const char* want :
         {"Run 1: Bisque", "Program", "completed", "Batch", "COM1 id 1,2",
          // segment, planned, actual, held back, largest and mean deviation, rate
          "1  1:10:00  1:10:00  0:00:00  0.0 °C  0.0 °C  60.0 °C/h",
          "2  1:00:00  1:10:00  0:10:00  6.0 °C", "3  0:10:00  0:10:00  0:00:00  0.0 °C",
          // 50 % and 51 % of 4 kW for 2.5 h
          "10.1 kWh at 4.0 kW per zone. Cost 2.02 at 0.20 per kWh.", "holdback-start", "Seal"}) {
        EXPECT_NE(squeeze(text).find(squeeze(want)), std::string::npos) << want << "\n" << text;
    }

    // The seal is printed whole, in one line: a reader compares it with verify's.
    const std::string seal = store()->seal(held)->hex;
    EXPECT_NE(text.find(seal), std::string::npos) << seal << "\n" << text;

    // No power in the program: the report says why there is no energy.
    ASSERT_EQ(run({"runs", "report", std::to_string(plain), "-o", "p.pdf"}).status, 0);
    EXPECT_NE(pdfText(path("p.pdf")).find("the program names no element power"), std::string::npos);

    // Written as every file is: a FIFO is refused and left alone, a run the
    // store does not hold is status 2 and writes nothing.
    ASSERT_EQ(mkfifo(path("fifo.pdf").c_str(), 0644), 0);
    const Ran fifo = run({"runs", "report", std::to_string(held), "-o", "fifo.pdf"});
    EXPECT_EQ(fifo.status, 2);
    EXPECT_NE(fifo.err.find("FIFO"), std::string::npos) << fifo.err;
    const Ran none = run({"runs", "report", "99", "-o", "n.pdf"});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("no run 99 in runs.sqlite"), std::string::npos) << none.err;
    EXPECT_FALSE(exists("n.pdf"));
    EXPECT_EQ(run({"runs", "report", std::to_string(held)}).status, 2);
}

// A program in °F driving controllers that show °C: the store keeps what
// the controllers gave, and what a person reads is in °F and says so.
TEST_F(History, AFahrenheitProgramOnCelsiusControllersReadsInFahrenheit) {
    std::string program = kProgram;
    program.replace(program.find("unit = C"), 8, "unit = F");
    auto s = store();
    ASSERT_TRUE(s);
    const long long id = addRun(*s, kT0, 600, std::nullopt, program, TemperatureUnit::celsius);
    std::string why;
    for (const RunEvent& e :
         {RunEvent{kT0 + 1, 0, EventKind::calibration, 0, "entry 2, type K, due 2027-06-01"},
          RunEvent{kT0 + 2, std::nullopt, EventKind::field, 0, "job = A-17, \"rush\""},
          RunEvent{kT0 + 90, std::nullopt, EventKind::mark, 0, "peepholes closed, cone 6"}})
        ASSERT_TRUE(s->addEvent(id, e, &why)) << why;
    s.reset();

    const Ran show = run({"runs", "show", std::to_string(id)});
    ASSERT_EQ(show.status, 0) << show.err;
    for (const char* want : {"largest deviation from the plan 6.0 °F",
                             "\n1        1:10:00  1:10:00  0:00:00    0.0 °F   0.0 °F    60.0 °F/h",
                             "\n2        1:00:00  1:10:00  0:10:00    6.0 °F"})
        EXPECT_NE(show.out.find(want), std::string::npos) << want << "\n" << show.out;

    ASSERT_EQ(run({"runs", "report", std::to_string(id), "-o", "f.pdf"}).status, 0);
    std::string text;
    for (char c : pdfText(path("f.pdf")))
        if (!(c == ' ' && !text.empty() && text.back() == ' ')) text += c;
    for (const char* want : {"1 1:10:00 1:10:00 0:00:00 0.0 °F 0.0 °F 60.0 °F/h",
                             "2 1:00:00 1:10:00 0:10:00 6.0 °F"})
        EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;

    ASSERT_EQ(run({"runs", "export", std::to_string(id), "-o", "f.csv"}).status, 0);
    const auto rows = lines(readFile("f.csv"));
    // The seal beside it, where the table stays numbers alone.
    EXPECT_NE(readFile("f.record.txt")
                  .find("\nrun = " + std::to_string(id) + "\nseal = " + store()->seal(id)->hex +
                        "\nsealed = as it was recorded\nfield job = A-17, \"rush\"\n"
                        "calibration COM1 id 1 = entry 2, type K, due 2027-06-01\n"),
              std::string::npos)
        << readFile("f.record.txt");
    // The marks in a table of their own, a text with a comma in one field.
    const auto marks = lines(readFile("f.marks.csv"));
    ASSERT_EQ(marks.size(), 2u) << readFile("f.marks.csv");
    EXPECT_EQ(marks[0], "elapsed s,local time,UTC offset,mark");
    EXPECT_EQ(marks[1].rfind("90,", 0), 0u) << marks[1];
    EXPECT_NE(marks[1].find(",\"peepholes closed, cone 6\""), std::string::npos) << marks[1];
    ASSERT_GT(rows.size(), 102u);
    EXPECT_EQ(rows[0].find("°C"), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find(",COM1 id 1 PV °F,COM1 id 1 SV °F,COM1 id 1 plan SV °F,"),
              std::string::npos)
        << rows[0];
    // Held back 6 °F behind at 110 °F in segment 2.
    EXPECT_EQ(rows[102].rfind("6060,", 0), 0u) << rows[102];
    EXPECT_NE(rows[102].find(",2,104,110,110,50,104,110,110,51"), std::string::npos) << rows[102];
}
