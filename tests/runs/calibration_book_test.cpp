// The calibration book: what it reads and what it refuses, which entry is
// in force through corrections and newer calibrations, what a run's start
// stamps of it, and `q7 calibration` adding to it without touching what
// stands.
#include "cli/cli_run.h"
#include "runs/calibration_book.h"
#include "runs/calibration_stamp.h"

#include <gtest/gtest.h>

namespace {

const char* kBookEntry1 = "[entry 1]\n"
                          "device = tcp://kiln-gw:502\n"
                          "id = 1\n"
                          "sensor = type K, serial 2231\n"
                          "date = 2026-01-10\n"
                          "unit = C\n"
                          "point = 500 found 497.8 left 499.9 correction 0.1\n"
                          "point = 1000 found 995.1 left 1000.3 correction -0.3\n"
                          "by = R. Field\n"
                          "method = comparison\n"
                          "certificate = C#118\n"
                          "due = 2027-01-10\n";

CalibrationBook bookOf(const std::string& text) {
    auto book = parseCalibrationBook(text, "calibration.txt");
    if (auto* why = std::get_if<std::string>(&book)) {
        ADD_FAILURE() << *why;
        return {};
    }
    return std::get<CalibrationBook>(book);
}

std::string bookRefusal(const std::string& text) {
    auto book = parseCalibrationBook(text, "calibration.txt");
    const auto* why = std::get_if<std::string>(&book);
    return why ? *why : "(read)";
}

} // namespace

TEST(CalibrationBook, ReadsEntriesAndFindsTheOneInForceThroughCorrectionsAndNewerOnes) {
    const std::string corrected =
        std::string(kBookEntry1) +
        "\n[entry 2]\nchannel = load-1\nsensor = type N\ndate = 2026-02-01\nunit = F\n"
        "point = 932 found 930 left 932 correction 0\nby = R. Field\nmethod = comparison\n"
        "certificate = C-120\ndue = 2026-08-01\n"
        "[entry 3]\ndevice = tcp://KILN-GW:502\nid = 1\nsensor = type K, serial 2231\n"
        "date = 2026-01-10\nunit = C\npoint = 500 found 497.8 left 499.9 correction 0.2\n"
        "by = R. Field\nmethod = comparison\ncertificate = C-118\ndue = 2027-01-10\n"
        "corrects = 1\nwhy = correction at 500 mistyped\n";
    const CalibrationBook book = bookOf(corrected);
    ASSERT_EQ(book.entries.size(), 3u);
    const CalibrationEntry& e = book.entries[0];
    EXPECT_EQ(e.device, "tcp://kiln-gw:502");
    EXPECT_EQ(e.certificate, "C#118"); // a '#' inside a word is no comment
    EXPECT_EQ(calibrationDayText(e.date), "2026-01-10");
    ASSERT_EQ(e.points.size(), 2u);
    EXPECT_EQ(e.points[1], (CalibrationPoint{1000, 995.1, 1000.3, -0.3}));
    EXPECT_EQ(book.entries[1].channel, "load-1");
    EXPECT_EQ(book.entries[1].unit, 'F');

    // Entry 3 takes the place of the one it corrects, on the same gateway
    // however its host is spelled; nothing is in force for another id.
    EXPECT_EQ(book.correctionOf(1), &book.entries[2]);
    EXPECT_EQ(book.inForce("tcp://kiln-gw:502", 1), &book.entries[2]);
    EXPECT_EQ(book.inForce("rtu+tcp://kiln-gw:502", 1), &book.entries[2]);
    EXPECT_EQ(book.inForce("tcp://kiln-gw:502", 2), nullptr);
    EXPECT_EQ(book.inForceForChannel("load-1"), &book.entries[1]);

    // A newer calibration replaces it; an older one entered later does not.
    std::string more = corrected;
    for (const char* date : {"2026-06-01", "2025-06-01"}) {
        CalibrationEntry next = book.entries[0];
        next.number = int(bookOf(more).entries.size()) + 1;
        next.date = *calibrationDay(date);
        more += calibrationEntryText(next);
    }
    const CalibrationBook later = bookOf(more);
    ASSERT_EQ(later.entries.size(), 5u);
    EXPECT_EQ(later.inForce("tcp://kiln-gw:502", 1)->number, 4);

    // An entry as add writes it reads back as it was.
    CalibrationEntry written = book.entries[1];
    written.number = 1;
    written.line = 1;
    const CalibrationBook again = bookOf(calibrationEntryText(written));
    ASSERT_EQ(again.entries.size(), 1u);
    EXPECT_EQ(again.entries[0], written);
}

TEST(CalibrationBook, RefusesWhatItCannotTakeNamingTheLine) {
    const std::string head = "[entry 1]\n";
    const std::string one(kBookEntry1);
    const auto without = [&](const std::string& key) {
        std::string t = one;
        const auto at = t.find("\n" + key + " = ");
        t.erase(at + 1, t.find('\n', at + 1) - at);
        return t;
    };
    const auto with = [&](const std::string& line) { return one + line + "\n"; };
    const std::string second = "[entry 2]\n" + one.substr(10);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"[entry 2]\n" + one.substr(10),
         "line 1: entry 2 where entry 1 comes: entries are numbered in order"},
        {"[calibration 1]\n", "line 1: a section is [entry N], not [calibration 1]"},
        {"id = 1\n", "line 1: id comes before any [entry N]"},
        {with("colour = red"), "line 13: unknown key 'colour'"},
        {with("by = someone else"), "line 13: by is given twice"},
        {with("point = 500 found 1 left 2 correction 3"), "the point at 500 is given twice"},
        {with("point = 700 found 1 left 2"), "line 13: a point is REFERENCE found VALUE"},
        {with("point = 700 found 1,5 left 2 correction 0"), "'1,5' is no number"},
        {without("sensor"), "line 1: entry 1 has no 'sensor'"},
        {without("due"), "entry 1 has no 'due'"},
        {without("id"), "entry 1 needs a device and an id, or a channel"},
        {with("channel = load-1"), "entry 1 names a channel and a device"},
        {with("corrects = 1"), "line 13: corrects takes the number of an earlier entry"},
        {with("why = because"), "entry 1 gives a 'why' but corrects nothing"},
        {head + "date = 2026-02-30\n", "line 2: date takes a date as YYYY-MM-DD"},
        {head + "id = 248\n", "line 2: id takes a controller id from 1 to 247"},
        {head + "unit = K\n", "line 2: unit takes C or F"},
        {head + "sensor = a\x01"
                "b\n",
         "line 2: "},
        {one + "\n" + second + "corrects = 1\n", "entry 2 corrects an entry without saying why"},
        {one + "\n" + second + "corrects = 1\nwhy = x\n[entry 3]\n" + one.substr(10) +
             "corrects = 1\nwhy = y\n",
         "entry 1 is corrected by entry 2 already; correct that"},
    };
    for (const auto& [text, expected] : cases) {
        const std::string why = bookRefusal(text);
        EXPECT_EQ(why.rfind("calibration.txt line ", 0), 0u) << why;
        EXPECT_NE(why.find(expected), std::string::npos) << why << "\nfor\n" << text;
    }
    std::string early = one;
    early.replace(early.find("due = 2027"), 16, "due = 2025-01-01");
    EXPECT_EQ(bookRefusal(early), "calibration.txt line 1: entry 1 is due before it was done");
    // What add would write but the file would read otherwise.
    EXPECT_NE(calibrationValueRefusal("certificate", "No. #12"), "");
    EXPECT_EQ(calibrationValueRefusal("certificate", "No.#12"), "");
}

TEST(CalibrationBook, TheStampRecordsEachZoneAndWarnsOfAPastDueDateOrAFailedRead) {
    const CalibrationBook book = bookOf(kBookEntry1);
    const double now = 1798000000; // 2026-12-22 or so: entry 1 is not yet due
    std::vector<StampedZone> zones = {
        {0, "COM1 id 1", "tcp://kiln-gw:502", 1, TemperatureUnit::celsius, 1,
         ZoneCorrections{1.5, 2}},
        {1, "COM1 id 2", "tcp://kiln-gw:502", 2, TemperatureUnit::fahrenheit, 0,
         std::string("it did not give its PV offset (no reply)")},
    };
    CalibrationStamp s = calibrationStamp(book, zones, now);
    ASSERT_EQ(s.events.size(), 2u);
    EXPECT_TRUE(s.warnings.empty());
    EXPECT_EQ(s.events[0].kind, EventKind::calibration);
    EXPECT_EQ(s.events[0].zone, 0);
    EXPECT_EQ(s.events[0].text,
              "COM1 id 1: calibration entry 1: type K, serial 2231, done 2026-01-10 by R. Field "
              "(comparison), certificate C#118, due 2027-01-10; corrections at 500 \xC2\xB0"
              "C +0.1, 1000 \xC2\xB0"
              "C -0.3; PV offset 1.5 \xC2\xB0"
              "C, SW filter 2.0");
    EXPECT_EQ(s.events[1].text, "COM1 id 2: no calibration on record; its PV offset and SW "
                                "filter were not read: it did not give its PV offset (no reply)");

    s = calibrationStamp(book, zones, now + 40 * 86400.0);
    ASSERT_EQ(s.events.size(), 3u);
    const std::string due =
        "COM1 id 1: calibration entry 1 (certificate C#118) was due 2027-01-10: it is past due";
    EXPECT_EQ(s.events[1].text, due);
    EXPECT_EQ(s.warnings, std::vector<std::string>{due});

    s = calibrationStamp(std::string("calibration.txt line 3: unit takes C or F"), zones, now);
    ASSERT_EQ(s.events.size(), 3u);
    EXPECT_FALSE(s.events[0].zone);
    EXPECT_EQ(s.warnings, std::vector<std::string>{"the calibration book does not read: "
                                                   "calibration.txt line 3: unit takes C or F"});
}

using Calibration = cli::CliTest;

TEST_F(Calibration, AddAndCorrectPutNewEntriesAtTheEndAndLeaveTheRestAsItStands) {
    EXPECT_EQ(run({"calibration"}).status, 0);
    const std::vector<std::string> add = {"calibration",
                                          "add",
                                          "--device",
                                          "tcp://kiln-gw:502",
                                          "--id",
                                          "3",
                                          "--sensor",
                                          "type S",
                                          "--date",
                                          "2026-01-10",
                                          "--unit",
                                          "C",
                                          "--point",
                                          "1000 found 998 left 1000 correction 0",
                                          "--point=1200 found 1197 left 1201 correction -0.5",
                                          "--by",
                                          "R. Field",
                                          "--method",
                                          "comparison",
                                          "--certificate",
                                          "C-7",
                                          "--due",
                                          "2027-01-10"};
    const cli::Ran added = run(add);
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_NE(added.out.find("entry 1 added to "), std::string::npos);
    const std::string first = readFile("calibration.txt");

    const cli::Ran corrected =
        run({"calibration", "correct", "1", "--certificate", "C-8", "--why", "mistyped"});
    ASSERT_EQ(corrected.status, 0) << corrected.err;
    const std::string both = readFile("calibration.txt");
    EXPECT_EQ(both.rfind(first, 0), 0u); // what stood is left byte for byte
    const CalibrationBook book = bookOf(both);
    ASSERT_EQ(book.entries.size(), 2u);
    EXPECT_EQ(book.entries[1].certificate, "C-8");
    EXPECT_EQ(book.entries[1].points, book.entries[0].points);
    EXPECT_EQ(book.entries[1].corrects, 1);

    const std::string listed = run({"calibration", "list"}).out;
    EXPECT_NE(listed.find("corrected by entry 2"), std::string::npos) << listed;
    EXPECT_NE(listed.find("in force"), std::string::npos) << listed;
    const std::string shown = run({"calibration", "show", "2"}).out;
    EXPECT_NE(shown.find("  corrects     entry 1: mistyped\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("    1200, 1197, 1201, -0.5\n"), std::string::npos) << shown;

    // Refused, the book unchanged: a second correction of entry 1, a value
    // the file would read otherwise, an option missing, no such entry.
    EXPECT_EQ(run({"calibration", "correct", "1", "--why", "again"}).status, 2);
    EXPECT_EQ(run({"calibration", "correct", "2", "--by", "R. #2", "--why", "x"}).status, 2);
    EXPECT_EQ(run({"calibration", "correct", "2"}).status, 2);
    EXPECT_EQ(run({"calibration", "show", "9"}).status, 2);
    std::vector<std::string> noSensor = add;
    noSensor.erase(noSensor.begin() + 6, noSensor.begin() + 8);
    EXPECT_EQ(run(noSensor).status, 2);
    EXPECT_EQ(readFile("calibration.txt"), both);

    // A book broken by hand is refused, never repaired.
    writeFile("calibration.txt", both + "unit = X\n");
    const cli::Ran broken = run({"calibration", "list"});
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("line "), std::string::npos) << broken.err;
    EXPECT_EQ(run(add).status, 2);
    EXPECT_EQ(readFile("calibration.txt"), both + "unit = X\n");
}
