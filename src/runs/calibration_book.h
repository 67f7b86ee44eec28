#pragma once
// The calibration book: calibration.txt beside the run store, one entry per
// calibration of a controller (named by its device and id, as the store
// names a zone) or of an extra channel. It is kept by hand or by
// `q7 calibration add`, and read as the program's other text files are
// (base/line_reader.h), every key checked:
//
//   [entry 1]
//   device = /dev/serial/by-id/usb-FTDI_FT232R-if00-port0
//   id = 1
//   sensor = type K, 3 mm sheath, serial 2231
//   date = 2026-11-02
//   unit = C
//   point = 500 found 497.8 left 499.9 correction 0.1
//   point = 1000 found 995.1 left 1000.3 correction -0.3
//   by = R. Field
//   method = comparison against a reference thermocouple
//   certificate = C-2026-118
//   due = 2027-11-02
//
// An entry is never rewritten. One that was wrong is corrected by a new
// entry that names it (`corrects = 1`) and says why (`why = ...`); a new
// calibration is a new entry of its own. Entries are numbered 1, 2, 3 in
// the order they stand. A file that does not read is refused, naming its
// line, and never repaired.
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

inline constexpr const char* kCalibrationBookFile = "calibration.txt";

// calibration.txt in the folder of the run store (runStorePath()).
std::string calibrationBookPath();

// A day as YYYY-MM-DD reads: days since 1970-01-01.
std::optional<long> calibrationDay(std::string_view text);
std::string calibrationDayText(long day);
// The day the wall-clock time falls on here.
long localDay(double wall);

// One calibrated point: the reference, what the instrument read before
// (as found) and after (as left) the adjustment, and the correction to add
// to its reading there, all in the entry's unit.
struct CalibrationPoint {
    double reference = 0, found = 0, left = 0, correction = 0;
    bool operator==(const CalibrationPoint&) const = default;
};

struct CalibrationEntry {
    int number = 0; // counted from 1, as [entry N] says
    int line = 0;   // where its section begins
    // A controller: its device and id; or an extra channel, by its name.
    std::string device;
    int id = 0;
    std::string channel;
    std::string sensor;
    long date = 0; // calibrationDay()
    char unit = 'C';
    std::vector<CalibrationPoint> points;
    std::string by, method, certificate;
    long due = 0;
    std::optional<int> corrects; // the entry this one corrects
    std::string why;             // why it does
    bool operator==(const CalibrationEntry&) const = default;
};

struct CalibrationBook {
    std::vector<CalibrationEntry> entries;
    // Entry n (counted from 1), or nullptr.
    const CalibrationEntry* entry(int n) const;
    // The entry that corrects entry n, or nullptr.
    const CalibrationEntry* correctionOf(int n) const;
    // What is in force for the controller at id on device (devices compared
    // as the store compares them): the newest calibration by its date, of
    // the entries no later one corrects; nullptr for none.
    const CalibrationEntry* inForce(const std::string& device, int id) const;
    const CalibrationEntry* inForceForChannel(const std::string& channel) const;
};

// The book the text holds, or "calibration.txt line 3: ..." (with the
// file's name as given) telling the first thing wrong.
std::variant<CalibrationBook, std::string> parseCalibrationBook(std::string_view text,
                                                                const std::string& fileName);
// Reads the file; a book with no entries when there is none.
std::variant<CalibrationBook, std::string> loadCalibrationBook(const std::string& path);

// "500 found 497.8 left 499.9 correction 0.1", as a point line holds it; why
// not, else empty.
std::string parseCalibrationPoint(std::string_view text, CalibrationPoint& point);
std::string calibrationPointText(const CalibrationPoint& point);
// The entry as the file holds it, its [entry N] line first.
std::string calibrationEntryText(const CalibrationEntry& entry);
// "/dev/ttyUSB0 id 1" or "channel load-1".
std::string calibratedWhat(const CalibrationEntry& entry);
// Why a value cannot stand in the file as given (it would not read back
// the same), else empty.
std::string calibrationValueRefusal(const std::string& key, std::string_view value);
