#pragma once
// A run's samples as CSV, for a spreadsheet or a chart made by hand: one
// header, then one row per poll (the samples of one time) with the seconds
// since the run started, the local time as spreadsheets read it and its
// offset from UTC, the segment, and per zone (named as the record names it)
// PV, SV and the plan's SV in the run's unit (RunUnits), each header with
// its unit; a zone's output only where one was recorded. Numbers are written
// the files' way, with a decimal point whatever the desktop's locale, so the
// same run always gives the same bytes.
#include "runs/run_record.h"
#include "runs/run_store.h"

#include <string>
#include <vector>

// "2026-12-09T01:31:54.250Z"
std::string isoUtcTime(double unixSeconds);

// A sample of a zone beyond the run's widens the table.
std::string samplesCsv(const StoredRun& run, const std::vector<RunSample>& samples,
                       const std::vector<RunEvent>& events);

// The record a CSV of a run goes with, in a file of its own beside it so
// that the table stays numbers alone: "bisque.csv" has "bisque.record.txt".
std::string recordPathBeside(const std::string& csvPath);
// Which run it is, its seal (or that it has none yet), the fields in force
// and each zone's calibration as the run began, as key = value lines after
// a comment that says what they are.
std::string recordText(const StoredRun& run, const std::optional<RunSeal>& seal,
                       const std::vector<RunEvent>& events);

// The marks of a run in a file of their own beside its CSV, so that the
// table stays numbers alone: "bisque.csv" has "bisque.marks.csv", with the
// seconds since the start, the local time and its offset, and the text.
std::string marksPathBeside(const std::string& csvPath);
std::string marksCsv(const StoredRun& run, const std::vector<RunEvent>& events);
